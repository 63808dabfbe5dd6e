// The service console: what never disarms the device, every command with its
// accepted and refused arguments and exact texts, service mode, what survives a
// reset, and the dump service.
#include <gtest/gtest.h>

#include <cstdio>

#include "support.h"

namespace {

using namespace kfw;

const std::string kStart = "\r\n" + std::string(78, '-') + "\r\n";
const std::string kEnd = std::string(78, '#') + "\r\n";
const std::string kRtcRefused = "set rtc : invalid date or time (YYYY-MM-DD hh:mm:ss)\r\n";

// Events sending `text` one key every 5 ms from `at` (a key waiting while the
// sensor tick runs is not overwritten by the next one).
std::string typed(const std::string &at, const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(text[i]));
        out += "at " + (i == 0 ? at : std::string("+5ms")) + " console hex " + hex + "\n";
    }
    return out;
}

// What each command printed between its two banners, in order.
std::vector<std::string> blocks(const std::string &console) {
    std::vector<std::string> out;
    for (std::size_t at = console.find(kStart); at != std::string::npos;
         at = console.find(kStart, at + 1)) {
        const std::size_t from = at + kStart.size();
        out.push_back(console.substr(from, console.find(kEnd, from) - from));
    }
    return out;
}

// Noise, over-long and over-split lines, unknown words and the radio module's
// commands typed on the console arrive while the wearer moves: none of them stops
// the tick, so the fall is still caught; nothing in flash changes. The first
// command of the table then enters service mode, in which the main loop still
// makes the pending second trigger save and forwards the phone link.
TEST(Console, BadInputNeverDisarmsAndServiceModeKeepsTheMainLoop) {
    const std::string body =
        "motion " + recording("stairs-then-collision-fall.csv") + "\n" + typed("4s", "   \r\r\n") +
        typed("5s", "help\r") + typed("6s", "dnt 1 2 3 4 5 6 7 8 9 10\r") +
        typed("7s", std::string(256, 'x') + "exclean\r") +          // the tail after 256 wraps
        typed("10s", std::string("exclean\0\xFF\x1B\x7F\r", 12)) +  // binary noise
        typed("11s", "\x19\n\r\x08\x1E") + typed("11.1s", std::string(1, '\0')) +  // late calendar
        typed("12s", "\r") + typed("13s", "AT+SHOW\r") + "at 14s phone \"~~\"\n" +
        typed("15s", "AT+TEST\r") + "at 16s radio babble 200\nat 17s radio pipe\n" +
        typed("38s", "tdata\r") + "at 39s phone \"~~\\n\"\n";
    const Result r = run(scratch("console-bad-input") / "board", scenario("40s", body));
    ASSERT_EQ(r.status, 0) << r.summary;

    // Until the firing every line was refused, the tick ran throughout, and no log
    // sector was erased.
    ASSERT_EQ(r.edges("PA9", 1).size(), 1u);
    for (Time s = 4 * kS; s < 37 * kS; s += kS) EXPECT_EQ(between(r.ticks, s, s + kS), 100u) << s;
    for (const Record *p : r.of("nor_erase"))
        EXPECT_TRUE(p->t < 4 * kS || p->num("addr") >= 65536) << p->line;
    EXPECT_EQ(r.console.find("Erase"), std::string::npos);
    std::vector<std::string> commands;
    for (const Record *p : r.of("radio_command")) commands.push_back(p->str("command"));
    EXPECT_EQ(commands, (std::vector<std::string>{"AT", "AT+SHOW", "AT+DATA=1"}));
    EXPECT_NE(r.console.find("+BAUD=115200\r\n+DATA=0\r\nOK\r"), std::string::npos);

    // tdata: service mode from its line end on (the tick stopped, the status LED lit
    // and the heartbeat dark for good), the second save made at once.
    Time cr = 0;
    for (const Record *p : r.of("uart_rx"))
        if (p->str("port") == "USART3")
            cr = p->t;
    EXPECT_GT(r.ticks.back(), 38 * kS);
    EXPECT_LT(r.ticks.back(), cr);
    EXPECT_GT(r.edges("PA10", 1).back(), r.edges("PA10", 0).back());
    EXPECT_GT(r.edges("PA11", 0).back(), r.edges("PA11", 1).back());
    EXPECT_EQ(r.of("intflash_erase").size(), 2u * 2u);  // two pages, each of two saves
    const auto seen = blocks(r.console);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].rfind("LoadFlashData............\r\nbatt=2300\r\nTrigger=7\r\n", 0), 0u);
    // The phone's marker, across the pairs the module's odd-length answer shifted
    // (its second '~' waits in the pair buffer for the byte after it), and once
    // more in service mode.
    EXPECT_EQ(count(r.console, "[Android APP]!\r\n"), 2u);
}

// Every command of the table with accepted and refused arguments, on a board that
// has run five minutes (every log holds records): what each prints between its
// banners. A line typed while a listing runs waits for it; one with noise in it is
// dropped. Then a reset and the dump service.
TEST(Console, CommandsTheirArgumentsWhatAResetKeepsAndTheDumpService) {
    constexpr const char *kNone = "\x01";  // a line that prints no banners at all
    const std::string boot = "0000  time[1] :  2025-06-01 08:00:01 100  B:1\r\n";
    const std::string ster = "4000  2025-06-01 08:05:00  0, 2300, 3, 0, 0\r\n";
    std::string erased;
    for (int i = 0; i < 16; ++i) erased += "Erase " + std::to_string(i) + "_sector\r\n";
    erased += "Erase done\r\n";
    const std::string rtc_set = "RTC : 2023-07-04 12:30:00\r\n";
    struct Row {
        std::string line;
        std::string block;  // exactly, or its start when `prefix`
        bool prefix = false;
        int gap_s = 1;  // until the next line
    };
    std::vector<Row> rows = {
        {"tdata 1 2", "LoadFlashData............\r\nbatt=-1\r\nTrigger=-1\r\n", true},
        {"dnt", boot},
        {"dnt -o", boot},
        {"dnt -d", "2000  time[0] :  2025-06-01 08:00:01 100  B:1\r\n", true},
        {"dnt 0 2", boot + "2000  time[0]", true},
        {"dnt 2 0x", "2000  time[0]", true},
        {"dnt -1 0", boot},
        {"dnt 4 30", ""},
        {"dnt 0 1 2", ""},
        {"ster", ster},
        {"ster -a", ster},
        {"ster 4a", ster},
        {"ster 04 6", ""},
        {"ster 45", ""},
        {"sdata 4 4", "SD_block 4\r\n", true, 5},
        {"sdata 0 5", ""},
        {"sdata 1 511", ""},
        {"sdata 510 1", "SD_block 510\r\nSD_block 1\r\n00,", true},
        {"\x01"
         "exclean",
         kNone},                     // noise typed during the listing
        {"show id", "", false, 12},  // typed during it too: runs after it
        {"set rtc 2023-07-04 12:30:00", rtc_set},
        {"set rtc 23-7-4 12:30:00", rtc_set},
        {"set rtc 2000-01-01 00:00:00", "RTC : 2000-01-01 00:00:00\r\n"},
        {"set rtc 2024-02-29 23:59:58", "RTC : 2024-02-29 23:59:58\r\n"},
        {"show rtc", "RTC : 2024-02-29 23:59:5", true},
        {"show rtc now", ""},
        {"set clock 1", ""},
        {"set id 0123456789ABCDEF", ""},
        {"set id 0123456789ABCDE", "set device_id : 0123456789ABCDE -> complete.\r\n"},
        {"show id", "device_id : 0123456789ABCDE\r\n"},
        {"dump", ""},
        // The power-cycle log's flag page (one slot used) and the last sector; a number
        // past the int range clamps; -1 ends the list.
        {"dump 0 8191 99999999999 -1 0",
         "\r\nSector 0\r\n\n0000 :  7F FF FF FF FF FF FF FF - FF FF FF FF FF FF FF FF\r\n", true,
         3},
        {"dump 8192", "\r\nSector 8192\r\n\n"},  // past the chip: the heading alone
        {"exclean now", erased},
        {"dnt -o", ""},
    };
    for (const char *bad :
         {"2023-07 12:30:00", "2023-13-01 00:00:00", "2023-00-10 00:00:00", "2023-02-29 00:00:00",
          "2023-07-257 00:00:00", "1999-07-04 00:00:00", "2023-07-04 24:00:00",
          "2023-07-04 12:60:00", "2023-07-04 12:30:60", "2023-07-4x 12:30:00", "2023-07-04"})
        rows.push_back({std::string("set rtc ") + bad, kRtcRefused});
    std::string body = typed("305s", "show rtc\r");
    int at = 306;
    for (const Row &row : rows) {
        const std::string text = row.line[0] == '\x01' ? "\\x01" + row.line.substr(1) : row.line;
        body += "at " + std::to_string(at) + "s console \"" + text + "\\r\"\n";
        at += row.gap_s;
    }
    const fs::path d = scratch("console-commands");
    const Result r = run(d / "board", scenario(std::to_string(at) + "s", body), false);
    ASSERT_EQ(r.status, 0) << r.summary;
    const auto seen = blocks(r.console);
    std::vector<const Row *> expected;
    for (const Row &row : rows)
        if (row.block != kNone)
            expected.push_back(&row);
    ASSERT_EQ(seen.size(), expected.size() + 1);
    EXPECT_EQ(seen[0].rfind("RTC : 2025-06-01 08:05:0", 0), 0u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Row &row = *expected[i];
        const std::string &got = seen[i + 1];
        if (row.prefix)
            EXPECT_EQ(got.substr(0, row.block.size()), row.block) << row.line;
        else
            EXPECT_EQ(got, row.block) << row.line;
    }
    for (const std::string &b : seen)
        if (b.rfind("\r\nSector 0", 0) == 0) {  // 16 pages twice, then only a heading
            EXPECT_EQ(count(b, "\r\n"), 2u * (2u + 256u) + 2u);
            EXPECT_EQ(b.substr(b.size() - 22), "\r\nSector 2147483647\r\n\n");
        }

    // The next power-up keeps the identity, the calendar set here and the logs erased
    // by exclean afresh. Before those are looked at, the dump input: a glitch and a
    // shorter hold do nothing; held for a second it stops the tick (the LEDs say "not
    // armed"); then two-byte requests list the power-cycle log and sensor-data blocks,
    // half a request times out, a zero byte and a request sent during a listing are
    // dropped, and letting the input go gives the console back.
    const Result again =
        run(d / "board",
            "version 3\nlength 14s\n"
            "at 4s pin PA12 0\nat 4.02s pin PA12 1\n"  // a glitch
            "at 5s pin PA12 0\nat 5.9s pin PA12 1\n"   // held, but not for a second
            "at 6s pin PA12 0\n"
            "at 7.2s console hex FFFF\n"
            "at 7.5s console dec 5\n"      // half a request, timed out ...
            "at 8s console dec 1 1\n"      // ... so this is block 1, not 5 to 1
            "at 8.2s console dec 3 3\n"    // sent during that listing: dropped
            "at 9.5s console dec 0 3\n"    // a zero byte: nothing listed
            "at 9.7s console dec 255 0\n"  // 255 alone is not the log's request
            "at 10s pin PA12 1\n" +
                typed("11.5s", "show id\r") +
                "at 12.5s console \"show rtc\\r\"\nat 13s console \"dnt -o\\r\"\n");
    ASSERT_EQ(again.status, 0) << again.summary;
    EXPECT_GT(again.ticks.back(), 6990 * kMs);
    EXPECT_LT(again.ticks.back(), 7030 * kMs);
    EXPECT_GT(again.edges("PA10", 1).back(), again.ticks.back());
    EXPECT_GT(again.edges("PA11", 0).back(), again.edges("PA11", 1).back());
    const auto after = blocks(again.console);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], "device_id : 0123456789ABCDE\r\n");
    EXPECT_EQ(after[1].rfind("RTC : 2024-03-01 00:00:", 0), 0u) << after[1];
    EXPECT_EQ(after[2].rfind("0000  time[1] :  2024-03-01 ", 0), 0u) << after[2];
    EXPECT_EQ(count(after[2], "time["), 1u) << after[2];
    // What the dump service listed: that log, then block 1 alone, ended.
    const std::string end = "END" + std::string(75, '!') + "\r\n";
    EXPECT_NE(again.console.find("System Ready!\r\n" + after[2] + "SD_block 1\r\n00,"),
              std::string::npos)
        << again.console;
    EXPECT_EQ(count(again.console, after[2]), 2u);  // on FFFF and on dnt -o
    EXPECT_EQ(count(again.console, "SD_block"), 1u);
    EXPECT_EQ(count(again.console, end), 1u);
}

}  // namespace
