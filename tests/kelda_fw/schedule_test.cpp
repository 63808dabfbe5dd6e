// A fresh board's start-up, the tick's schedule on its due ticks and phases, the phone
// application's marker, the sample log through block erases, and the battery down to
// standby.
#include <gtest/gtest.h>

#include <algorithm>

#include "support.h"

namespace {

using namespace kfw;

// A fresh board comes up to "System Ready!"; then the tick's jobs run.
TEST(Schedule, AFreshBoardStartsAndJobsRunOnTheirDueTicksAndPhases) {
    const Result r = run(scratch("schedule") / "board", scenario("420s", "at 20s phone \"~~\"\n"));
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
    // The phone application's marker at 20 s is all the console shows after that.
    EXPECT_EQ(r.console, expected + "~~\r\n[Android APP]!\r\n");

    // Status lines from tick 513 every 500 ticks; the phone application's marker at
    // 20 s (tick ~1937) counts from the next line, the sixth after it makes the app
    // connected, and from the one after that the period is 6000 ticks.
    const std::vector<std::size_t> want = {513,  1013, 1513,  2013,  2513,  3013,  3513,  4013,
                                           4513, 5013, 11013, 17013, 23013, 29013, 35013, 41013};
    std::vector<std::size_t> status;  // ticks at which a line starting with "Q=" began
    char last = '\n';
    for (const Record *p : r.of("uart_tx"))
        if (p->str("port") == "USART1") {
            const char c = static_cast<char>(p->num("byte"));
            if (c == 'Q' && (last == '\n' || last == '\r'))
                status.push_back(r.tick_at(p->t));
            last = c;
        }
    EXPECT_EQ(status, want);
    EXPECT_EQ(r.note("phone lines"), " 16 (0 firing), the last \"Q=0;1;0,100,015,\"");

    // Date-and-time records due on ticks ending in 37, at most 3000 apart, the first
    // one as soon as the first sample block is being erased (tick 101), and one after
    // each new block (a heartbeat names the block the samples go to). A record waits
    // while an erase keeps the chip busy (a sample block's, or the log's own sector's).
    std::vector<std::size_t> dnt;  // the ticks of the 8-byte programs in sectors 2 and 3
    for (const Record *p : r.of("nor_program"))
        if (p->num("addr") >= 2 * 4096 && p->num("addr") < 4 * 4096 && p->num("len") == 8)
            dnt.push_back(r.tick_at(p->t));
    std::vector<std::size_t> erases;
    for (const Record *p : r.of("nor_erase")) erases.push_back(r.tick_at(p->t));
    ASSERT_GE(dnt.size(), 14u);
    for (std::size_t i = 0; i < dnt.size(); ++i) {
        const bool waited = std::any_of(erases.begin(), erases.end(), [&](std::size_t e) {
            return e < dnt[i] && e + 100 > dnt[i];
        });
        if (waited) {
            EXPECT_GE(dnt[i] % 100, 37u) << i;
            EXPECT_LT(dnt[i] % 100, 60u) << i;
        } else {
            EXPECT_EQ(dnt[i] % 100, 37u) << i;
        }
        if (i > 0) {
            EXPECT_LE(dnt[i] - dnt[i - 1], 3000u) << i;
        }
    }
    EXPECT_EQ(dnt[0] / 100, 1u);
    for (const Record *e : r.of("nor_erase"))
        if (e->num("size") == 65536 && e->num("addr") > 65536) {
            const std::size_t t = r.tick_at(e->t);
            EXPECT_TRUE(std::any_of(dnt.begin(), dnt.end(),
                                    [&](std::size_t x) { return x > t && x <= t + 100; }))
                << "block erase at tick " << t;
        }
    // Samples are written only from tick 101 on; the first one opens block 1; every
    // sample read reaches the log in order through the four block erases of the run.
    // The first status-event record is due at tick 30083: its sector's erase starts then.
    EXPECT_EQ(r.first_flash_tick(65536, 1LL << 40, r.ticks.front()), 101u);
    const Decoded f = decode(r.board, 1, 6);
    EXPECT_TRUE(stamp_gaps(f).empty());
    EXPECT_GE(static_cast<long long>(f.log("sensor_data").size()) + 149,
              std::stoll(r.note("motion sensor")));
    EXPECT_EQ(r.first_flash_tick(4 * 4096, 6 * 4096, r.ticks.front()), 30083u);
    EXPECT_NE(r.note("tick").find(" 0 overruns"), std::string::npos) << r.note("tick");
}

// The battery sinks into the low band, then below the standby threshold: the low
// tone once, 51 counted evaluations, then standby with the radio module off, the
// sensor asleep and the external flash powered down.
TEST(Battery, LowBandToneOnceThenStandby) {
    const Result r = run(scratch("battery") / "board",
                         scenario("660s", "at 0 battery 2150\nat 115s battery 2000\n"));
    ASSERT_EQ(r.status, 0) << r.summary;
    EXPECT_NE(r.summary.find("ended:        standby"), std::string::npos) << r.summary;

    // Evaluations on ticks ending in 61, every 1000 ticks. Low after 11 evaluations in
    // the band (ticks 1061..11061); the tone (G7 F7 three times) once, after the
    // power-on tone.
    const auto tones = r.of("tone");
    ASSERT_EQ(tones.size(), 8u);
    EXPECT_EQ(tones[2]->str("freq_hz"), "3134.796");
    EXPECT_EQ(r.tick_at(tones[2]->t - static_cast<Time>(tones[2]->num("length_ns"))),
              11061u);  // played by the main loop (the record comes at its end)
    // An evaluation averages the readings of the four before it: standby is pending
    // from the third after the drop (tick 14061), and entered 51 evaluations later.
    EXPECT_EQ(count(r.console, "standby hit count="), 51u);
    EXPECT_EQ(r.console.substr(r.console.size() - 26), "Enter Standby mode!!!!! \r\n");
    const Time end = r.trace.back().t;
    EXPECT_EQ(r.tick_at(end), 14061u + 51 * 1000);

    // Standby: the radio module's pins low, the sensor off, the flash in power-down.
    EXPECT_GT(r.edges("PB5", 0).back(), end - 100 * kMs);
    EXPECT_GT(r.edges("PB4", 0).back(), end - 100 * kMs);
    EXPECT_EQ(r.of("i2c").back()->str("wrote"), "1f00");
    EXPECT_TRUE(r.of("nor_mode").back()->line.find("\"power_down\":true") != std::string::npos);
}

}  // namespace
