// Regenerates every synthetic stream, runs it through the engine and compares with the
// committed regression data (tests/replay/expected_streams.inc). When the engine changes
// on purpose, regenerate with:  fall_synth --update-expectations tests/replay/expected_streams.inc
#include <gtest/gtest.h>

#include <cstring>
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
        char reason[regression::kReasonMax];
        EXPECT_TRUE(regression::matches(want, got, reason)) << reason;
    }
}

TEST(Regression, CatalogueAndRegressionDataNameTheSameStreams) {
    std::set<std::string> data, catalogue;
    for (std::size_t i = 0; i < regression::kExpectedStreamCount; ++i) {
        data.insert(regression::kExpectedStreams[i].name);
    }
    for (std::size_t i = 0; i < fall_synth::streamCount(); ++i) {
        catalogue.insert(fall_synth::stream(i).name);
    }
    EXPECT_EQ(data, catalogue);
    EXPECT_EQ(data.size(), regression::kExpectedStreamCount) << "duplicate stream names";
}

// The committed data must also say what each stream was designed for, so that regenerating
// it cannot silently accept a stream that lost its purpose.
TEST(Regression, EachStreamFirstGivesItsIntendedResult) {
    for (std::size_t i = 0; i < regression::kExpectedStreamCount; ++i) {
        const regression::ExpectedStream &want = regression::kExpectedStreams[i];
        const fall_synth::StreamDef *def = fall_synth::findStream(want.name);
        ASSERT_NE(def, nullptr);
        if (def->intended == fall_synth::kNearMiss) {
            continue;  // recorded as the engine answers
        } else if (def->intended == 0) {
            EXPECT_EQ(want.positiveCount, 0u) << want.name;
        } else {
            ASSERT_GT(want.positiveCount, 0u) << want.name;
            EXPECT_EQ(want.positives[0].type, def->intended) << want.name;
        }
    }
}

TEST(Regression, StreamsCoverEveryReachableResultAndTheQuietMotions) {
    // The engine's results that a stream can reach (the catalogues say why any other cannot).
    const std::set<int> reachable = {REACHABLE_RESULTS};
    std::set<int> intended;
    int quiet = 0;
    for (std::size_t i = 0; i < fall_synth::streamCount(); ++i) {
        const int t = fall_synth::stream(i).intended;
        if (t == 0) {
            ++quiet;
        } else if (t != fall_synth::kNearMiss) {
            intended.insert(t);
        }
    }
    EXPECT_EQ(intended, reachable);
    EXPECT_GE(quiet, 4);
}

TEST(Regression, ComparisonReportsEachKindOfMismatch) {
    const fall_replay::Positive pos[] = {{10, 1}, {11, 1}};
    const regression::ExpectedStream want{"s", 100, 0x1234, 2, pos};
    fall_replay::RunSummary got;
    got.samples = 100;
    got.hash = 0x1234;
    got.positiveCount = 2;
    got.positives[0] = {10, 1};
    got.positives[1] = {11, 1};
    char reason[regression::kReasonMax];
    EXPECT_TRUE(regression::matches(want, got, reason)) << reason;

    got.hash = 0x1235;
    EXPECT_FALSE(regression::matches(want, got, reason));
    EXPECT_NE(std::strstr(reason, "output hash 0000000000001235, expected 0000000000001234"),
              nullptr)
        << reason;
    got.hash = 0x1234;
    got.positives[1] = {11, 12};
    EXPECT_FALSE(regression::matches(want, got, reason));
    EXPECT_NE(std::strstr(reason, "sample 11 type 12, expected sample 11 type 1"), nullptr)
        << reason;
    got.positiveCount = 1;
    EXPECT_FALSE(regression::matches(want, got, reason));
    EXPECT_NE(std::strstr(reason, "positive results 1, expected 2"), nullptr) << reason;
    got.samples = 99;
    EXPECT_FALSE(regression::matches(want, got, reason));
    EXPECT_NE(std::strstr(reason, "sample count 99, expected 100"), nullptr) << reason;
}

}  // namespace
