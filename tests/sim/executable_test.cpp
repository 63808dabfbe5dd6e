// The demo firmware's simulator executable run as a program: determinism, exit
// statuses and refusal of bad input without touching the board directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path scratch(const std::string &name) {
    fs::path d = fs::path(SIM_TEST_TMP) / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

struct Exec {
    int status;
    std::string out, err;
};

Exec run_demo(const std::string &args, const fs::path &dir) {
    const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    const std::string cmd =
        std::string(DEMO_FW_EXE) + " " + args + " >" + out.string() + " 2>" + err.string();
    const int raw = std::system(cmd.c_str());
    Exec e{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    return e;
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
    // The tick toggles the heartbeat pin every 10 ms from the first update on: 4 s
    // of 10 ms ticks, the one at exactly 4 s not run. The updates are exactly 10 ms
    // apart; each toggle follows its update by the HAL calls of the handler.
    std::vector<long long> toggles, ticks;
    std::istringstream lines(ta);
    for (std::string line; std::getline(lines, line);) {
        const long long t = std::stoll(line.substr(5, line.find(',') - 5));
        if (line.find("\"type\":\"pin\",\"pin\":\"PA11\"") != std::string::npos)
            toggles.push_back(t);
        if (line.find("\"type\":\"irq_enter\",\"irq\":\"TIM7\"") != std::string::npos)
            ticks.push_back(t);
    }
    ASSERT_EQ(toggles.size(), 399u);
    ASSERT_EQ(ticks.size(), 399u);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        if (i > 0) {
            ASSERT_EQ(ticks[i] - ticks[i - 1], 10000000);
        }
        ASSERT_GT(toggles[i], ticks[i]);
        ASSERT_LT(toggles[i], ticks[i] + 1000);
    }
}

TEST(Executable, MalformedScenarioIsRefusedWithItsLineAndTheBoardIsUntouched) {
    const fs::path d = scratch("bad-scenario");
    const std::string board = (d / "board").string();
    const std::string good = std::string(SCENARIO_DIR) + "/demo.scn";
    ASSERT_EQ(run_demo("--board " + board + " --scenario " + good, d).status, 0);
    const auto before = snapshot(d / "board");
    ASSERT_FALSE(before.empty());

    {
        std::ofstream bad(d / "bad.scn");
        bad << "version 1\nlength 2s\nat 100ms console \"ok\"\nat 200ms frobnicate 3\n";
    }
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

TEST(Executable, BadCommandLinesAndBoardDirectoriesAreBadInput) {
    const fs::path d = scratch("bad-args");
    const std::string scn = std::string(SCENARIO_DIR) + "/demo.scn";
    EXPECT_EQ(run_demo("--scenario " + scn, d).status, 2);  // no board
    EXPECT_EQ(
        run_demo("--board " + (d / "b").string() + " --scenario " + scn + " --pace -1", d).status,
        2);
    EXPECT_EQ(run_demo("--board " + (d / "b").string() + " --scenario " + scn + " --console tty", d)
                  .status,
              2);
    // A non-empty directory that is not a board directory is refused.
    fs::create_directories(d / "notaboard");
    std::ofstream(d / "notaboard" / "precious.txt") << "keep me";
    const Exec e = run_demo("--board " + (d / "notaboard").string() + " --scenario " + scn, d);
    EXPECT_EQ(e.status, 2);
    EXPECT_EQ(slurp(d / "notaboard" / "precious.txt"), "keep me");
    // An output file that cannot be written: refused before the board exists.
    const Exec t = run_demo("--board " + (d / "b2").string() + " --scenario " + scn + " --trace " +
                                (d / "no-such-dir" / "t.jsonl").string(),
                            d);
    EXPECT_EQ(t.status, 2);
    EXPECT_FALSE(fs::exists(d / "b2"));
    const Exec h = run_demo("--help", d);
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("--scenario FILE"), std::string::npos);
}

TEST(Executable, RunEndsAtTheScenarioLength) {
    const fs::path d = scratch("short");
    {
        std::ofstream s(d / "short.scn");
        s << "version 1\nlength 5ms\n";
    }
    const Exec e =
        run_demo("--board " + (d / "b").string() + " --scenario " + (d / "short.scn").string(), d);
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_NE(e.err.find("run length:   0.005000000 s"), std::string::npos) << e.err;
}

// The console on a pseudo-terminal, paced to real time: what is typed there is
// received by the firmware (the demo echoes it) and its output comes back.
TEST(Executable, ConsoleOnAPseudoTerminalTakesTypedBytesAndShowsOutput) {
    const fs::path d = scratch("pty");
    {
        std::ofstream s(d / "pty.scn");
        s << "version 1\nlength 2500ms\n";
    }
    int err_pipe[2];
    ASSERT_EQ(pipe(err_pipe), 0);
    const std::string board = (d / "b").string(), scn = (d / "pty.scn").string();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(err_pipe[1], 2);
        close(err_pipe[0]);
        execl(DEMO_FW_EXE, DEMO_FW_EXE, "--board", board.c_str(), "--scenario", scn.c_str(),
              "--console", "pty", "--pace", "1", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(err_pipe[1]);
    // First line on stderr: "console on /dev/pts/N".
    std::string first;
    char c;
    while (read(err_pipe[0], &c, 1) == 1 && c != '\n') first += c;
    ASSERT_EQ(first.rfind("console on ", 0), 0u) << first;
    const std::string path = first.substr(11);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << path;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    std::string seen;
    auto read_until = [&](const std::string &text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline &&
               seen.find(text) == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buf[256];
                const ssize_t n = read(fd, buf, sizeof buf);
                if (n <= 0)
                    break;
                seen.append(buf, static_cast<std::size_t>(n));
            }
        }
    };
    // Typed once the firmware is surely up (bytes before its reception starts are
    // lost): after its first uptime line, one second into the run.
    read_until("uptime 00001 s\r\n");
    ASSERT_EQ(write(fd, "hi\r", 3), 3);
    read_until("uptime 00002 s");
    close(fd);
    int status = 0;
    waitpid(pid, &status, 0);
    close(err_pipe[0]);
    EXPECT_NE(seen.find("uptime 00001 s\r\nhi\r"), std::string::npos) << seen;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Executable, InterruptedRunStillWritesSummaryAndTrace) {
    const fs::path d = scratch("interrupted");
    {
        std::ofstream s(d / "long.scn");
        s << "version 1\nlength 600s\n";
    }
    const std::string board = (d / "b").string(), scn = (d / "long.scn").string(),
                      trace = (d / "t.jsonl").string(), err = (d / "err.txt").string();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(DEMO_FW_EXE, DEMO_FW_EXE, "--board", board.c_str(), "--scenario", scn.c_str(),
              "--trace", trace.c_str(), "--pace", "1", static_cast<char *>(nullptr));
        _exit(127);
    }
    usleep(400000);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
    EXPECT_NE(slurp(err).find("ended:        interrupted"), std::string::npos) << slurp(err);
    const std::string t = slurp(trace);
    EXPECT_NE(t.find("\"type\":\"summary\""), std::string::npos);
}

}  // namespace
