#include "logger.h"

#include <cstdlib>
#include <fstream>

namespace mfw {

std::string activity(const fs::path &dir, const std::string &program) {
    const fs::path out = dir / "motion.csv";
    const std::string cmd =
        std::string(FALL_SYNTH) + " --variant --activity '" + program + "' -o " + out.string();
    if (std::system(cmd.c_str()) != 0)
        return "";
    return out.string();
}

void poke_nor(const fs::path &board, long long addr, unsigned char byte) {
    std::fstream f(board / "nor.img", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(addr);
    f.put(static_cast<char>(byte ^ 0xFF));
}

std::vector<int> erased_blocks(const Result &r) {
    std::vector<int> out;
    for (const Record *e : r.of("nor_erase"))
        if (e->num("size") == 65536)
            out.push_back(static_cast<int>(e->num("addr") / 65536));
    return out;
}

std::vector<Sample> samples(const fs::path &board, int first, int last) {
    const Decoded d = decode(board, first, last);
    std::vector<Sample> out;
    for (const Row *r : d.log("samples"))
        out.push_back(
            {static_cast<int>(d.value(*r, "block")), static_cast<int>(d.value(*r, "num"))});
    return out;
}

bool follows(int prev, int next) {
    if (next == 7777 || next == 5555 || next == 1234)
        return true;
    if (prev >= 1000)
        return next == 0;
    return next == prev + 1;
}

}  // namespace mfw
