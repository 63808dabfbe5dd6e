// The board directory: everything a simulated board keeps across power cycles.
//
// One simulator process is one power cycle. Whatever the hardware would keep
// without power lives in a directory on the host, so running again on the same
// directory is the next power-up:
//
//   board.txt      marker and layout version (2; a version 1 directory is
//                  upgraded in place when opened), and the name of the firmware
//                  image that last ran on the board
//   nor.img        external NOR flash, 32 MiB, sparse, stored BIT-INVERTED so that
//                  holes (never-written ranges) read as erased 0xFF
//   nor-state.txt  the NOR chip's status register bits and, when the chip kept its
//                  supply (standby, reset), its address mode, write enable latch and
//                  power-down state (text, versioned)
//   intflash.bin   microcontroller internal flash, 256 KiB, stored as is,
//                  created erased (0xFF)
//   backup.txt     RTC backup domain: 32 backup registers, calendar counters and
//                  the position within the second, prescalers, the LSE and RTC
//                  clock set-up, and the virtual time of the save (text, versioned)
//
// While open, the directory itself is locked (flock) so that two simulators
// cannot use the same board at once. Details in docs/board-directory.md.
//
// Both flash images are mapped MAP_SHARED: every byte a model stores is in the
// file the moment it is stored, so ending the process at any instant leaves
// exactly what had been programmed. The accessors work on single bytes, so a
// model can leave an interrupted program or erase partly done. The text files
// are saved by the simulator when a run ends, however it ends.
//
// open() checks everything before it changes anything: a file of the wrong
// size or kind is refused with a message naming it, and nothing in the
// directory is touched. The simulator's main() loads the scenario first
// (load_scenario) and opens the board directory only when that succeeded.
//
// open_in_memory() gives a board of the same shape that lives only in memory
// (runs without --board: unit tests, benchmarks).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

// RTC backup domain as kept between runs. Defaults are the chip's state after
// a backup-domain power-up: registers zero, calendar 2000-01-01 (a Monday)
// 00:00:00 and not initialised (the chip's INITS flag is "year not 0"),
// prescalers 127/255, LSE off and no RTC clock.
struct BackupDomain {
    static constexpr std::size_t kRegisterCount = 32;
    // RCC_BDCR bits that live in the backup domain: LSEON, LSEBYP, LSEDRV,
    // LSECSSON, RTCSEL, RTCEN, LSCOEN, LSCOSEL.
    static constexpr std::uint32_t kBdcrKeptBits = 0x0300833Du;

    std::array<std::uint32_t, kRegisterCount> bkp{};  // RTC_BKP0R .. RTC_BKP31R

    // Calendar counters in plain binary (not BCD).
    std::uint8_t year = 0;     // 0..99, years since 2000
    std::uint8_t month = 1;    // 1..12
    std::uint8_t day = 1;      // 1..31, and a day that exists in that month
    std::uint8_t weekday = 1;  // 1 (Monday) .. 7 (Sunday)
    std::uint8_t hours = 0;    // 0..23
    std::uint8_t minutes = 0;  // 0..59
    std::uint8_t seconds = 0;  // 0..59
    // Time since the calendar's current second began (the subsecond register is
    // derived from it), below second_ns().
    std::uint64_t subsecond_ns = 0;
    std::uint32_t prediv_a = 127;  // asynchronous prescaler, 0..127
    std::uint32_t prediv_s = 255;  // synchronous prescaler, 0..32767
    bool hour_format_12 = false;   // FMT bit; the calendar counters above are always 0..23
    std::uint32_t rcc_bdcr = 0;    // kBdcrKeptBits only

    std::uint64_t saved_at_ns = 0;  // virtual time of the run that saved this state

    // Length of one calendar second in nanoseconds: (prediv_a + 1)(prediv_s + 1)
    // cycles of the 32.768 kHz LSE, rounded up.
    std::uint64_t second_ns() const;

    bool operator==(const BackupDomain &other) const;
    bool operator!=(const BackupDomain &other) const { return !(*this == other); }
};

// The external NOR flash chip's register state as kept between runs. The status
// registers hold only their non-volatile bits (the others read as 0 here); the
// rest is the volatile state the chip will have at the next start: the power-up
// state (address mode from ADP, latch clear, not powered down) unless the chip
// kept its supply when the last run ended. A fresh chip has status registers
// 0x00, 0x00, 0x60: quad lines disabled, 3-byte address mode at power-up, output
// driver at its default strength.
struct NorState {
    static constexpr std::uint8_t kStatus1Bits = 0x7C;  // TB, BP3..BP0
    static constexpr std::uint8_t kStatus2Bits = 0x7B;  // CMP, LB3..LB1, QE, SRL
    static constexpr std::uint8_t kStatus3Bits = 0x66;  // DRV1, DRV0, WPS, ADP
    static constexpr std::uint8_t kAdp = 0x02;          // status 3: 4-byte mode at power-up

    std::uint8_t status1 = 0x00;
    std::uint8_t status2 = 0x00;
    std::uint8_t status3 = 0x60;
    bool four_byte = false;     // ADS: current address mode is 4-byte
    bool write_enable = false;  // WEL
    bool power_down = false;    // in deep power-down (released by 0xAB)

    // The volatile state of a chip that has just been powered up.
    void power_up() {
        four_byte = (status3 & kAdp) != 0;
        write_enable = false;
        power_down = false;
    }

    bool operator==(const NorState &o) const;
    bool operator!=(const NorState &o) const { return !(*this == o); }
};

class BoardDir {
  public:
    static constexpr std::size_t kNorSize = 32u * 1024 * 1024;
    static constexpr std::size_t kNorSectorSize = 4096;
    static constexpr std::size_t kIntFlashSize = 256u * 1024;
    static constexpr std::size_t kIntFlashPageSize = 2048;

    static constexpr const char *kMarkerFile = "board.txt";
    static constexpr const char *kNorFile = "nor.img";
    static constexpr const char *kIntFlashFile = "intflash.bin";
    static constexpr const char *kBackupFile = "backup.txt";
    static constexpr const char *kNorStateFile = "nor-state.txt";

    BoardDir() = default;
    ~BoardDir();
    BoardDir(const BoardDir &) = delete;
    BoardDir &operator=(const BoardDir &) = delete;

    // Opens (creating on first use) the board directory at `path`.
    // Creation: a missing directory is created (with missing parents); an
    // existing empty directory is adopted. A non-empty directory without
    // board.txt is refused, so a mistyped path cannot litter someone's files.
    // Missing images or state files inside a board directory are created in
    // their erased / power-up state; a layout version 1 directory is upgraded.
    // Returns false with a message in `error` and changes nothing on disk when
    // any check fails. Calling open() on an already open BoardDir fails.
    bool open(const std::string &path, std::string &error);

    // A fresh erased board that lives in memory only: the same accessors, and
    // saves that go nowhere.
    bool open_in_memory(std::string &error);

    // Unmaps and releases the directory (the destructor does the same). Data
    // is already in the images; close() does not save the text files.
    void close();

    bool is_open() const { return nor_raw_ != nullptr; }

    // The firmware image that last ran on this board (empty: none named yet). The
    // two images give the same flash areas different meanings, so the simulator
    // refuses a run with the other one unless told to (docs/board-directory.md).
    const std::string &image() const { return image_; }
    // Records the image in board.txt (atomically).
    bool set_image(const std::string &image, std::string &error);
    bool in_memory() const { return is_open() && path_.empty(); }
    const std::string &path() const { return path_; }

    // ---- External NOR flash (addresses 0 .. kNorSize-1) ----
    // Values are the chip's logical values; the bit inversion is hidden here.
    // Out-of-range accesses return false (reads fill nothing) and change nothing.
    std::uint8_t nor_get(std::uint32_t addr) const;  // 0xFF when out of range
    bool nor_read(std::uint32_t addr, std::uint8_t *out, std::size_t n) const;
    // Stores an arbitrary logical value: the primitive for cells left partly
    // programmed or partly erased by an interrupted operation.
    bool nor_set(std::uint32_t addr, std::uint8_t value);
    // Programming can only clear bits: cell = cell & data.
    bool nor_program(std::uint32_t addr, const std::uint8_t *data, std::size_t n);
    // Sets the range to 0xFF. Whole aligned 4 KiB sectors are returned to the
    // file system as holes where it supports that, so the image stays sparse.
    bool nor_erase(std::uint32_t addr, std::size_t n);
    // The mapping itself, bit-inverted (raw = ~logical), kNorSize bytes.
    std::uint8_t *nor_raw() { return nor_raw_; }
    const std::uint8_t *nor_raw() const { return nor_raw_; }

    // ---- Internal flash (offsets 0 .. kIntFlashSize-1 from 0x08000000) ----
    // Stored as is; erased bytes are 0xFF. The models write through the pointer.
    std::uint8_t *intflash() { return intflash_; }
    const std::uint8_t *intflash() const { return intflash_; }
    // Sets whole pages (kIntFlashPageSize) to 0xFF; false when out of range.
    bool intflash_erase_pages(std::uint32_t first_page, std::uint32_t count);
    // The image's file, for a second mapping at the chip's address.
    int intflash_fd() const { return intflash_fd_; }

    // ---- External NOR chip registers ----
    const NorState &nor_state() const { return nor_state_; }
    // Writes nor-state.txt atomically; refuses bits that are not kept.
    bool save_nor_state(const NorState &state, std::string &error);
    static std::string format_nor_state(const NorState &state);
    static bool parse_nor_state(const std::string &text, const std::string &name, NorState &out,
                                std::string &error);

    // ---- RTC backup domain ----
    // The state read at open() (power-up defaults when the file was created).
    const BackupDomain &backup_domain() const { return backup_; }
    // Writes the state to backup.txt atomically (a new file renamed over the
    // old one, so a cut mid-save leaves the old or the new state, never a
    // mix). Refuses out-of-range fields. On success backup_domain() returns
    // the saved state.
    bool save_backup_domain(const BackupDomain &state, std::string &error);

    // Text form of the backup domain as stored in backup.txt, and its strict
    // parser (used by open(); exposed for tools and tests), which also reads
    // the format of layout version 1. `name` prefixes messages as
    // "<name>:<line>: <message>".
    static std::string format_backup_domain(const BackupDomain &state);
    static bool parse_backup_domain(const std::string &text, const std::string &name,
                                    BackupDomain &out, std::string &error);
    // Range check shared by the parser and save_backup_domain.
    static bool check_backup_domain(const BackupDomain &state, std::string &error);

  private:
    std::string path_;
    int lock_fd_ = -1;
    int nor_fd_ = -1;
    int intflash_fd_ = -1;
    std::uint8_t *nor_raw_ = nullptr;
    std::uint8_t *intflash_ = nullptr;
    BackupDomain backup_;
    NorState nor_state_;
    std::string image_;
};

}  // namespace sim
