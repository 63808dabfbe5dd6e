// Installation and power-off of the individual storage models, called by the
// storage rig (sim/storage.h).
#pragma once

#include <string>

#include "sim/storage.h"

namespace sim {

// Internal flash and the system memory page at their chip addresses; FLASH
// registers at their reset values.
bool install_internal_flash(Board &b, StorageRig &rig, std::string &error);
// QUADSPI and the NOR chip, in the state the board directory kept.
void install_nor(Board &b, StorageRig &rig);
void install_qspi(Board &b);
// RTC and backup domain (with RCC_BDCR), the calendar advanced by the time the
// board stayed without power.
void install_rtc(Board &b, StorageRig &rig, Time unpowered_ns);

// Saves the NOR chip's registers: its volatile state as it is when the chip kept
// its supply, else as after a power-up.
bool nor_save(Board &b, bool supply_kept, std::string &error);
// Saves the backup domain as of now.
bool rtc_save(Board &b, std::string &error);

}  // namespace sim

namespace sim {

// One QUADSPI frame as the NOR chip sees it: each phase's width and line count.
struct QspiFrame {
    bool has_instruction = false;
    std::uint8_t instruction = 0;
    unsigned instruction_lines = 0;
    unsigned address_bits = 0;  // 0: no address phase
    unsigned address_lines = 0;
    std::uint32_t address = 0;
    unsigned alternate_bits = 0;
    unsigned dummy_cycles = 0;
    unsigned data_lines = 0;  // 0: no data phase
    bool read = false;        // data from the chip
    std::uint32_t nbytes = 0;
};

// The chip's side of a frame at time `at`: for a read, the moment its data phase
// starts (the chip fills `rx` with nbytes bytes); otherwise the moment chip select
// rises (`tx` holds the data sent, if any).
void nor_frame(const QspiFrame &f, const std::uint8_t *tx, std::uint8_t *rx, Time at);

}  // namespace sim
