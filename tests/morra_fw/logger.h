// What the data logger's tests add to the device image's support: recordings made
// with fall_synth, the board's NOR bytes, the sample log as the decoder lists it.
#pragma once

#include <string>
#include <vector>

#include "support.h"

namespace mfw {

using namespace kfw;

// A recording in the data logger's sensor frame for an activity program.
std::string activity(const fs::path &dir, const std::string &program);
// Writes one byte of the NOR chip into the board directory (stored bit-inverted).
void poke_nor(const fs::path &board, long long addr, unsigned char byte);
// The 64 KB blocks the run erased, in order.
std::vector<int> erased_blocks(const Result &r);
// The stamps of the sample log's records, blocks first..last as read-back lists them.
struct Sample {
    int block;
    int num;
};
std::vector<Sample> samples(const fs::path &board, int first, int last);
// Whether `next` may follow `prev` in the stamp sequence (0..1000, then the markers
// 7777, 5555 and 1234, after which it starts again at 0).
bool follows(int prev, int next);

}  // namespace mfw
