// The command-line tools as users run them: exit status, where output goes, messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
    int status;
    std::string out;
};

Outcome run(const std::string &cmd) {
    Outcome r{-1, {}};
    FILE *p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string tempPath(const std::string &name) {
    return ::testing::TempDir() + "replay_cli_" + name;
}

void write(const std::string &path, const std::string &text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

TEST(ReplayCli, MalformedInputFailsWithFileAndLine) {
    const std::string f = tempPath("bad.csv");
    write(f, "ax,ay,az,gx,gy,gz\n0,-8192,0,0,0,0\n0,-8192,0,0,0,70000\n");
    const Outcome r = run(std::string(FALL_REPLAY_EXE) + " --summary-only " + f);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(f + ":3: value 70000 for gz is outside int16"), std::string::npos)
        << r.out;
}

TEST(ReplayCli, MissingFileAndBadUsage) {
    EXPECT_EQ(run(std::string(FALL_REPLAY_EXE) + " /nonexistent/x.csv").status, 1);
    EXPECT_EQ(run(std::string(FALL_REPLAY_EXE)).status, 2);
    EXPECT_EQ(run(std::string(FALL_REPLAY_EXE) + " --bogus x").status, 2);
    EXPECT_EQ(run(std::string(FALL_REPLAY_EXE) + " a b").status, 2);
}

TEST(ReplayCli, SynthStreamThroughStdinReportsTheFall) {
    const Outcome r = run(std::string(FALL_SYNTH_EXE) + " hard_impact | " + FALL_REPLAY_EXE +
                          " --summary-only -");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("<stdin>: 382 samples, last at 7620 ms; 3 positive results"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("sample 177  time 3540 ms  (line 180)  type 6"), std::string::npos)
        << r.out;
}

TEST(ReplayCli, OutputFileGetsOneLinePerSampleAndStdoutTheSummary) {
    const std::string in = tempPath("in.csv"), out = tempPath("out.csv");
    write(in, "0,0,-8192,0,0,0,0\r\n20,0,-8192,0,0,0,0\r\n");
    const Outcome r = run(std::string(FALL_REPLAY_EXE) + " -o " + out + " " + in);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("2 samples, last at 20 ms; 0 positive results"), std::string::npos)
        << r.out;
    std::ifstream f(out);
    std::string header, l1, l2, l3;
    std::getline(f, header);
    std::getline(f, l1);
    std::getline(f, l2);
    EXPECT_FALSE(std::getline(f, l3));
    EXPECT_EQ(header.rfind("index,time_ms,ax,ay,az,", 0), 0u);
    EXPECT_EQ(l1.rfind("0,0,0,-8192,0,0,0,0,100,", 0), 0u) << l1;
    EXPECT_EQ(l2.rfind("1,20,0,-8192,", 0), 0u) << l2;
}

// --variant hands the run to the variant's build of each tool: its streams, its engine.
TEST(ReplayCli, VariantModeRunsTheDataLoggingVariant) {
    const Outcome r = run(std::string(FALL_SYNTH_EXE) + " --variant head_first_fall | " +
                          FALL_REPLAY_EXE + " --variant -");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(",wFlipState,"), std::string::npos);
    EXPECT_NE(r.out.find("sample 160  time 3200 ms  (line 163)  type 10"), std::string::npos)
        << r.out.substr(r.out.size() > 400 ? r.out.size() - 400 : 0);
    EXPECT_EQ(run(std::string(FALL_SYNTH_EXE) + " head_first_fall").status, 2);  // not the device's
}

TEST(SynthCli, UnknownStreamAndListing) {
    EXPECT_EQ(run(std::string(FALL_SYNTH_EXE) + " no_such_stream").status, 2);
    const Outcome l = run(std::string(FALL_SYNTH_EXE) + " --list");
    EXPECT_EQ(l.status, 0);
    EXPECT_NE(l.out.find("soft_impact_tilted"), std::string::npos);
}

}  // namespace
