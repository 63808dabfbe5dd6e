// Helpers of the tests that run programs (simulator executables, tools): files in a
// scratch directory of the build (TEST_TMP_DIR), and a command run with its output
// captured.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace programs {

namespace fs = std::filesystem;

inline std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// An empty directory of its own for one test.
inline fs::path scratch(const std::string &name) {
    const fs::path d = fs::path(TEST_TMP_DIR) / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

// A console capture's lines (CR LF ends; the last line may lack one).
inline std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

inline std::string write(const fs::path &p, const std::string &text) {
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
}

struct Exec {
    int status;  // exit status, -1 when killed by a signal
    std::string out, err;
};

// Runs a shell command with its stdout and stderr captured in files in `dir`.
inline Exec run(const std::string &command, const fs::path &dir) {
    const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
    const int raw =
        std::system(("(" + command + ") >" + out.string() + " 2>" + err.string()).c_str());
    return Exec{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

}  // namespace programs
