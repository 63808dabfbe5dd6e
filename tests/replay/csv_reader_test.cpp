// Recorded CSV files come from spreadsheets, loggers and hand edits: the reader must accept
// their harmless variations and refuse anything it would otherwise misread, naming the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "ExpectedStreams.h"
#include "fall_replay/CsvReader.h"
#include "fall_replay/Replay.h"
#include "fall_synth/Run.h"

namespace {

using fall_replay::CsvReader;
using fall_replay::CsvSample;
using fall_replay::ParseError;

// Each sample as one comparable row: line, time in ms (-1 without a time column), ax .. gz.
using Rows = std::vector<std::vector<int64_t>>;
Rows readAll(const std::string &text) {
    std::istringstream in(text);
    CsvReader r(in, "rec.csv");
    Rows out;
    for (CsvSample s; r.next(s);) {
        const FALL_DETECTOR_SENSOR_DATA &d = s.data;
        out.push_back(
            {s.line, s.hasTime ? s.timeMs : -1, d.accX, d.accY, d.accZ, d.gyroX, d.gyroY, d.gyroZ});
    }
    return out;
}

std::string errorOf(const std::string &text) {
    try {
        readAll(text);
    } catch (const ParseError &e) {
        return e.what();
    }
    return "(no error)";
}

TEST(CsvReader, AcceptsHeaderCommentsBlankLinesCrLfSpacesAndATimeColumn) {
    const std::string bench =
        "\xEF\xBB\xBF# recorded on the bench\r\n"
        "ax,ay,az,gx,gy,gz\r\n"
        "\r\n"
        "1,-8192,3, -4 ,5,+6\r\n"
        "   # a note\n"
        "\t\n"
        "-32768,32767,0,0,0,0";  // no final line end
    EXPECT_EQ(readAll(bench),
              (Rows{{4, -1, 1, -8192, 3, -4, 5, 6}, {7, -1, -32768, 32767, 0, 0, 0, 0}}));
    EXPECT_EQ(
        readAll("time_ms,ax,ay,az,gx,gy,gz\n0,1,2,3,4,5,6\n20,1,2,3,4,5,6\n20,0,0,0,0,0,0\n"),
        (Rows{{2, 0, 1, 2, 3, 4, 5, 6}, {3, 20, 1, 2, 3, 4, 5, 6}, {4, 20, 0, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(readAll("100,1,2,3,4,5,6\n"), (Rows{{1, 100, 1, 2, 3, 4, 5, 6}}));
    EXPECT_EQ(readAll(""), Rows{});
    EXPECT_EQ(readAll("# nothing\n\nax,ay,az,gx,gy,gz\n"), Rows{});
}

TEST(CsvReader, RefusesBadInputNamingFileAndLine) {
    const std::pair<const char *, const char *> rows[] = {
        {"1,2,3,4,5,6\n1,2,3,4,5,32768\n",
         "rec.csv:2: value 32768 for gz is outside int16 (-32768..32767)"},
        {"# c\n1,2,3,4,5,-32769\n",
         "rec.csv:2: value -32769 for gz is outside int16 (-32768..32767)"},
        {"1,2,3,4,5\n",
         "rec.csv:1: expected 6 values (ax,ay,az,gx,gy,gz) or 7 (time_ms first), found 5"},
        {"1,2,3,4,5,6\n\n1,2,3,4,5,6,7\n", "rec.csv:3: expected 6 values, found 7"},
        {"1,2,3.5,4,5,6\n", "rec.csv:1: value '3.5' for az is not an integer"},
        {"1,2,,4,5,6\n", "rec.csv:1: missing value for az"},
        {"1,2,3,99999999999999999999,5,6\n",
         "rec.csv:1: value '99999999999999999999' for gx is not an integer"},
        {"40,1,2,3,4,5,6\n20,1,2,3,4,5,6\n",
         "rec.csv:2: time 20 ms is earlier than the previous sample's 40 ms"},
        {"-20,1,2,3,4,5,6\n", "rec.csv:1: time -20 is negative"},
        {"a,b,c\n",
         "rec.csv:1: header names 3 columns; expected ax,ay,az,gx,gy,gz with an optional "
         "leading time column"},
        {"ax,ay,az,gx,gy,gz\ntime,ax,ay,az,gx,gy,gz\n", "rec.csv:2: expected 6 values, found 7"},
        // A first sample with a stray letter is a bad sample, not a header to skip.
        {"1e3,0,0,0,0,0\n", "rec.csv:1: value '1e3' for ax is not an integer"},
        {"ax,ay,az,gx,gy,\n", "rec.csv:1: value 'ax' for ax is not an integer"},
    };
    for (const auto &r : rows) EXPECT_EQ(errorOf(r.first), r.second) << r.first;
}

// The replay of a stream written as CSV must give what running the stream directly gives:
// same positives, and the replay's state lines hash to the committed per-stream hash.
TEST(Replay, CsvRoundTripOfAStreamGivesTheSameResultsAsTheDirectRun) {
    static FALL_DETECTOR det;
    const fall_synth::StreamDef *def = fall_synth::findStream("collision_fall");
    const fall_replay::RunSummary direct = fall_synth::runStream(*def, det);

    std::ostringstream csvIn;
    csvIn << "time_ms,ax,ay,az,gx,gy,gz\r\n";
    fall_synth::Generator g(*def);
    uint32_t i = 0;
    for (fall_synth::Sample s; g.next(s);) {
        csvIn << 1000 + 20 * i++ << ',' << s.ax << ',' << s.ay << ',' << s.az << ',' << s.gx << ','
              << s.gy << ',' << s.gz << "\r\n";
    }
    std::istringstream in(csvIn.str());
    CsvReader reader(in, "x");
    std::ostringstream out;
    const fall_replay::ReplayResult r = fall_replay::replay(reader, &out);

    ASSERT_EQ(r.samples, direct.samples);
    ASSERT_EQ(r.positives.size(), direct.positiveCount);
    EXPECT_EQ(r.positives.back().timeMs,
              1000 + 20 * int64_t(direct.positives[direct.positiveCount - 1].index));
    EXPECT_EQ(r.positives.back().line, direct.positives[direct.positiveCount - 1].index + 2);
    // Strip "index,time_ms," from each line and hash the rest (results included) as the direct
    // run does.
    std::istringstream lines(out.str());
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, std::string("index,time_ms,") + fall_replay::stateHeader());
    fall_replay::Hash64 h;
    uint32_t n = 0;
    while (std::getline(lines, line)) {
        const std::size_t cut = line.find(',', line.find(',') + 1) + 1;
        EXPECT_EQ(line.substr(0, cut),
                  std::to_string(n) + "," + std::to_string(1000 + 20 * n) + ",");
        std::string rest = line.substr(cut) + "\n";
        h.add(rest.data(), rest.size());
        ++n;
    }
    EXPECT_EQ(n, direct.samples);
    EXPECT_EQ(h.value(), direct.hash);
}

TEST(Observe, StateLineFormatsExtremeValuesAndMatchesTheHeader) {
    regression::Line min;  // the one value whose magnitude has no int64
    EXPECT_STREQ(min.num(INT64_MIN).str(), "-9223372036854775808");

    static FALL_DETECTOR det{};
    det.roll = -2147483647 - 1;
    det.raw_acc = 65535;
    const FALL_DETECTOR_SENSOR_DATA in{-32768, 32767, 0, 1, -1, 0};
    char line[fall_replay::kStateLineMax];
    const std::size_t n = fall_replay::formatState(det, in, 16, line);
    const std::string s(line);
    EXPECT_EQ(s.size(), n);
    EXPECT_EQ(s.rfind("-32768,32767,0,1,-1,0,65535,", 0), 0u) << s;
    EXPECT_NE(s.find(",-2147483648,"), std::string::npos);
    EXPECT_EQ(s.substr(s.size() - 3), ",16");
    const std::string header = fall_replay::stateHeader();
    EXPECT_EQ(std::count(s.begin(), s.end(), ','), std::count(header.begin(), header.end(), ','));
}

}  // namespace
