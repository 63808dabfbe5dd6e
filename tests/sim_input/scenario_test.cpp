#include "scenario.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../sim/program_runs.h"

namespace {

using namespace programs;
using sim::Scenario;

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

// Each record of a parse result on a line in the order kept, "<line> <time> <what>",
// after the run's settings: a whole result compares as one text.
std::string listing(const Scenario &sc) {
    std::ostringstream o;
    const sim::StoragePlan &s = sc.storage;
    o << "version " << sc.version << " length " << sim::format_scenario_time(sc.length_ns)
      << " seed " << s.seed << (s.maximum_timing ? " maximum" : " typical") << " size "
      << s.flash_size_register << '\n';
    const auto at = [&o](std::uint32_t line, std::uint64_t ns) -> std::ostream & {
        return o << line << ' ' << sim::format_scenario_time(ns) << ' ';
    };
    for (const sim::ScenarioEvent &e : sc.events) {
        at(e.line, e.at_ns) << sim::scenario_event_kind_name(e.kind);
        for (const std::uint8_t b : e.bytes) o << ' ' << int(b);
        if (e.bytes.empty())
            o << " P" << e.port << int(e.pin) << ' ' << int(e.level);
        o << '\n';
    }
    for (const sim::FaultEvent &f : s.faults)
        at(f.line, f.at_ns) << sim::fault_kind_name(f.kind) << ' ' << f.count << '\n';
    for (const sim::DeviceFault &f : sc.devices.faults)
        at(f.line, f.at_ns) << sim::device_fault_name(f.kind) << ' ' << f.count << '\n';
    for (const sim::BatteryPoint &p : sc.devices.battery)
        at(p.line, p.at_ns) << "battery " << p.counts << " over "
                            << sim::format_scenario_time(p.ramp_ns) << '\n';
    for (const sim::RadioEvent &r : sc.devices.radio)
        at(r.line, r.at_ns) << "radio " << sim::radio_mode_name(r.mode) << ' ' << r.bytes_per_second
                            << '\n';
    if (s.cut.set && s.cut.timed)
        at(s.cut.line, s.cut.at_ns) << "power-cut\n";
    else if (s.cut.set)
        at(s.cut.line, s.cut.at_ns) << "power-cut ops " << int(s.cut.ops) << " nth " << s.cut.nth
                                    << " ppm " << s.cut.fraction_ppm << '\n';
    const sim::MotionSource &m = sc.devices.motion;
    if (!m.path.empty())
        o << m.line << " motion " << m.path
          << (m.resampling == sim::Resampling::Linear ? " linear\n" : " hold\n");
    return o.str();
}

// Every directive and event kind, every escape, quoted words side by side, CRLF lines
// and comments. Records at the same instant keep their file order; a relative time
// counts from the line before it in the file.
TEST(ScenarioParse, ResultsKeepTimeOrderFileOrderAndLines) {
    struct Case {
        std::string text;
        std::string listing;
    } const cases[] = {
        {"# demo\n"
         "\n"
         "version 3   # format\r\n"
         "seed 0x10\n"
         "flash-timing maximum\n"
         "flash-size-register 0xFFFF\n"
         "motion walk.csv linear\n"
         "at 2s console \"a\\r\\n\\tb\\\\\\\"\\0\\x7f\\xFF#c\" \"d\"  # comment\n"
         "at 1s phone \"~\" \"~\" hex 0d0A dec 0 255\r\n"
         "at 2s pin PA12 0\n"
         "at +500ms pin PB12 high\n"
         "at 2s hold PB5 low\n"
         "at +0 hold PH3 off\n"
         "at 3s fault nor-erase always\n"
         "at 1s fault nor-program\n"
         "at +1s fault intflash-program 3\n"
         "at 2s fault nor-missing\n"
         "at 2s fault nor-missing off\n"
         "at 4s fault nor-erase off\n"
         "at 4s fault sensor-reset\n"
         "at 1s fault i2c-nack 3\n"
         "at 2s fault i2c-stuck\n"
         "at 3s fault i2c-stuck off\n"
         "at 10s battery 2150\n"
         "at 20s battery 2000 over 30s\n"
         "at 0 radio silent\n"
         "at 6s radio pipe\n"
         "at 5s radio babble 500\n"
         "power-cut nor-erase 2 at 37.5%\n"
         "length 60s\n",
         "version 3 length 60s seed 16 maximum size 65535\n"
         "9 1s phone 126 126 13 10 0 255\n"
         "8 2s console 97 13 10 9 98 92 34 0 127 255 35 99 100\n"
         "10 2s pin PA12 0\n"
         "12 2s hold PB5 0\n"
         "13 2s hold PH3 2\n"
         "11 2500ms pin PB12 1\n"
         "15 1s nor-program 1\n"
         "16 2s intflash-program 3\n"
         "17 2s nor-missing 1\n"
         "18 2s nor-missing 0\n"
         "14 3s nor-erase 4294967295\n"
         "19 4s nor-erase 0\n"
         "21 1s i2c-nack 3\n"
         "22 2s i2c-stuck 1\n"
         "23 3s i2c-stuck 0\n"
         "20 4s sensor-reset 1\n"
         "24 10s battery 2150 over 0ms\n"
         "25 20s battery 2000 over 30s\n"
         "26 0ms radio silent 0\n"
         "28 5s radio babble 500\n"
         "27 6s radio pipe 0\n"
         "29 0ms power-cut ops 2 nth 2 ppm 375000\n"
         "7 motion walk.csv linear\n"},
        {"version 1\r\nlength 5s\r\nat 4999999999ns pin PH3 low\r\n",
         "version 1 length 5s seed 0 typical size 256\n3 4999999999ns pin PH3 0\n"},
        // A timed cut, and the operations each group of a counted cut counts.
        {"version 2\nlength 1s\nat 999ms power-cut\n",
         "version 2 length 1s seed 0 typical size 256\n3 999ms power-cut\n"},
        {"version 2\nlength 1s\npower-cut nor 1 at 0.0001%\n",
         "version 2 length 1s seed 0 typical size 256\n3 0ms power-cut ops 3 nth 1 ppm 1\n"},
        {"version 2\nlength 1s\npower-cut intflash 1 at 0%\n",
         "version 2 length 1s seed 0 typical size 256\n3 0ms power-cut ops 12 nth 1 ppm 0\n"},
        {"version 2\nlength 1s\npower-cut any 1 at 99.9999%\n",
         "version 2 length 1s seed 0 typical size 256\n3 0ms power-cut ops 15 nth 1 ppm 999999\n"},
        {"version 2\nlength 1s\npower-cut intflash-erase 1 at 50%\n",
         "version 2 length 1s seed 0 typical size 256\n3 0ms power-cut ops 8 nth 1 ppm 500000\n"},
    };
    for (const Case &c : cases) EXPECT_EQ(listing(parse_ok(c.text)), c.listing) << c.text;
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

TEST(ScenarioParse, Version2And3Refusals) {
    const std::string v2 = "version 2\nlength 1s\n", v3 = "version 3\nlength 10s\n";
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
        {v2 + "at 0 battery 2000\n", "'battery' events are not part of scenario format version 2"},
        {v2 + "motion a.csv\n", "'motion' is not part of scenario format version 2"},
        {v2 + "at 0 fault sensor-reset\n", "'sensor-reset' faults are not part"},
        {v3 + "at 0 battery 4096\n", "0 to 4095"},
        {v3 + "at 0 battery 2000 during 1s\n", "expected 'over <time>'"},
        {v3 + "at 0 battery 2000 over\n", "expected 'at <time> battery <counts> [over <time>]'"},
        {v3 + "at 0 radio loud\n", "unknown radio mode 'loud'"},
        {v3 + "at 0 radio babble 0\n", "bytes per second from 1"},
        {v3 + "at 0 radio pipe 5\n", "'pipe' takes nothing more"},
        {v3 + "at 0 hold PB5 2\n", "0, 1, low, high or off"},
        {v3 + "at 0 fault sensor-reset 2\n", "'sensor-reset' takes nothing"},
        {v3 + "at 0 fault i2c-stuck 2\n", "'i2c-stuck' takes nothing or 'off'"},
        {v3 + "at 0 fault i2c-nack 0\n", "fault count must be a number from 1"},
        {v3 + "motion a.csv\nmotion b.csv\n", "duplicate motion line (first on line 3)"},
        {v3 + "motion a.csv cubic\n", "'hold' or 'linear'"},
        {v3 + "at 10s battery 2000\n", "not before the end of the run"},
        {v3 + "at 0 motor on\n",
         "knows: console, phone, pin, fault, power-cut, battery, radio, hold"},
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
