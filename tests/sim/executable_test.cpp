// The demo firmware's simulator executable run as a program: determinism, a bad
// scenario refused without touching the board directory, and the script that
// builds and runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "program_runs.h"

namespace {

using namespace programs;

Exec run_demo(const std::string &args, const fs::path &dir) {
    return run(std::string(DEMO_FW_EXE) + " " + args, dir);
}

// Every file under `dir` with its size, modification time and content.
std::map<std::string, std::string> snapshot(const fs::path &dir) {
    std::map<std::string, std::string> m;
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
        struct stat st {};
        ::stat(e.path().c_str(), &st);
        std::string v = std::to_string(st.st_size) + "@" + std::to_string(st.st_mtim.tv_sec) + "." +
                        std::to_string(st.st_mtim.tv_nsec);
        if (e.is_regular_file() && st.st_size < (1 << 20))
            v += ":" + slurp(e.path());
        m[fs::relative(e.path(), dir).string()] = v;
    }
    return m;
}

std::size_t occurrences(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

TEST(Executable, SameScenarioTwiceGivesByteIdenticalTraces) {
    const fs::path d = scratch("determinism");
    const std::string scn = std::string(SCENARIO_DIR) + "/demo.scn";
    const Exec a =
        run_demo("--board " + (d / "board").string() + " --scenario " + scn + " --trace " +
                     (d / "a.jsonl").string() + " --phone-out " + (d / "phone.txt").string(),
                 d);
    const Exec b = run_demo("--board " + (d / "board").string() + " --scenario " + scn +
                                " --trace " + (d / "b.jsonl").string(),
                            d);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    const std::string ta = slurp(d / "a.jsonl"), tb = slurp(d / "b.jsonl");
    EXPECT_GT(ta.size(), 10000u);
    EXPECT_EQ(ta, tb);
    EXPECT_EQ(a.out, b.out);
    // The console shows the banner, the uptime lines and the echo of what was typed.
    EXPECT_NE(a.out.find("demo firmware\r\n"), std::string::npos);
    EXPECT_NE(a.out.find("uptime 00003 s\r\n"), std::string::npos);
    EXPECT_NE(a.out.find("show "), std::string::npos);  // the echo, interleaved with an uptime line
    EXPECT_NE(a.out.find("rtc\r"), std::string::npos);
    EXPECT_NE(a.err.find("ended:        completed"), std::string::npos) << a.err;
    EXPECT_NE(a.err.find("irq TIM7"), std::string::npos);
    EXPECT_TRUE(fs::exists(d / "phone.txt"));
    // The tick toggles the heartbeat pin every 10 ms: 4 s of 10 ms ticks, the one at
    // exactly 4 s not run.
    EXPECT_EQ(occurrences(ta, "\"type\":\"pin\",\"pin\":\"PA11\""), 399u);
    EXPECT_EQ(occurrences(ta, "\"type\":\"irq_enter\",\"irq\":\"TIM7\""), 399u);
}

TEST(Executable, MalformedScenarioIsRefusedWithItsLineAndTheBoardIsUntouched) {
    const fs::path d = scratch("bad-scenario");
    const std::string board = (d / "board").string();
    const std::string good = std::string(SCENARIO_DIR) + "/demo.scn";
    ASSERT_EQ(run_demo("--board " + board + " --scenario " + good, d).status, 0);
    const auto before = snapshot(d / "board");
    ASSERT_FALSE(before.empty());

    write(d / "bad.scn", "version 1\nlength 2s\nat 100ms console \"ok\"\nat 200ms frobnicate 3\n");
    const Exec e = run_demo("--board " + board + " --scenario " + (d / "bad.scn").string(), d);
    EXPECT_EQ(e.status, 2);
    EXPECT_NE(e.err.find("bad.scn:4:"), std::string::npos) << e.err;
    EXPECT_EQ(snapshot(d / "board"), before);

    // A board directory that does not exist yet is not created for a bad scenario.
    const Exec f = run_demo(
        "--board " + (d / "fresh").string() + " --scenario " + (d / "bad.scn").string(), d);
    EXPECT_EQ(f.status, 2);
    EXPECT_FALSE(fs::exists(d / "fresh"));
}

// scripts/run.sh takes relative paths from the caller's directory, and --board and
// --scenario replace its defaults.
TEST(Executable, RunScriptTakesRelativePathsFromTheCallersDirectory) {
    const fs::path d = scratch("run-sh");
    fs::create_directories(d / "sub");
    write(d / "sub" / "short.scn", "version 1\nlength 5ms\n");
    const Exec e = run("cd " + d.string() + " && FIRMWARE=" + DEMO_FW_EXE + " " + RUN_SH +
                           " --scenario sub/short.scn --board sub/board --trace sub/t.jsonl",
                       d);
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_NE(e.err.find("run length:   0.005000000 s"), std::string::npos) << e.err;
    EXPECT_EQ(e.out, "demo firmware\r\n");
    EXPECT_TRUE(fs::exists(d / "sub" / "board" / "board.txt"));
    EXPECT_NE(slurp(d / "sub" / "t.jsonl").find("\"type\":\"summary\""), std::string::npos);
}

}  // namespace
