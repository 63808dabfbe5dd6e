// The command-line tools as users run them: exit status, where output goes, messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
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

TEST(ReplayCli, StatusMessagesAndOutputFile) {
    const std::string bad = tempPath("bad.csv"), in = tempPath("in.csv"), out = tempPath("out.csv");
    std::ofstream(bad) << "ax,ay,az,gx,gy,gz\n0,-8192,0,0,0,0\n0,-8192,0,0,0,70000\n";
    std::ofstream(in, std::ios::binary) << "0,0,-8192,0,0,0,0\r\n20,0,-8192,0,0,0,0\r\n";
    const std::string replay = FALL_REPLAY_EXE, synth = FALL_SYNTH_EXE;
    struct Row {
        std::string cmd;
        int status;
        std::string says;  // in the output, if not empty
    };
    const Row rows[] = {
        {replay + " --summary-only " + bad, 1, bad + ":3: value 70000 for gz is outside int16"},
        // -o: one line per sample to the file, the summary to standard output.
        {replay + " -o " + out + " " + in, 0, "2 samples, last at 20 ms; 0 positive results"},
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
    std::ifstream f(out);
    const std::string written{std::istreambuf_iterator<char>(f), {}};
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3) << written;
    EXPECT_EQ(written.rfind("index,time_ms,ax,ay,az,", 0), 0u) << written;
    EXPECT_NE(written.find("\n0,0,0,-8192,0,0,0,0,100,"), std::string::npos) << written;
    EXPECT_NE(written.find("\n1,20,0,-8192,"), std::string::npos) << written;
}

}  // namespace
