// Module tests of the device image's storage: the real modules of Core/ run
// in-process on a simulated board whose persistent state lives in a temporary
// board directory, one power cycle per run. Every test runs in a process of its
// own (gtest_discover_tests), so the modules' state starts as after a reset.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "board_dir.h"
#include "exflash_format.h"
#include "fixture_fw.h"
#include "program_runs.h"
#include "sim/board.h"

// A log position compares and prints whole (block/sector/page/count).
inline bool operator==(const exflash_info &a, const exflash_info &b) {
    return a.block == b.block && a.sector == b.sector && a.page == b.page && a.count == b.count;
}
inline std::ostream &operator<<(std::ostream &o, const exflash_info &i) {
    return o << i.block << '/' << i.sector << '/' << i.page << '/' << i.count;
}

namespace ks {

constexpr sim::Time kMs = 1000000;

// The board as the device brings it up for its storage: pins, QUADSPI at 187.5 kHz,
// the console port with its circular receive DMA, the RTC on the LSE.
void bring_up();
// bring_up, the external flash set up (W25Q_Init) and the calendar set to
// 2024-03-01 09:30:00.
void bring_up_storage();

// A board of the test's own, and the chip's bytes written between power cycles.
class Board : public fixture::BoardTest {
  public:
    void put(uint32_t addr, const std::vector<uint8_t> &bytes);
    void put(uint32_t addr, const void *data, size_t n);
    // A two-sector log sector: flags (one byte per slot) and records.
    void put_flags(uint32_t sector, const std::vector<uint8_t> &flags);
    void put_dnt(uint32_t sector, uint32_t slot, const sys_dnt_data &d);
};

using programs::lines;  // the lines of a console capture (CR LF ends)

}  // namespace ks
