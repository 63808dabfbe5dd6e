// flash_decode on what it may be given: random, truncated and oversized dumps, a
// board directory against the firmware that wrote it, usage errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "exflash_format.h"
#include "flash_decode.h"
#include "program_runs.h"

namespace {

using namespace programs;

// The running test's own directory: ctest runs the tests in parallel processes, so
// they must not share their outputs or dumps.
fs::path test_dir() {
    const fs::path d =
        fs::path(TEST_TMP_DIR) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(d);
    return d;
}

Exec decode(const std::string &args) {
    return run(std::string(FLASH_DECODE) + " " + args, test_dir());
}

fs::path dump(const std::string &name, const std::vector<uint8_t> &bytes) {
    return write(test_dir() / name, std::string(bytes.begin(), bytes.end()));
}

// Random content over the log area and a few blocks, mostly plausible flag and
// record bytes so that the rules get exercised, cut at lengths around the page,
// sector and block edges, in every output format; in-process, so that a read
// outside the image would show (the decoder checks every read against the chip).
TEST(FlashDecode, SurvivesRandomAndTruncatedDumps) {
    std::mt19937 rng(20240301);
    std::vector<uint8_t> bytes(200000);
    for (auto &b : bytes) {
        const uint32_t r = rng();
        b = r % 3 == 0 ? 0x7F : r % 3 == 1 ? 0xFF : static_cast<uint8_t>(r >> 8);
    }
    for (const std::size_t size : {255u, 4097u, 65535u, 131071u, 200000u}) {
        flash_decode::Image image;
        std::string error;
        const fs::path p = dump("random.bin", {bytes.begin(), bytes.begin() + size});
        ASSERT_TRUE(flash_decode::load(p.string(), image, error)) << error;
        for (flash_decode::Format format :
             {flash_decode::Format::Text, flash_decode::Format::Csv, flash_decode::Format::Json}) {
            const flash_decode::Options o{format, flash_decode::Layout::Auto, true, 509, 2};
            std::ostringstream out;
            flash_decode::decode(image, o, out);
            ASSERT_FALSE(out.str().empty()) << size;
        }
    }
}

TEST(FlashDecode, RefusesWhatIsNotADumpOfTheChip) {
    const fs::path big = test_dir() / "oversized.bin";
    {
        std::ofstream f(big, std::ios::binary);
        f.seekp(EXFLASH_SIZE);
        f.put('\0');  // one byte more than the chip
    }
    const Exec oversized = decode(big.string());
    EXPECT_EQ(oversized.status, 1);
    EXPECT_NE(oversized.err.find("larger than the chip"), std::string::npos) << oversized.err;
    const fs::path notboard = test_dir() / "notboard";
    fs::create_directories(notboard);
    EXPECT_EQ(decode(notboard.string()).status, 1);
    EXPECT_EQ(decode("/nonexistent/dump.bin").status, 1);
    EXPECT_EQ(decode("").status, 2);
    EXPECT_EQ(decode("--blocks 0-3 x").status, 2);
    EXPECT_EQ(decode("--blocks 7 --csv --bogus x").status, 2);
    EXPECT_EQ(decode("--help").status, 0);
    // An empty dump is an erased chip; from standard input too (an empty file of our
    // own rather than /dev/null, which a broken machine may have as a regular file).
    const fs::path none = test_dir() / "empty.bin";
    std::ofstream(none, std::ios::binary | std::ios::trunc).close();
    const Exec empty = decode("- <" + none.string());
    EXPECT_EQ(empty.status, 0);
    EXPECT_NE(empty.out.find("== findings ==\r\nnone\r\n"), std::string::npos) << empty.out;
}

// A hand-made chip with one of each kind of damage: the findings, and JSON that a JSON
// reader takes, over several blocks (one of them the one the next start-up opens). The
// CSV is read by column in every device-image scenario test.
TEST(FlashDecode, ReportsWhatLooksWrongAndWritesWellFormedJson) {
    std::vector<uint8_t> chip(3u << 16, 0xFF);
    auto at = [&](uint32_t addr, std::initializer_list<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), chip.begin() + addr);
    };
    const sys_dnt_data beat = {1709285400, 0, 85, 2};
    at(0, {0x7F, 0x7F, 0x7F});                    // power-cycle log: three slots used
    std::memcpy(&chip[256], &beat, 8);            // slot 0 a record
    at(256 + 8, {0x00, 0xFF, 0xFF, 0xFF, 0xFF});  // slot 1 partly programmed
    std::memcpy(&chip[256 + 24], &beat, 8);       // slot 3: under a free flag
    at(2 * 4096, {0x7F, 0x00});                   // sector 2: damaged flags
    at(3 * 4096, {0x7F});                         // sector 3: the last heartbeat
    const sys_dnt_data last = {1709285401, 0, 85, 1};
    std::memcpy(&chip[3 * 4096 + 256], &last, 8);
    at(6 * 4096 + 100, {0x12});                    // an unused sector
    at(65536 + 252, {0x00});                       // block 1: a page's spare bytes
    std::memcpy(&chip[65536], &beat, 8);           // block 1 record 0 ...
    std::memcpy(&chip[65536 + 3 * 14], &beat, 8);  // ... record 3: a gap of two
    const std::string path = dump("hand.bin", chip).string();
    const Exec r = decode(path);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *want :
         {"sector 0 slot 1: record no writer writes",
          "sector 0 slot 2: flag used over an erased record",
          "sector 0 slot 3: record under a free flag",
          "sector 2: damaged flag page (slot 1 flag 0x00)",
          "sector 6: data where the layout says erased",
          "block 1: data where the layout says erased (bytes 252..255 of 1",
          "block 1: 2 erased record(s) inside the written part",
          "power_cycle: sector 0 slot 4 (page 0, count 4)",
          "the last heartbeat names block 1 (4 records written", "the next start-up opens block 2"})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
    EXPECT_NE(r.out.find("0000  time[0] :  2024-03-01 09:30:00  85  B:2\r\n"), std::string::npos);
    const Exec json = decode("--json --blocks 509-3 " + path);
    ASSERT_EQ(json.status, 0);
    const fs::path j = dump("out.json", std::vector<uint8_t>(json.out.begin(), json.out.end()));
    EXPECT_EQ(std::system(("python3 -c 'import json,sys; d = json.load(open(sys.argv[1])); "
                           "assert len(d[\"sensor_data\"]) == 5' " +
                           j.string())
                              .c_str()),
              0)
        << json.out;
}

}  // namespace
