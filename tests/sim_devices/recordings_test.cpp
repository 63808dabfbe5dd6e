// The bundled motion recordings: each is what its fall_synth program makes today, reads
// as the simulator's motion source, and the engine finds its fall (and nothing else) in it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fall_synth/Activities.h"
#include "sim/devices.h"

namespace fs = std::filesystem;

namespace {

TEST(Recordings, BundledRecordingsMatchTheirProgramsAndTheEngine) {
    const std::string marker = "# sensor-frame motion recording: fall_synth --activity '";
    int checked = 0;
    for (const auto &e : fs::directory_iterator(fs::path(SCENARIO_DIR) / "recordings")) {
        std::ifstream in(e.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string body = text.str();
        if (body.rfind(marker, 0) != 0)
            continue;  // a recording of another kind
        const std::string program = body.substr(marker.size(), body.find("'\n") - marker.size());
        fall_synth::ActivityProgram p;
        std::string err;
        ASSERT_TRUE(fall_synth::parseActivities(program, p, err)) << e.path() << ": " << err;
        std::ostringstream again;
        fall_synth::writeSensorRecording(p, again);
        EXPECT_TRUE(again.str() == body) << e.path() << " differs from what its program makes";
        sim::MotionRecording rec;
        EXPECT_TRUE(sim::parse_motion_recording(body, e.path().string(), rec, err)) << err;
        const fall_replay::RunSummary r = fall_synth::runActivities(p);
        if (!p.fall) {
            EXPECT_EQ(r.positiveCount, 0u) << e.path();
        } else {
            ASSERT_GT(r.positiveCount, 0u) << e.path();
            EXPECT_GE(r.positives[0].index, p.fallStart) << e.path();
            EXPECT_LT(r.positives[0].index, p.fallStart + 100) << e.path();  // within 2 s
            EXPECT_EQ(r.positives[0].type, p.fall->intended) << e.path();
        }
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

TEST(Recordings, ProgramRefusals) {
    const char *const bad[] = {"walk",
                               "walk:0",
                               "walk:x",
                               "swim:10",
                               "fall:standing",
                               "walk:60,fall:hard_impact@30",
                               "fall:hard_impact,walk:10"};
    for (const char *text : bad) {
        fall_synth::ActivityProgram p;
        std::string err;
        EXPECT_FALSE(fall_synth::parseActivities(text, p, err)) << text;
        EXPECT_FALSE(err.empty()) << text;
    }
}

}  // namespace
