// The board directory: everything a simulated board keeps across power cycles.
//
// One simulator process is one power cycle. Whatever the hardware would keep
// without power lives in a directory on the host, so running again on the same
// directory is a reset after power loss:
//
//   board.txt     marker and layout version
//   nor.img       external NOR flash, 32 MiB, sparse, stored BIT-INVERTED so that
//                 holes (never-written ranges) read as erased 0xFF
//   intflash.bin  microcontroller internal flash, 256 KiB, stored as is,
//                 created erased (0xFF)
//   backup.txt    RTC backup domain: 32 backup registers, calendar counters,
//                 whether the calendar was initialised, and the virtual time
//                 of the save (text, versioned)
//
// While open, the directory itself is locked (flock) so that two simulators
// cannot use the same board at once. Details in docs/board-directory.md.
//
// Both flash images are mapped MAP_SHARED: every byte a model stores is in the
// file the moment it is stored, so ending the process at any instant (a power
// cut) leaves exactly what had been programmed. The accessors work on single
// bytes, so a model can leave an interrupted program or erase partly done.
//
// open() checks everything before it changes anything: a file of the wrong
// size or kind is refused with a message naming it, and nothing in the
// directory is touched. The simulator's main() loads the scenario first
// (load_scenario) and opens the board directory only when that succeeded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

// RTC backup domain as kept between runs. Defaults are the chip's state after
// a backup-domain power-up: registers zero, calendar not initialised,
// 2000-01-01 (a Monday) 00:00:00, prescalers 127/255.
struct BackupDomain {
    static constexpr std::size_t kRegisterCount = 32;

    std::array<std::uint32_t, kRegisterCount> bkp{};  // RTC_BKP0R .. RTC_BKP31R

    bool rtc_initialised = false;  // calendar was set since the backup domain powered up
    // Calendar counters in plain binary (not BCD).
    std::uint8_t year = 0;     // 0..99, years since 2000
    std::uint8_t month = 1;    // 1..12
    std::uint8_t day = 1;      // 1..31, and a day that exists in that month
    std::uint8_t weekday = 1;  // 1 (Monday) .. 7 (Sunday)
    std::uint8_t hours = 0;    // 0..23
    std::uint8_t minutes = 0;  // 0..59
    std::uint8_t seconds = 0;  // 0..59
    // Synchronous prescaler counter (RTC_SSR): counts down from prediv_s to 0
    // within each second.
    std::uint32_t subseconds = 255;
    std::uint32_t prediv_a = 127;  // asynchronous prescaler, 0..127
    std::uint32_t prediv_s = 255;  // synchronous prescaler, 0..32767; subseconds <= prediv_s
    bool hour_format_12 = false;   // FMT bit; the calendar counters above are always 0..23

    std::uint64_t saved_at_ns = 0;  // virtual time of the run that saved this state

    bool operator==(const BackupDomain &other) const;
    bool operator!=(const BackupDomain &other) const { return !(*this == other); }
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

    BoardDir() = default;
    ~BoardDir();
    BoardDir(const BoardDir &) = delete;
    BoardDir &operator=(const BoardDir &) = delete;

    // Opens (creating on first use) the board directory at `path`.
    // Creation: a missing directory is created (with missing parents); an
    // existing empty directory is adopted. A non-empty directory without
    // board.txt is refused, so a mistyped path cannot litter someone's files.
    // Missing images or backup file inside a board directory are created in
    // their erased / power-up state.
    // Returns false with a message in `error` and changes nothing on disk when
    // any check fails. Calling open() on an already open BoardDir fails.
    bool open(const std::string &path, std::string &error);

    // Unmaps and releases the directory (the destructor does the same). Data
    // is already in the files; close() does not save the backup domain.
    void close();

    bool is_open() const { return nor_raw_ != nullptr; }
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

    // ---- RTC backup domain ----
    // The state read at open() (power-up defaults when the file was created).
    const BackupDomain &backup_domain() const { return backup_; }
    // Writes the state to backup.txt atomically (a new file renamed over the
    // old one, so a cut mid-save leaves the old or the new state, never a
    // mix). Refuses out-of-range fields. On success backup_domain() returns
    // the saved state.
    bool save_backup_domain(const BackupDomain &state, std::string &error);

    // Text form of the backup domain as stored in backup.txt, and its strict
    // parser (used by open(); exposed for tools and tests). `name` prefixes
    // messages as "<name>:<line>: <message>".
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
};

}  // namespace sim
