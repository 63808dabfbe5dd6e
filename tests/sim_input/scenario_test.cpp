#include "scenario.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../sim/program_runs.h"

namespace {

using namespace programs;
using sim::Scenario;
using sim::ScenarioEventKind;

std::vector<std::uint8_t> B(const std::string &s) {
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

Scenario parse_ok(const std::string &text) {
    Scenario sc;
    std::string err;
    EXPECT_TRUE(sim::parse_scenario(text, "t.scn", sc, err)) << err;
    return sc;
}

std::string parse_err(const std::string &text) {
    Scenario sc;
    std::string err;
    EXPECT_FALSE(sim::parse_scenario(text, "t.scn", sc, err)) << "accepted:\n" << text;
    return err;
}

// Each time reads as its nanoseconds, and the time formatted from those reads back the same.
TEST(ScenarioTime, UnitsFractionsAndFormattingBack) {
    struct Case {
        const char *text;
        std::uint64_t ns;
    } cases[] = {
        {"250", 250000000ULL}, {"250ms", 250000000ULL}, {"1.5s", 1500000000ULL},
        {"20us", 20000ULL},    {"7ns", 7ULL},           {"0", 0ULL},
        {"0.000001ms", 1ULL},  {"2.25ms", 2250000ULL},  {"31536000s", sim::kMaxScenarioLengthNs},
        {"999ns", 999ULL},     {"2s", 2000000000ULL},   {"123456789ns", 123456789ULL},
    };
    for (const Case &c : cases) {
        std::uint64_t ns = 1234, back = 1234;
        std::string err;
        EXPECT_TRUE(sim::parse_scenario_time(c.text, ns, err)) << c.text << ": " << err;
        EXPECT_EQ(ns, c.ns) << c.text;
        const std::string formatted = sim::format_scenario_time(c.ns);
        EXPECT_TRUE(sim::parse_scenario_time(formatted, back, err)) << formatted << ": " << err;
        EXPECT_EQ(back, c.ns) << formatted;
    }
    EXPECT_EQ(sim::format_scenario_time(2000000000ULL), "2s");
    EXPECT_EQ(sim::format_scenario_time(1500000000ULL), "1500ms");
}

TEST(ScenarioTime, RefusesMalformedTooFineAndTooLong) {
    const char *bad[] = {"", "ms", "-5ms", "1.s", ".5s", "5 ms", "5sec", "5m", "1e3", "0.5ns",
                         "1.0000000001s", "31536000.000000001s", "31536001s",
                         // would wrap a 64-bit product if multiplied naively
                         "18446744073709551615s", "99999999999999999999999ms"};
    for (const char *t : bad) {
        std::uint64_t ns = 0;
        std::string err;
        EXPECT_FALSE(sim::parse_scenario_time(t, ns, err)) << t << " gave " << ns;
        EXPECT_FALSE(err.empty()) << t;
    }
}

// Every event kind, every escape, quoted words side by side, CRLF lines and comments.
TEST(ScenarioParse, FullExampleWithEveryEventKind) {
    const Scenario sc = parse_ok(
        "# demo\n"
        "\n"
        "version 1   # format\r\n"  // CRLF lines are fine
        "length 5s\r\n"
        "at 100ms console \"help\\r\\n\\tb\\\\c\\\"d\\0e\\x7f\\xFF#not a comment\"  # comment\n"
        "at 2.5s pin PA12 0\n"
        "at 3s pin PB12 high\n"
        "at 1s phone \"~\" \"~\" hex 0d0A dec 0 255\n"
        "at 4999999999ns pin PH3 low\n");
    EXPECT_EQ(sc.version, 1u);
    EXPECT_EQ(sc.length_ns, 5000000000ULL);
    EXPECT_EQ(sc.source, "t.scn");
    ASSERT_EQ(sc.events.size(), 5u);

    EXPECT_EQ(sc.events[0].at_ns, 100000000ULL);
    EXPECT_EQ(sc.events[0].kind, ScenarioEventKind::ConsoleBytes);
    static const char help[] = "help\r\n\tb\\c\"d\0e\x7f\xff#not a comment";
    EXPECT_EQ(sc.events[0].bytes, B(std::string(help, sizeof help - 1)));
    EXPECT_EQ(sc.events[0].line, 5u);

    EXPECT_EQ(sc.events[1].kind, ScenarioEventKind::PhoneBytes);
    EXPECT_EQ(sc.events[1].bytes, (std::vector<std::uint8_t>{'~', '~', 0x0D, 0x0A, 0x00, 0xFF}));
    EXPECT_EQ(sc.events[1].line, 8u);

    EXPECT_EQ(sc.events[2].kind, ScenarioEventKind::PinLevel);
    EXPECT_EQ(sc.events[2].port, 'A');
    EXPECT_EQ(sc.events[2].pin, 12);
    EXPECT_EQ(sc.events[2].level, 0);
    EXPECT_EQ(sc.events[3].port, 'B');
    EXPECT_EQ(sc.events[3].level, 1);
    EXPECT_EQ(sc.events[4].port, 'H');
    EXPECT_EQ(sc.events[4].pin, 3);
    EXPECT_EQ(sc.events[4].at_ns, 4999999999ULL);
}

TEST(ScenarioParse, TimeOrderIsStableAndRelativeTimesFollowFileOrder) {
    const Scenario sc = parse_ok(
        "version 1\n"
        "at 2s console \"b\"\n"      // line 2
        "at 1s console \"a\"\n"      // line 3
        "at 2s pin PA12 0\n"         // line 4, same instant as line 2: after it
        "at +500ms console \"c\"\n"  // 2.5 s: relative to line 4
        "at 2s console \"d\"\n"      // line 6, same instant again
        "at +0 pin PA12 1\n"         // line 7: 2 s, after line 6
        "length 3s\n");              // length may come last
    ASSERT_EQ(sc.events.size(), 6u);
    const std::uint32_t lines[] = {3, 2, 4, 6, 7, 5};
    const std::uint64_t times[] = {1000000000ULL, 2000000000ULL, 2000000000ULL,
                                   2000000000ULL, 2000000000ULL, 2500000000ULL};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(sc.events[i].line, lines[i]) << i;
        EXPECT_EQ(sc.events[i].at_ns, times[i]) << i;
    }
}

// Each bad input must be refused with the right line (none when the whole file is at
// fault) and a message that says why.
TEST(ScenarioParse, RefusalsNameTheLine) {
    struct Case {
        const char *text;
        const char *expect;  // prefix "t.scn:<line>: " plus a fragment of the message
        const char *fragment;
    } cases[] = {
        {"", "t.scn: ", "no version line ('version 3') (the file has no directives)"},
        {"version 1\nat 1 pin PA1 1\n", "t.scn: ", "no 'length' line (how long the run lasts)"},
        {"length 1s\nversion 1\n", "t.scn:1: ", "first directive must be the version line"},
        {"version 1\nversion 1\nlength 1s\n",
         "t.scn:2: ", "duplicate version line (first on line 1)"},
        {"version 4\nlength 1s\n", "t.scn:1: ", "version 4 is not supported"},
        {"version 0\nlength 1s\n", "t.scn:1: ", "version 0 is not supported"},
        {"version 1\nlength 1s\nlength 2s\n",
         "t.scn:3: ", "duplicate length line (first on line 2)"},
        {"version 1\nlength 0\n", "t.scn:2: ", "greater than zero"},
        {"version 1\nlength 366d\n", "t.scn:2: ", "unknown unit 'd'"},
        {"version 1\nlength 31536001s\n", "t.scn:2: ", "beyond the longest run"},
        {"version 1\nlength 1s\n\nat 2s console \"x\"\n",
         "t.scn:4: ", "not before the end of the run"},
        {"version 1\nlength 1s\nat 1 console \"\\q\"\n", "t.scn:3: ", "invalid escape '\\q'"},
        {"version 1\nlength 1s\nat 1 console \"\\x4\"\n", "t.scn:3: ", "exactly two hex digits"},
        {"version 1\nlength 1s\nat 1 console \"abc\n", "t.scn:3: ", "unterminated quoted text"},
        {"version 1\nlength 1s\nat 1 console \"abc\\", "t.scn:3: ", "unterminated escape"},
        {"version 1\nlength 1s\nat 1 console \"\"\n", "t.scn:3: ", "no bytes given"},
        {"version 1\nlength 1s\nat 1\n", "t.scn:3: ", "expected 'at <time> <event>"},
        {"version 1\nlength 1s\nat 1 console hex\n", "t.scn:3: ", "'hex' must be followed"},
        {"version 1\nlength 1s\nat 1 console hex \"a\"\n", "t.scn:3: ", "'hex' must be followed"},
        {"version 1\nlength 1s\nat 1 console hex 123\n", "t.scn:3: ", "even number of digits"},
        {"version 1\nlength 1s\nat 1 console hex zz\n", "t.scn:3: ", "not a hex byte"},
        {"version 1\nlength 1s\nat 1 console dec 256\n", "t.scn:3: ", "not a decimal byte"},
        {"version 1\nlength 1s\nat 1 console help\n", "t.scn:3: ", "unexpected 'help'"},
        {"version 1\nlength 1s\nat 1 pin PA16 1\n", "t.scn:3: ", "pin number 16 out of range"},
        {"version 1\nlength 1s\nat 1 pin PD1 1\n", "t.scn:3: ", "no port D"},
        {"version 1\nlength 1s\nat 1 pin PA01 1\n", "t.scn:3: ", "expected a pin such as PA12"},
        {"version 1\nlength 1s\nat 1 pin pa1 1\n", "t.scn:3: ", "expected a pin such as PA12"},
        {"version 1\nlength 1s\nat 1 pin PA1 2\n", "t.scn:3: ", "pin level must be"},
        {"version 1\nlength 1s\nat 1 pin PA1\n", "t.scn:3: ", "expected 'at <time> pin"},
        {"version 1\nlength 1s\nat -1 pin PA1 1\n", "t.scn:3: ", "cannot be negative"},
        {"version 1\nlength 1s\nat 1 battery 3.7V\n",
         "t.scn:3: ", "not part of scenario format version 1"},
        {"version 1\nmotion walk.csv\n", "t.scn:2: ", "not part of scenario format version 1"},
        {"version 1\nlenght 1s\n", "t.scn:2: ", "unknown directive 'lenght'"},
        {"version 1\nlength 1s\nat 1 keyboard \"x\"\n", "t.scn:3: ", "unknown event 'keyboard'"},
        {"version 1\nlength 1s\n\"at\" 1 console \"x\"\n",
         "t.scn:3: ", "must start with a directive"},
        {"version 1\nlength 1s\nat 1 console ab\"c\"\n", "t.scn:3: ", "quote inside a word"},
        {"version 1\nlength 1s\nat 1 console \"a\"b\n", "t.scn:3: ", "followed by a blank"},
        // Raw TAB and DEL inside quotes are control characters too; version numbers
        // are written without leading zeros.
        {"version 1\nlength 1s\nat 1 console \"a\tb\"\n", "t.scn:3: ", "control character 0x09"},
        {"version 1\nlength 1s\nat 1 console \"a\x7f\"\n", "t.scn:3: ", "control character 0x7F"},
        {"version 01\nlength 1s\n", "t.scn:1: ", "expected 'version 3' (or an older version"},
        {"version +1\nlength 1s\n", "t.scn:1: ", "expected 'version 3' (or an older version"},
        // Relative times add up; the sum may not pass the one-year bound.
        {"version 1\nlength 31536000s\nat 30000000s pin PA1 1\nat +2000000s pin PA1 0\n",
         "t.scn:4: ", "beyond the longest run"},
    };
    for (const Case &c : cases) {
        const std::string err = parse_err(c.text);
        EXPECT_EQ(err.rfind(c.expect, 0), 0u) << c.text << "\n-> " << err;
        EXPECT_NE(err.find(c.fragment), std::string::npos) << c.text << "\n-> " << err;
    }
}

TEST(ScenarioParse, Version2FaultsCutsAndSettings) {
    using sim::FaultKind;
    using sim::StorageOp;
    const Scenario sc = parse_ok(
        "version 2\n"
        "length 10s\n"
        "seed 0x10\n"
        "flash-timing maximum\n"
        "flash-size-register 0xFFFF\n"
        "at 3s fault nor-erase always\n"     // line 6
        "at 1s fault nor-program\n"          // line 7
        "at +1s fault intflash-program 3\n"  // line 8: 2 s
        "at 2s fault nor-missing\n"
        "at 2s fault nor-missing off\n"
        "at 4s fault nor-erase off\n"
        "power-cut nor-erase 2 at 37.5%\n");
    EXPECT_EQ(sc.storage.seed, 16u);
    EXPECT_TRUE(sc.storage.maximum_timing);
    EXPECT_EQ(sc.storage.flash_size_register, 0xFFFF);
    struct Expect {
        std::uint64_t at_ns;
        FaultKind kind;
        std::uint32_t count;
        std::uint32_t line;
    } const expect[] = {
        {1000000000ULL, FaultKind::NorProgram, 1, 7},
        {2000000000ULL, FaultKind::IntflashProgram, 3, 8},
        {2000000000ULL, FaultKind::NorMissing, 1, 9},
        {2000000000ULL, FaultKind::NorMissing, 0, 10},
        {3000000000ULL, FaultKind::NorErase, sim::kFaultAlways, 6},
        {4000000000ULL, FaultKind::NorErase, 0, 11},
    };
    ASSERT_EQ(sc.storage.faults.size(), std::size(expect));
    for (std::size_t i = 0; i < std::size(expect); ++i) {
        const sim::FaultEvent &f = sc.storage.faults[i];
        EXPECT_EQ(f.at_ns, expect[i].at_ns) << i;
        EXPECT_EQ(f.kind, expect[i].kind) << i;
        EXPECT_EQ(f.count, expect[i].count) << i;
        EXPECT_EQ(f.line, expect[i].line) << i;
    }
    const sim::PowerCut &cut = sc.storage.cut;
    EXPECT_EQ(cut.ops, 1u << static_cast<unsigned>(StorageOp::NorErase));
    EXPECT_EQ(cut.nth, 2u);
    EXPECT_EQ(cut.fraction_ppm, 375000u);
    EXPECT_EQ(cut.line, 12u);

    // Defaults, a timed cut and the operation groups.
    const Scenario t = parse_ok("version 2\nlength 1s\nat 999ms power-cut\n");
    EXPECT_EQ(t.storage.seed, 0u);
    EXPECT_FALSE(t.storage.maximum_timing);
    EXPECT_EQ(t.storage.flash_size_register, 256);
    EXPECT_TRUE(t.storage.cut.set && t.storage.cut.timed);
    EXPECT_EQ(t.storage.cut.at_ns, 999000000ULL);
    struct Group {
        const char *word;
        unsigned ops;
    } const groups[] = {{"nor", 0x3}, {"intflash", 0xC}, {"any", 0xF}, {"intflash-erase", 0x8}};
    for (const Group &g : groups) {
        const Scenario c =
            parse_ok(std::string("version 2\nlength 1s\npower-cut ") + g.word + " 1 at 0.0001%\n");
        EXPECT_EQ(c.storage.cut.ops, g.ops) << g.word;
        EXPECT_EQ(c.storage.cut.fraction_ppm, 1u) << g.word;
    }
}

TEST(ScenarioParse, Version2Refusals) {
    const std::string v2 = "version 2\nlength 1s\n";
    struct Case {
        std::string text;
        const char *fragment;
    } const cases[] = {
        {"version 1\nlength 1s\nseed 1\n", "not part of scenario format version 1"},
        {v2 + "at 0 fault nor-program 0\n", "fault count must be a number from 1"},
        {v2 + "at 0 fault nor-program sometimes\n", "fault count must be"},
        {v2 + "at 0 fault i2c-nack\n",
         "'i2c-nack' faults are not part of scenario format version 2"},
        {v2 + "at 0 fault nor-missing 2\n", "'nor-missing' takes nothing or 'off'"},
        {v2 + "at 0 fault nor-stuck-busy always\n", "takes nothing or 'off'"},
        {v2 + "at 0 fault\n", "expected 'at <time> fault <kind>"},
        {v2 + "at 1s fault nor-erase\n", "not before the end of the run"},
        {v2 + "at 1s power-cut\n", "not before the end of the run"},
        {v2 + "at 0 power-cut now\n", "expected 'at <time> power-cut'"},
        {v2 + "at 0 power-cut\npower-cut any 1\n", "a second power cut (the first, on line 3"},
        {v2 + "power-cut disk 1\n", "unknown operations 'disk'"},
        {v2 + "power-cut nor 0\n", "counts from 1"},
        {v2 + "power-cut nor 1 at 100%\n", "below 100%"},
        {v2 + "power-cut nor 1 at 40\n", "below 100%"},
        {v2 + "power-cut nor 1 at 1.23456%\n", "below 100%"},
        {v2 + "power-cut nor 1 after 40%\n", "expected 'at <percent>'"},
        {v2 + "power-cut nor\n", "expected 'power-cut <operations> <n>"},
        {v2 + "seed -1\n", "expected 'seed <number>'"},
        {v2 + "seed 1\nseed 2\n", "duplicate seed line (first on line 3)"},
        {v2 + "flash-timing slow\n", "flash-timing typical"},
        {v2 + "flash-size-register 0x10000\n", "0 to 0xFFFF"},
        {v2 + "at 0 motor on\n", "knows: console, phone, pin, fault, power-cut"},
        {v2 + "disk full\n", "version 2 knows: version, length, at, seed"},
    };
    for (const Case &c : cases) {
        const std::string err = parse_err(c.text);
        EXPECT_NE(err.find(c.fragment), std::string::npos) << c.text << "\n-> " << err;
    }
}

// A runaway token is quoted in part, with its length, not echoed whole.
TEST(ScenarioParse, LongTokensAreCutInMessages) {
    const std::string word(1 << 20, 'x');
    const std::string err = parse_err("version 1\nlength 1s\nat 1 console " + word + "\n");
    EXPECT_LT(err.size(), 200u) << err.substr(0, 300);
    EXPECT_NE(err.find("(1048576 characters)"), std::string::npos) << err.substr(0, 300);
}

// Editors that save "UTF-8 with BOM" put EF BB BF in front of the first line.
TEST(ScenarioParse, ByteOrderMarkAtTheStartIsIgnored) {
    const Scenario sc = parse_ok("\xEF\xBB\xBFversion 1\nlength 2s\n");
    EXPECT_EQ(sc.length_ns, 2000000000ULL);
    EXPECT_NE(parse_err("version 1\n\xEF\xBB\xBFlength 2s\n").find("t.scn:2: "), std::string::npos);
}

TEST(ScenarioFile, LoadsFromDiskNamesThePathInErrorsAndRefusesOversizedFiles) {
    const fs::path d = scratch("scenario-file");
    const std::string good = write(d / "good.scn", "version 1\nlength 2s\nat 1s pin PA12 0\n");
    Scenario sc;
    std::string err;
    ASSERT_TRUE(sim::load_scenario(good, sc, err)) << err;
    EXPECT_EQ(sc.source, good);
    ASSERT_EQ(sc.events.size(), 1u);

    const std::string bad = write(d / "bad.scn", "version 1\nlength 2s\nat 1s pin PA17 0\n");
    EXPECT_FALSE(sim::load_scenario(bad, sc, err));
    EXPECT_EQ(err.rfind(bad + ":3: ", 0), 0u) << err;

    EXPECT_FALSE(sim::load_scenario((d / "missing.scn").string(), sc, err));
    EXPECT_EQ(err.rfind((d / "missing.scn").string() + ": cannot open", 0), 0u) << err;
    EXPECT_FALSE(sim::load_scenario(d.string(), sc, err));
    EXPECT_EQ(err, d.string() + ": not a regular file");
    const std::string big = write(d / "big.scn", std::string(sim::kMaxScenarioFileBytes + 1, '#'));
    EXPECT_FALSE(sim::load_scenario(big, sc, err));
    EXPECT_NE(err.find("too large"), std::string::npos) << err;
}

// Every bundled scenario must stay loadable by this reader.
TEST(BundledScenarios, AllLoad) {
    int count = 0;
    for (const auto &e : fs::directory_iterator(SCENARIO_DIR)) {
        if (e.path().extension() != ".scn")
            continue;
        Scenario sc;
        std::string err;
        EXPECT_TRUE(sim::load_scenario(e.path().string(), sc, err)) << err;
        ++count;
    }
    EXPECT_GE(count, 10);  // the scenarios' directory, not another
}

}  // namespace
