// Regenerates every synthetic stream, runs it through the engine and compares with the
// committed regression data (tests/replay/expected_streams.inc). When the engine changes
// on purpose, regenerate with:  fall_synth --update-expectations tests/replay/expected_streams.inc
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ExpectedStreams.h"
#include "fall_synth/Run.h"

namespace {

FALL_DETECTOR g_detector;

TEST(Regression, EveryStreamMatchesItsCommittedResultsAndHash) {
    for (std::size_t i = 0; i < regression::kExpectedStreamCount; ++i) {
        const regression::ExpectedStream &want = regression::kExpectedStreams[i];
        const fall_synth::StreamDef *def = fall_synth::findStream(want.name);
        ASSERT_NE(def, nullptr) << "regression data names an unknown stream " << want.name;
        const fall_replay::RunSummary got = fall_synth::runStream(*def, g_detector);
        regression::Line reason;
        EXPECT_TRUE(regression::matches(want, got, reason)) << reason.str();
    }
}

// The committed data must name the catalogue's streams and say what each was designed for, so
// that regenerating it cannot silently accept a stream that lost its purpose; together the
// streams reach every result the engine can reach (the catalogues say why any other cannot)
// and include quiet motions.
TEST(Regression, DataNamesTheCatalogueAndEachStreamFirstGivesItsIntendedResult) {
    std::set<std::string> data, catalogue;
    std::set<int> intended;
    int quiet = 0;
    for (std::size_t i = 0; i < fall_synth::streamCount(); ++i) {
        catalogue.insert(fall_synth::stream(i).name);
    }
    for (std::size_t i = 0; i < regression::kExpectedStreamCount; ++i) {
        const regression::ExpectedStream &want = regression::kExpectedStreams[i];
        data.insert(want.name);
        const fall_synth::StreamDef *def = fall_synth::findStream(want.name);
        ASSERT_NE(def, nullptr) << want.name;
        if (def->intended == 0) {
            ++quiet;
            EXPECT_EQ(want.positiveCount, 0u) << want.name;
        } else if (def->intended != fall_synth::kNearMiss) {  // a near miss has none to keep
            intended.insert(def->intended);
            ASSERT_GT(want.positiveCount, 0u) << want.name;
            EXPECT_EQ(want.positives[0].type, def->intended) << want.name;
        }
    }
    EXPECT_EQ(data, catalogue);
    EXPECT_EQ(data.size(), regression::kExpectedStreamCount) << "duplicate stream names";
    EXPECT_EQ(intended, std::set<int>({REACHABLE_RESULTS}));
    EXPECT_GE(quiet, 4);
}

TEST(Regression, ComparisonReportsEachKindOfMismatch) {
    const fall_replay::Positive pos[] = {{10, 1}, {11, 1}};
    const regression::ExpectedStream want{"s", 100, 0x1234, 2, pos};
    struct Row {
        fall_replay::RunSummary got;  // samples, hash, positive count, positives
        const char *reason;
    };
    const Row rows[] = {
        {{100, 0x1234, 2, {{10, 1}, {11, 1}}}, "s: ok"},
        {{100, 0x1235, 2, {{10, 1}, {11, 1}}},
         "s: output hash 0000000000001235, expected 0000000000001234"},
        {{100, 0x1234, 2, {{10, 1}, {11, 12}}},
         "s: positive result 1 is sample 11 type 12, expected sample 11 type 1"},
        {{100, 0x1234, 1, {{10, 1}}},
         "s: positive results 1, expected 2; first at sample 10 type 1"},
        {{99, 0x1234, 2, {{10, 1}, {11, 1}}}, "s: sample count 99, expected 100"},
    };
    for (const Row &r : rows) {
        regression::Line reason;
        EXPECT_EQ(regression::matches(want, r.got, reason), r.reason == std::string("s: ok"));
        EXPECT_STREQ(reason.str(), r.reason);
    }
}

}  // namespace
