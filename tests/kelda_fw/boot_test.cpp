// Start-up of the device image: each self-test failure with its message, its counter
// from 0 and its LED pattern. (A fresh board's way to "System Ready!" is the schedule
// test's.)
#include <gtest/gtest.h>

#include "support.h"

namespace {

using namespace kfw;

// The LEDs' states (status PA10, heartbeat PA11) between two instants, each with how
// long it lasted in whole milliseconds, as "10 496, 00 496"; changes closer than
// 0.1 ms count as one.
std::string leds(const Result &r, Time from, Time to) {
    int level[2] = {0, 0};
    std::vector<std::pair<Time, std::string>> changes;
    for (const Record *p : r.of("pin")) {
        const std::string pin = p->str("pin");
        if (pin != "PA10" && pin != "PA11")
            continue;
        level[pin == "PA11"] = static_cast<int>(p->num("level"));
        const std::string state = std::to_string(level[0]) + std::to_string(level[1]);
        if (p->t < from || p->t >= to)
            continue;
        if (!changes.empty() && p->t - changes.back().first < kMs / 10)
            changes.back().second = state;
        else
            changes.push_back({p->t, state});
    }
    std::string out;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const Time end = i + 1 < changes.size() ? changes[i + 1].first : to;
        out += (i ? ", " : "") + changes[i].second + " " +
               std::to_string((end - changes[i].first + kMs / 2) / kMs);
    }
    return out;
}

// Time the console line containing `text` (its n-th occurrence, from 0) ended.
Time line_end(const Console &c, const std::string &text, std::size_t n) {
    std::size_t pos = c.text.find(text);
    for (std::size_t k = 0; k < n && pos != std::string::npos; ++k)
        pos = c.text.find(text, pos + 1);
    const std::size_t end = pos == std::string::npos ? pos : c.text.find('\n', pos);
    return end == std::string::npos ? 0 : c.at[end];
}

// Each failure loops for ever with its numbered message, the counter from 0, and its
// LED pattern between two messages. A radio module that fails its test leaves the
// tick running: detection and logging go on while start-up is stuck.
TEST(Boot, EachSelfTestFailureHasItsMessageAndPattern) {
    struct Row {
        const char *name, *events, *before, *message;
        // From the end of message 0 to the end of message 1 (the last phase holds the
        // 3 ms of the message on the line); HAL_Delay(495) lasts 496 ms. None for the
        // radio: the LEDs stay as they are.
        const char *pattern;
    } rows[] = {
        {"flash", "at 0 fault nor-missing\n", "",
         "External Memory is not OK!!!! c=", "10 496, 00 496, 11 496, 00 499"},
        {"sensor", "at 0 fault i2c-nack always\n", "Invalid IMU ID : 0x0\r\n",
         "Gyro sensor detect fail!!!! c=", "10 100, 00 597, 10 496, 01 496, 00 499"},
        {"actuator", "at 0 pin PA4 1\n", "", "Actuator detect fail!!!! c=",
         "10 100, 00 602, 10 101, 00 602, 10 496, 01 496, 10 496, 01 496, 00 499"},
        {"radio absent", "at 0 radio absent\n", "RF module does not answer\r\n",
         "BT is NOT ready for use!!!! c=", ""},
        {"radio reset line", "at 0 hold PB4 low\n", "RF_MOD_RESET_Pin : 0\r\n",
         "BT is NOT ready for use!!!! c=", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Result r = run(scratch("selftest") / "board", scenario("6s", row.events));
        ASSERT_EQ(r.status, 0) << r.summary;
        const std::string first =
            std::string(row.before) + row.message + "0 \r\n" + row.message + "1 \r\n";
        EXPECT_NE(r.console.find(first), std::string::npos) << r.console.substr(0, 2000);
        const Console c = console_of(r);
        const Time m0 = line_end(c, row.message, 0), m1 = line_end(c, row.message, 1);
        EXPECT_EQ(leds(r, m0, m1), row.pattern);
        if (*row.pattern == '\0') {
            EXPECT_GE(r.ticks.size(), 500u);  // still ticking at 6 s
            EXPECT_NE(r.note("tick").find(" 0 overruns"), std::string::npos) << r.note("tick");
        } else {
            EXPECT_TRUE(r.ticks.empty());  // the tick never started
        }
    }
}

}  // namespace
