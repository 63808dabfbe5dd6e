// The command-line tools as users run them: exit status, where output goes, messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
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

TEST(ReplayCli, StatusAndMessages) {
    const std::string bad = tempPath("bad.csv");
    std::ofstream(bad) << "ax,ay,az,gx,gy,gz\n0,-8192,0,0,0,0\n0,-8192,0,0,0,70000\n";
    const std::string replay = FALL_REPLAY_EXE, synth = FALL_SYNTH_EXE;
    struct Row {
        std::string cmd;
        int status;
        std::string says;  // in the output, if not empty
    };
    const Row rows[] = {
        {replay + " --summary-only " + bad, 1, bad + ":3: value 70000 for gz is outside int16"},
        {replay + " /nonexistent/x.csv", 1, ""},
        {replay, 2, ""},
        {replay + " --bogus x", 2, ""},
        {replay + " a b", 2, ""},
        {synth + " hard_impact | " + replay + " --summary-only -", 0,
         "sample 177  time 3540 ms  (line 180)  type 6"},
        // --variant hands the run to the variant's build of each tool: its streams, its engine.
        {synth + " --variant head_first_fall | " + replay + " --variant -", 0, ",wFlipState,"},
        {synth + " --variant head_first_fall | " + replay + " --variant -", 0,
         "sample 160  time 3200 ms  (line 163)  type 10"},
        {synth + " head_first_fall", 2, ""},  // not the device's
        {synth + " no_such_stream", 2, ""},
        {synth + " --list", 0, "soft_impact_tilted"},
    };
    for (const Row &r : rows) {
        const Outcome o = run(r.cmd);
        EXPECT_EQ(o.status, r.status) << r.cmd << "\n" << o.out.substr(0, 400);
        EXPECT_NE(o.out.find(r.says), std::string::npos) << r.cmd << " should say " << r.says;
    }
}

TEST(ReplayCli, OutputFileGetsOneLinePerSampleAndStdoutTheSummary) {
    const std::string in = tempPath("in.csv"), out = tempPath("out.csv");
    std::ofstream(in, std::ios::binary) << "0,0,-8192,0,0,0,0\r\n20,0,-8192,0,0,0,0\r\n";
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

}  // namespace
