// Start-up of the device image: a fresh board to "System Ready!", and each self-test
// failure with its message, its counter from 0 and its LED pattern.
#include <gtest/gtest.h>

#include <algorithm>

#include "support.h"

namespace {

using namespace kfw;

// The LEDs' states (status PA10, heartbeat PA11) between two instants, each with how
// long it lasted in whole milliseconds (within 1 ms: a HAL_Delay(n) lasts n or n + 1
// ms as the system tick falls); changes closer than 0.1 ms count as one.
struct Leds {
    int status, heartbeat;
    long ms;
    bool operator==(const Leds &o) const {
        return status == o.status && heartbeat == o.heartbeat && std::labs(ms - o.ms) <= 1;
    }
};

std::vector<Leds> leds(const Result &r, Time from, Time to) {
    int status = 0, heartbeat = 0;
    std::vector<std::pair<Time, std::pair<int, int>>> changes;
    for (const Record *p : r.of("pin")) {
        const std::string pin = p->str("pin");
        if (pin != "PA10" && pin != "PA11")
            continue;
        (pin == "PA10" ? status : heartbeat) = static_cast<int>(p->num("level"));
        if (p->t < from || p->t >= to)
            continue;
        if (!changes.empty() && p->t - changes.back().first < kMs / 10)
            changes.back().second = {status, heartbeat};
        else
            changes.push_back({p->t, {status, heartbeat}});
    }
    std::vector<Leds> out;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const Time end = i + 1 < changes.size() ? changes[i + 1].first : to;
        out.push_back({changes[i].second.first, changes[i].second.second,
                       static_cast<long>((end - changes[i].first + kMs / 2) / kMs)});
    }
    return out;
}

std::string show(const std::vector<Leds> &v) {
    std::string s;
    for (const Leds &l : v)
        s += "(" + std::to_string(l.status) + std::to_string(l.heartbeat) + " " +
             std::to_string(l.ms) + ") ";
    return s;
}

// Time the console line containing `text` (its n-th occurrence, from 0) ended.
Time line_end(const Result &r, const std::string &text, std::size_t n) {
    std::string console;
    std::vector<Time> at;
    for (const Record *p : r.of("uart_tx"))
        if (p->str("port") == "USART3") {
            console += static_cast<char>(p->num("byte"));
            at.push_back(p->t);
        }
    std::size_t pos = console.find(text);
    for (std::size_t k = 0; k < n && pos != std::string::npos; ++k)
        pos = console.find(text, pos + 1);
    const std::size_t end = pos == std::string::npos ? pos : console.find('\n', pos);
    return end == std::string::npos ? 0 : at[end];
}

TEST(Boot, AFreshBoardComesUpToSystemReady) {
    const fs::path d = scratch("boot");
    const Result r = run(d / "board", scenario("12s"));
    ASSERT_EQ(r.status, 0) << r.summary;
    std::string expected = "Start! CLK=48MHz, Ver=Ver0320_20230331 \r\n";
    expected += std::string(
        "<rs\0t\0-\0q\0"
        "7\0.\0"
        "0>\r\n",
        18);
    expected +=
        "setting_time : 25-06-01 08:00:00  \r\n"
        "\r\n2025-06-01 08:00:00\r\n"
        "\r\nQ7-FallDetector-2.1.1\r\n\n"
        "RF_MOD_PWR_EN_Pin : 1\r\nRF_MOD_RESET_Pin : 1\r\n"
        "OK\r\n"  // the radio module's answer to the self-test, forwarded
        "\r\nLoadFlashData............\r\nbatt=-1\r\nTrigger=-1\r\n";
    for (int i = 0; i < 150; ++i) expected += "-1,-1,-1,-1,-1,-1,-1\r\n";
    expected += "\r\n\r\nSystem Ready!\r\n";
    EXPECT_EQ(r.console, expected);
    // Power-on tone (two F7 notes), the module asked once, nothing fired.
    EXPECT_EQ(r.of("tone").size(), 2u);
    EXPECT_EQ(r.of("radio_command").size(), 1u);
    EXPECT_EQ(r.note("firing"), " none");

    // The logs' start-up records: the power-on copy of the first heartbeat, which
    // names sensor block 1; every sample read is in that block (or still in the ring).
    const Decoded f = decode(r.board, 1, 1);
    const auto onoff = f.log("power_cycle"), dnt = f.log("date_time");
    ASSERT_EQ(onoff.size(), 1u);
    EXPECT_EQ(f.value(*onoff[0], "kind"), 1);
    ASSERT_GE(dnt.size(), 1u);
    EXPECT_EQ(dnt[0]->at(f.header, "date"), onoff[0]->at(f.header, "date"));
    EXPECT_EQ(f.value(*dnt[0], "block"), 1);
    std::size_t reads = 0;
    for (const Record *p : r.of("i2c")) reads += p->str("op") == "read";
    const std::size_t logged = f.log("sensor_data").size();
    EXPECT_LE(logged, reads);
    EXPECT_GE(logged + 149, reads);
}

// Each failure loops for ever with its numbered message, the counter from 0, and its
// LED pattern between two messages. A radio module that fails its test leaves the
// tick running: detection and logging go on while start-up is stuck.
TEST(Boot, EachSelfTestFailureHasItsMessageAndPattern) {
    struct Row {
        const char *name, *events, *before, *message;
        // From the end of message 0 to the end of message 1 (the last phase holds the
        // 3 ms of the message on the line); HAL_Delay(495) lasts 496 ms.
        std::vector<Leds> pattern;
    } rows[] = {
        {"flash",
         "at 0 fault nor-missing\n",
         "",
         "External Memory is not OK!!!! c=",
         {{1, 0, 496}, {0, 0, 496}, {1, 1, 496}, {0, 0, 499}}},
        {"sensor",
         "at 0 fault i2c-nack always\n",
         "Invalid IMU ID : 0x0\r\n",
         "Gyro sensor detect fail!!!! c=",
         {{1, 0, 100}, {0, 0, 597}, {1, 0, 496}, {0, 1, 496}, {0, 0, 499}}},
        {"actuator",
         "at 0 pin PA4 1\n",
         "",
         "Actuator detect fail!!!! c=",
         {{1, 0, 100},
          {0, 0, 602},
          {1, 0, 101},
          {0, 0, 602},
          {1, 0, 496},
          {0, 1, 496},
          {1, 0, 496},
          {0, 1, 496},
          {0, 0, 499}}},
        {"radio absent",
         "at 0 radio absent\n",
         "RF module does not answer\r\n",
         "BT is NOT ready for use!!!! c=",
         {{1, 0, 0}}},
        {"radio reset line",
         "at 0 hold PB4 low\n",
         "RF_MOD_RESET_Pin : 0\r\n",
         "BT is NOT ready for use!!!! c=",
         {{1, 0, 0}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path d = scratch("selftest");
        const Result r = run(d / "board", scenario("6s", row.events));
        ASSERT_EQ(r.status, 0) << r.summary;
        const std::string first =
            std::string(row.before) + row.message + "0 \r\n" + row.message + "1 \r\n";
        EXPECT_NE(r.console.find(first), std::string::npos) << r.console.substr(0, 2000);
        const Time m0 = line_end(r, row.message, 0), m1 = line_end(r, row.message, 1);
        const auto got = leds(r, m0, m1);
        if (row.pattern.size() == 1) {  // the radio: status lit, messages without pause
            EXPECT_TRUE(got.empty()) << show(got);
            EXPECT_LT(r.edges("PA10", 1).back(), m0);
            EXPECT_LT(m1 - m0, 4 * kMs);
            const auto ticks = r.ticks();
            ASSERT_FALSE(ticks.empty());
            EXPECT_GE(ticks.size(), 500u);  // still ticking at 6 s
            EXPECT_NE(r.note("tick").find(" 0 overruns"), std::string::npos) << r.note("tick");
        } else {
            EXPECT_EQ(got, row.pattern) << show(got);
            EXPECT_TRUE(r.ticks().empty());  // the tick never started
        }
    }
}

}  // namespace
