#include "logger.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace mfw {

std::string activity(const fs::path &dir, const std::string &program) {
    const fs::path out = dir / "motion.csv";
    const std::string cmd = std::string(FALL_SYNTH) + " --variant --activity '" + program +
                            "' -o " + out.string();
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
        out.push_back({static_cast<int>(d.value(*r, "block")),
                       static_cast<int>(d.value(*r, "num"))});
    return out;
}

long long decoded(const fs::path &board, const std::string &key) {
    const fs::path out = board.parent_path() / "decoded.json";
    const std::string cmd = std::string(FLASH_DECODE) + " --json " + board.string() + " >" +
                            out.string();
    if (std::system(cmd.c_str()) != 0)
        return -1;
    std::ifstream in(out);
    std::stringstream s;
    s << in.rdbuf();
    const std::string k = "\"" + key + "\":", text = s.str();
    const std::size_t at = text.find(k);
    return at == std::string::npos ? -1 : std::stoll(text.substr(at + k.size()));
}

bool follows(int prev, int next) {
    if (next == 7777 || next == 5555 || next == 1234)
        return true;
    if (prev >= 1000)
        return next == 0;
    return next == prev + 1;
}

}  // namespace mfw
