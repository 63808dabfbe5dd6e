#include "fall_replay/EngineChoice.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fall_replay/Observe.h"

namespace fall_replay {

int chooseEngine(const char *tool, int &argc, char **&argv) {
    if (argc < 2 || std::strcmp(argv[1], "--variant") != 0)
        return -1;
    if (isVariantEngine()) {
        for (int i = 1; i + 1 < argc; ++i) argv[i] = argv[i + 1];
        argv[--argc] = nullptr;
        return -1;
    }
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        std::fprintf(stderr, "%s: cannot find its own program: %s\n", tool, std::strerror(errno));
        return 2;
    }
    self[n] = '\0';
    std::string path = std::string(self) + "_variant";
    std::vector<char *> args{&path[0]};
    for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execv(path.c_str(), args.data());
    std::fprintf(stderr, "%s: cannot run %s: %s\n", tool, path.c_str(), std::strerror(errno));
    return 2;
}

}  // namespace fall_replay
