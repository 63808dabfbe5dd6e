#include "board_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "../sim/program_runs.h"

namespace {

using namespace programs;
using sim::BackupDomain;
using sim::BoardDir;

// Every file of a directory with its size, modification time and (small files) content:
// what a refused open() must leave as it found it, with nothing added.
std::map<std::string, std::string> listing(const std::string &dir) {
    std::map<std::string, std::string> out;
    for (const auto &e : fs::directory_iterator(dir)) {
        struct stat st {};
        EXPECT_EQ(::lstat(e.path().c_str(), &st), 0);
        std::string &f = out[e.path().filename().string()];
        f = std::to_string(st.st_size) + " bytes, modified " + std::to_string(st.st_mtim.tv_sec) +
            "." + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode) && st.st_size <= 1024 * 1024)
            f += "\n" + slurp(e.path());
    }
    return out;
}

class BoardDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = scratch(::testing::UnitTest::GetInstance()->current_test_info()->name()).string();
        dir_ = root_ + "/board";
    }
    std::string file(const char *name) const { return dir_ + "/" + name; }

    std::string root_;
    std::string dir_;
    BoardDir b_;  // the board under test
    std::string err_;
};

TEST_F(BoardDirTest, FirstUseCreatesAnErasedSparseBoard) {
    ASSERT_TRUE(b_.open(dir_, err_)) << err_;  // parent exists, board/ does not
    ASSERT_TRUE(b_.is_open());
    EXPECT_EQ(b_.path(), dir_);

    struct stat st {};
    ASSERT_EQ(::stat(file(BoardDir::kNorFile).c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), BoardDir::kNorSize);
    EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512, 1024u * 1024)
        << "NOR image is not sparse";
    ASSERT_EQ(::stat(file(BoardDir::kIntFlashFile).c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), BoardDir::kIntFlashSize);

    // Erased (every run on a fresh board reads it, the storage tests byte by byte).
    EXPECT_EQ(b_.nor_get(static_cast<std::uint32_t>(BoardDir::kNorSize - 1)), 0xFF);
    EXPECT_EQ(b_.intflash()[BoardDir::kIntFlashSize - 1], 0xFF);
    EXPECT_EQ(b_.backup_domain(), BackupDomain{});
    EXPECT_EQ(b_.nor_state(), sim::NorState{});
    EXPECT_EQ(slurp(file(BoardDir::kMarkerFile)).rfind("kelda-board-directory 2\n", 0), 0u);
    EXPECT_TRUE(fs::exists(file(BoardDir::kNorStateFile)));
}

// An erase of any range (a power cut leaves part of one) raises exactly that range:
// the whole sectors in it and the unaligned ends around them.
TEST_F(BoardDirTest, NorEraseRaisesExactlyItsRange) {
    ASSERT_TRUE(b_.open(dir_, err_)) << err_;
    const std::vector<std::uint8_t> zeros(3 * 4096, 0x00);
    ASSERT_TRUE(b_.nor_program(0, zeros.data(), zeros.size()));
    ASSERT_TRUE(b_.nor_erase(100, 9000 - 100));  // a whole sector and two part ones
    ASSERT_TRUE(b_.nor_erase(10000, 3));         // inside one sector
    for (std::uint32_t a = 0; a < 3 * 4096; ++a) {
        const bool erased = (a >= 100 && a < 9000) || (a >= 10000 && a < 10003);
        ASSERT_EQ(b_.nor_get(a), erased ? 0xFF : 0x00) << a;
    }
}

// Accesses past either chip's end are refused whole, changing nothing (32-bit page
// arithmetic that would wrap included).
TEST_F(BoardDirTest, OutOfRangeAccessesChangeNothing) {
    ASSERT_TRUE(b_.open(dir_, err_)) << err_;
    const std::uint32_t last = static_cast<std::uint32_t>(BoardDir::kNorSize - 1);
    const std::uint8_t two[] = {0, 0};
    std::uint8_t out[2] = {1, 1};
    EXPECT_FALSE(b_.nor_program(last, two, 2));
    EXPECT_EQ(b_.nor_get(last), 0xFF);
    EXPECT_FALSE(b_.nor_read(last, out, 2));
    EXPECT_FALSE(b_.nor_read(0xFFFFFFFFu, out, 1));
    EXPECT_FALSE(b_.nor_set(static_cast<std::uint32_t>(BoardDir::kNorSize), 0));
    EXPECT_EQ(b_.nor_get(static_cast<std::uint32_t>(BoardDir::kNorSize)), 0xFF);
    EXPECT_TRUE(b_.nor_program(last, two, 1));
    EXPECT_FALSE(b_.nor_erase(last, 2));
    EXPECT_EQ(b_.nor_get(last), 0x00);

    b_.intflash()[BoardDir::kIntFlashSize - 1] = 0;
    EXPECT_FALSE(b_.intflash_erase_pages(127, 2));
    EXPECT_FALSE(b_.intflash_erase_pages(0xFFFFFFFFu, 2));
    EXPECT_EQ(b_.intflash()[BoardDir::kIntFlashSize - 1], 0);
    EXPECT_TRUE(b_.intflash_erase_pages(127, 1));
    EXPECT_EQ(b_.intflash()[BoardDir::kIntFlashSize - 1], 0xFF);
}

// Every field of the backup domain and of the NOR chip's kept state, at its extremes,
// comes back as saved; the data is in the files before the board is closed.
TEST_F(BoardDirTest, StoredDataIsInTheFilesAtOnceAndSurvivesReopening) {
    BackupDomain saved;
    for (std::size_t i = 0; i < BackupDomain::kRegisterCount; ++i)
        saved.bkp[i] = 0x01010101u * static_cast<std::uint32_t>(i) + 7;
    saved.year = 96;  // a leap day
    saved.month = 2;
    saved.day = 29;
    saved.weekday = 3;
    saved.hours = 23;
    saved.minutes = 59;
    saved.seconds = 59;
    saved.subsecond_ns = 999999999;  // (0 + 1)(32767 + 1) LSE cycles: one second exactly
    saved.prediv_a = 0;
    saved.prediv_s = 32767;
    saved.rcc_bdcr = sim::BackupDomain::kBdcrKeptBits;
    saved.hour_format_12 = true;
    saved.saved_at_ns = 0xFFFFFFFFFFFFFFFFULL;
    sim::NorState chip;
    chip.status1 = sim::NorState::kStatus1Bits;
    chip.status2 = sim::NorState::kStatus2Bits;
    chip.status3 = sim::NorState::kStatus3Bits;
    chip.four_byte = true;
    chip.write_enable = true;
    chip.power_down = true;
    ASSERT_TRUE(b_.open(dir_, err_)) << err_;
    const std::uint8_t data[] = {0x12, 0x34};
    ASSERT_TRUE(b_.nor_program(0x01FFFFFE, data, 2));
    b_.intflash()[0x3F000] = 0x42;

    // Before any close or sync, the files already hold the data: a power
    // cut ends the process here.
    const int fd = ::open(file(BoardDir::kNorFile).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::uint8_t raw[2] = {0, 0};
    ASSERT_EQ(::pread(fd, raw, 2, 0x01FFFFFE), 2);
    ::close(fd);
    EXPECT_EQ(raw[0], static_cast<std::uint8_t>(~0x12));
    EXPECT_EQ(raw[1], static_cast<std::uint8_t>(~0x34));
    EXPECT_EQ(static_cast<std::uint8_t>(slurp(file(BoardDir::kIntFlashFile))[0x3F000]), 0x42);

    // An invalid state is not saved, and the old one stays.
    const std::string fresh = slurp(file(BoardDir::kBackupFile));
    BackupDomain bad;
    bad.month = 0;
    EXPECT_FALSE(b_.save_backup_domain(bad, err_));
    EXPECT_NE(err_.find("month 0 out of range"), std::string::npos) << err_;
    EXPECT_EQ(slurp(file(BoardDir::kBackupFile)), fresh);
    EXPECT_EQ(b_.backup_domain(), BackupDomain{});

    ASSERT_TRUE(b_.save_backup_domain(saved, err_)) << err_;
    EXPECT_EQ(b_.backup_domain(), saved);
    ASSERT_TRUE(b_.save_nor_state(chip, err_)) << err_;
    b_.close();
    ASSERT_TRUE(b_.open(dir_, err_)) << err_;
    EXPECT_EQ(b_.nor_get(0x01FFFFFE), 0x12);
    EXPECT_EQ(b_.nor_get(0x01FFFFFF), 0x34);
    EXPECT_EQ(b_.nor_get(0x01FFFFFD), 0xFF);
    EXPECT_EQ(b_.intflash()[0x3F000], 0x42);
    EXPECT_EQ(b_.intflash()[0x3EFFF], 0xFF);
    EXPECT_EQ(b_.backup_domain(), saved);
    EXPECT_EQ(b_.nor_state(), chip);
}

// A board whose files are of the wrong size or kind, or whose backup file is
// corrupt, is refused with the file's name and left as it is.
TEST_F(BoardDirTest, BrokenBoardFilesAreRefusedAndLeftUntouched) {
    const auto size = [](const char *name, off_t bytes) {
        return [name, bytes](const std::string &f) { ASSERT_EQ(::truncate(f.c_str(), bytes), 0); };
    };
    struct Case {
        const char *name;
        std::function<void(const std::string &)> damage;  // given the file's path
        std::string fragment;
    } cases[] = {
        {BoardDir::kIntFlashFile, size(BoardDir::kIntFlashFile, 0), " 0 bytes"},
        {BoardDir::kNorFile, size(BoardDir::kNorFile, BoardDir::kNorSize + 1), "33554432"},
        {BoardDir::kIntFlashFile,
         [](const std::string &f) {
             std::remove(f.c_str());
             ASSERT_EQ(::mkdir(f.c_str(), 0755), 0);
         },
         ": is a directory"},
        {BoardDir::kBackupFile,  // refused without blocking on it
         [](const std::string &f) {
             std::remove(f.c_str());
             ASSERT_EQ(::mkfifo(f.c_str(), 0644), 0);
         },
         ": is not a regular file"},
        {BoardDir::kNorFile,  // not followed to create a file elsewhere
         [this](const std::string &f) {
             std::remove(f.c_str());
             ASSERT_EQ(::symlink((root_ + "/elsewhere.img").c_str(), f.c_str()), 0);
         },
         "symbolic link to nothing"},
        {BoardDir::kBackupFile,
         [](const std::string &f) {
             std::string text = slurp(f);
             text.replace(text.find("bkp7 0x00000000"), 15, "bkp7 0x1234567890");
             write(f, text);
         },
         ":19: bkp7 must be"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(b_.open(dir_, err_)) << err_;
        b_.close();
        c.damage(file(c.name));
        const auto before = listing(dir_);
        EXPECT_FALSE(b_.open(dir_, err_)) << c.fragment;
        EXPECT_FALSE(b_.is_open());
        EXPECT_NE(err_.find(file(c.name)), std::string::npos) << err_;
        EXPECT_NE(err_.find(c.fragment), std::string::npos) << err_;
        EXPECT_NE(err_.find("untouched"), std::string::npos) << err_;
        EXPECT_TRUE(listing(dir_) == before) << c.fragment;
        fs::remove_all(dir_);
    }
    EXPECT_FALSE(fs::exists(root_ + "/elsewhere.img"));
}

TEST_F(BoardDirTest, BadDirectoriesAreRefused) {
    // The path is a regular file.
    write(dir_, "not a directory");
    EXPECT_FALSE(b_.open(dir_, err_));
    EXPECT_EQ(err_, dir_ + ": exists and is not a directory; left untouched");
    EXPECT_EQ(slurp(dir_), "not a directory");

    // A directory cannot be created below a regular file.
    EXPECT_FALSE(b_.open(dir_ + "/sub", err_));
    EXPECT_EQ(err_.rfind(dir_ + "/sub: cannot ", 0), 0u) << err_;
    EXPECT_NE(err_.find("Not a directory"), std::string::npos) << err_;
    std::remove(dir_.c_str());

    // Someone's non-empty directory is not adopted, and nothing is added to it.
    ASSERT_EQ(::mkdir(dir_.c_str(), 0755), 0);
    write(dir_ + "/notes.txt", "mine");
    EXPECT_FALSE(b_.open(dir_, err_));
    EXPECT_NE(err_.find("not a board directory"), std::string::npos) << err_;
    EXPECT_NE(err_.find("notes.txt"), std::string::npos) << err_;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    std::remove((dir_ + "/notes.txt").c_str());

    // A marker of another layout version.
    write(file(BoardDir::kMarkerFile), "kelda-board-directory 3\n");
    EXPECT_FALSE(b_.open(dir_, err_));
    EXPECT_NE(err_.find("first line must be 'kelda-board-directory 2'"), std::string::npos) << err_;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    // An empty directory is adopted.
    std::remove(file(BoardDir::kMarkerFile).c_str());
    EXPECT_TRUE(b_.open(dir_, err_)) << err_;
}

TEST_F(BoardDirTest, OneSimulatorPerBoardAndOneBoardPerObject) {
    ASSERT_TRUE(b_.open(dir_, err_)) << err_;
    BoardDir other;
    EXPECT_FALSE(other.open(dir_, err_));
    EXPECT_EQ(err_, dir_ + ": board directory is in use by another simulator");
    EXPECT_FALSE(b_.open(root_ + "/other", err_));
    EXPECT_FALSE(fs::exists(root_ + "/other"));
    b_.close();
    EXPECT_FALSE(b_.is_open());
    EXPECT_TRUE(other.open(dir_, err_)) << err_;
}

TEST_F(BoardDirTest, CreationCutShortIsCompletedAndKeepsWhatExists) {
    // Only the marker and the internal flash made it to disk.
    ASSERT_EQ(::mkdir(dir_.c_str(), 0755), 0);
    write(file(BoardDir::kMarkerFile), "kelda-board-directory 2\n");
    std::string flash(BoardDir::kIntFlashSize, '\xFF');
    flash[7] = 'K';
    write(file(BoardDir::kIntFlashFile), flash);

    ASSERT_TRUE(b_.open(dir_, err_)) << err_;
    EXPECT_EQ(b_.intflash()[7], 'K');
    EXPECT_EQ(b_.nor_get(7), 0xFF);
    EXPECT_TRUE(fs::exists(file(BoardDir::kBackupFile)));
}

TEST(BackupDomainText, RefusesMissingDuplicateAndOutOfRangeFields) {
    const std::string good = BoardDir::format_backup_domain(BackupDomain{});
    auto with = [&](const std::string &from, const std::string &to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);  // throws, failing the test, if not found
        return t;
    };
    struct Case {
        std::string text;
        const char *fragment;
    } cases[] = {
        {"", "empty"},
        {with("kelda-backup-domain 2", "kelda-backup-domain 3"),
         "expected 'kelda-backup-domain 2' first"},
        {with("bkp31 0x00000000\n", ""), "missing 'bkp31'"},
        {good + "bkp3 0x00000001\n", "duplicate 'bkp3'"},
        {good + "bkp32 0x00000001\n", "unknown key 'bkp32'"},
        {with("date 2000-01-01", "date 2023-02-29"), "day 29 does not exist in month 2 of 2023"},
        {with("date 2000-01-01", "date 2000-13-01"), "month 13 out of range"},
        {with("date 2000-01-01", "date 2100-01-01"), "between 2000 and 2099"},
        {with("date 2000-01-01", "date 2000-1-1"), "YYYY-MM-DD"},
        {with("time 00:00:00", "time 24:00:00"), "time of day out of range"},
        {with("weekday 1", "weekday 0"), "week day 0 out of range"},
        {with("subsecond_ns 0", "subsecond_ns 1000000000"), "not within one calendar second"},
        {with("rcc_bdcr 0x00000000", "rcc_bdcr 0x00000002"), "do not live in the backup domain"},
        {with("subsecond_ns 0", "subseconds 255"), "unknown key 'subseconds'"},
        {with("prediv_a 127", "prediv_a 128"), "asynchronous prescaler 128"},
        {with("saved_at_ns 0", "saved_at_ns 18446744073709551616"), "saved_at_ns must be"},
        {with("hour_format 24", "hour_format 13"), "12 or 24"},
    };
    for (const Case &c : cases) {
        BackupDomain out;
        out.bkp[0] = 99;
        std::string err;
        EXPECT_FALSE(BoardDir::parse_backup_domain(c.text, "b", out, err)) << c.fragment;
        EXPECT_NE(err.find(c.fragment), std::string::npos) << err;
        EXPECT_EQ(out.bkp[0], 99u);
    }
    // Comments, blank lines and CRLF are accepted.
    BackupDomain out;
    std::string err;
    const std::string crlf = std::regex_replace("# note\n\n" + good, std::regex("\n"), "\r\n");
    EXPECT_TRUE(BoardDir::parse_backup_domain(crlf, "b", out, err)) << err;
}

TEST_F(BoardDirTest, LayoutVersion1IsUpgradedInPlace) {
    // A layout 1 board: marker 1, a version 1 backup file with a set calendar
    // (subsecond register 63 of 255: 192 of 256 steps of 1/256 s into the second).
    ASSERT_EQ(::mkdir(dir_.c_str(), 0755), 0);
    write(file(BoardDir::kMarkerFile), "kelda-board-directory 1\n");
    std::string v1 =
        "kelda-backup-domain 1\nsaved_at_ns 5\nrtc_initialised 1\n"
        "date 2024-03-01\nweekday 5\ntime 09:30:00\nsubseconds 63\n"
        "prediv_a 127\nprediv_s 255\nhour_format 24\n";
    for (int i = 0; i < 32; ++i) v1 += "bkp" + std::to_string(i) + (i ? " 0x0\n" : " 0x32F2\n");
    write(file(BoardDir::kBackupFile), v1);
    ASSERT_TRUE(b_.open(dir_, err_)) << err_;
    const BackupDomain &d = b_.backup_domain();
    EXPECT_EQ(d.bkp[0], 0x32F2u);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.subsecond_ns, 750000000u);
    EXPECT_EQ(d.rcc_bdcr, 0x00008101u);  // LSE on, RTC clock from the LSE, enabled
    EXPECT_EQ(b_.nor_state(), sim::NorState{});
    // Upgraded as it opens, not only when it closes.
    EXPECT_EQ(slurp(file(BoardDir::kMarkerFile)).rfind("kelda-board-directory 2\n", 0), 0u);
    EXPECT_EQ(slurp(file(BoardDir::kBackupFile)).rfind("kelda-backup-domain 2\n", 0), 0u);
    EXPECT_TRUE(fs::exists(file(BoardDir::kNorStateFile)));
}

TEST(NorStateText, RefusesBitsThatAreNotKept) {
    sim::NorState back;
    std::string err;
    const std::string good = BoardDir::format_nor_state(sim::NorState{});
    auto with = [&](const std::string &from, const std::string &to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const struct {
        std::string text;
        const char *fragment;
    } cases[] = {
        {with("status1 0x00", "status1 0x01"), "not kept without power (kept: 0x7C)"},
        {with("status2 0x00", "status2 0x80"), "not kept without power (kept: 0x7B)"},
        {with("status3 0x60", "status3 0x61"), "not kept without power (kept: 0x66)"},
        {with("status3 0x60", "status3 0x600"), "8-bit hex value"},
        {with("address_mode 3", "address_mode 5"), "address_mode must be 3 or 4"},
        {with("power_down 0\n", ""), "missing 'power_down'"},
        {with("kelda-nor-state 1", "kelda-nor-state 2"), "expected 'kelda-nor-state 1' first"},
        {good + "status1 0x04\n", "duplicate 'status1'"},
    };
    for (const auto &c : cases) {
        EXPECT_FALSE(BoardDir::parse_nor_state(c.text, "n", back, err)) << c.fragment;
        EXPECT_NE(err.find(c.fragment), std::string::npos) << err;
    }
}

}  // namespace
