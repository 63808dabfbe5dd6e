// The logs in the external flash, module by module on the simulated chip: position
// recovery from the flag pages, the older-sector choice, the last heartbeat, the
// writers' erase-ahead and failure handling, and every listing in its exact format.
// (A chip stuck busy holding the tick is the device-image fault table's.)
#include <cstring>

#include "exflash.h"
#include "main.h"
#include "support.h"
#include "sys_dnt.h"
#include "sys_onoff.h"
#include "sys_sdata.h"
#include "sys_ster.h"
#include "w25q_mem2.h"

namespace {

using fixture::records;
using ks::kMs;

constexpr btime_t kT0 = 1709285400;  // 2024-03-01 09:30:00

std::vector<uint8_t> flags(std::initializer_list<std::pair<int, uint8_t>> runs) {
    std::vector<uint8_t> f;
    for (const auto &r : runs) f.insert(f.end(), r.first, r.second);
    f.resize(256, 0xFF);
    return f;
}

sys_dnt_data beat(btime_t t, int8_t kind = 0, uint8_t battery = 85, uint16_t block = 7) {
    return sys_dnt_data{t, kind, battery, block};
}

class Logs : public ks::Board {
  public:
    // `used` heartbeats in sector `s` from slot 0, times base + slot.
    void fill(uint32_t s, int used, btime_t base, uint16_t block = 7) {
        put_flags(s, flags({{used, 0x7F}}));
        for (int i = 0; i < used; ++i) put_dnt(s, i, beat(base + i, 0, 85, block));
    }
    std::string console(std::function<void()> fw) {
        return cycle(
                   [&] {
                       ks::bring_up_storage();
                       fw();
                   },
                   20000 * kMs)
            .console;
    }
};

// The flag page scan of the format's interface: the first free slot from the start
// offset, the page's length when all are used, -1 at a flag neither free nor used
// before any free one. The start-up search classifies whole pages instead, so only
// this table holds the scan to its rules.
TEST(FlagScan, FirstFreeSlotFullPageOrDamage) {
    const struct {
        std::vector<uint8_t> flags;
        uint32_t start;
        int expect;
    } rows[] = {
        {flags({}), 0, 0},
        {flags({{40, 0x7F}}), 0, 40},
        {flags({{256, 0x7F}}), 0, 256},
        {flags({{5, 0x7F}, {1, 0x00}}), 0, -1},
        {flags({{3, 0x7F}, {1, 0x7E}}), 0, -1},
        {flags({{16, 0x00}, {84, 0x7F}}), 16, 100},        // bytes before the start: no slots
        {flags({{3, 0x7F}, {1, 0xFF}, {1, 0x00}}), 0, 3},  // damage past the first free flag
    };
    for (const auto &r : rows) {
        std::vector<uint8_t> page = r.flags;
        EXPECT_EQ(exflash_flags_check(page.data(), r.start, 256), r.expect)
            << "start " << r.start << " expect " << r.expect;
    }
}

// Each row a board of its own: the flag pages of a log's two sectors and the first
// records of the lower one, then the start-up search.
TEST_F(Logs, PositionRecoveryFromTheFlagPages) {
    struct Row {
        const char *what;
        std::vector<uint8_t> lower, upper;  // flag pages
        int records;                        // in the lower sector's first slots
        bool status_log;
        int result;
        exflash_info at;
    };
    const auto used = [](int n) { return flags({{n, 0x7F}}); };
    const std::vector<Row> rows = {
        {"both pages erased", {}, {}, 0, false, 0, {0, 2, 0, 0}},
        {"lower full, upper 40 used", used(256), used(40), 0, false, 0, {0, 3, 1, 8}},
        // Bytes 0..15 of the status log's flag page are no slots, whatever they hold.
        {"status log, 16..99 used", flags({{16, 0x00}, {84, 0x7F}}), {}, 0, true, 0, {0, 4, 6, 4}},
        {"status log, nothing used: erased again", {}, {}, 0, true, 0, {0, 4, 0, 0}},
        {"0x00 after used flags", flags({{5, 0x7F}, {1, 0x00}}), {}, 0, false, 0, {0, 2, 0, 0}},
        // 0x00 past a free flag: the flag scan stops at the first free one, the
        // start-up looks further.
        {"past a free flag", flags({{9, 0x7F}, {9, 0xFF}, {1, 0}}), {}, 0, false, 0, {0, 2, 0, 0}},
        {"upper damaged", used(256), flags({{3, 0x7F}, {1, 0x3F}}), 0, false, 0, {0, 3, 0, 0}},
        {"a record under the first free flag", used(10), {}, 11, false, 0, {0, 2, 0, 11}},
        {"a gap", flags({{5, 0x7F}, {1, 0xFF}, {5, 0x7F}}), {}, 0, false, 0, {0, 2, 0, 11}},
        {"both full", used(256), used(256), 0, false, 256, {0, 99, 99, 99}},
    };
    for (const Row &r : rows) {
        fresh();
        const uint32_t base = r.status_log ? 4 : 2;
        put_flags(base, r.lower);
        put_flags(base + 1, r.upper);
        for (int i = 0; i < r.records; ++i) put_dnt(base, i, beat(kT0 + i));
        int result = -9;
        exflash_info info = {0, 99, 99, 99};
        cycle(
            [&] {
                ks::bring_up_storage();
                result = r.status_log ? exflash_flags_find_point(4, 16, 16, &info)
                                      : exflash_flags_find_point(2, 0, 32, &info);
            },
            100 * kMs);
        EXPECT_EQ(result, r.result) << r.what;
        EXPECT_EQ(info, r.at) << r.what;
    }
}

// Both sectors full: the one whose first readable record is older is reused; a
// sector with nothing readable is reused before one that has records. (The status-
// event log's row goes through its start-up and first write.)
TEST_F(Logs, BothFullTheOlderSectorIsReused) {
    struct Row {
        const char *what;
        btime_t first[2];  // each sector's first record (slot after slot); 0: none readable
        int erased;        // leading slots of the lower sector left erased
        bool status_log;   // one status-event record per sector instead
        uint32_t sector;
    } rows[] = {
        {"first records 1000 and 2000", {1000, 2000}, 0, false, 2},
        {"first records 2000 and 1000", {2000, 1000}, 0, false, 3},
        {"equal times pick the base sector", {1000, 1000}, 0, false, 2},
        {"lower's first record erased: its next one counts", {3000, 2000}, 1, false, 3},
        {"lower sector holds nothing readable", {0, 2000}, 0, false, 2},
        {"upper sector holds nothing readable", {2000, 0}, 0, false, 3},
        {"status log, 5000 and 4000", {5000, 4000}, 0, true, 5},
    };
    for (const Row &r : rows) {
        fresh();
        for (uint32_t s = 0; s < 2; ++s) {
            if (r.status_log) {
                put_flags(4 + s, flags({{16, 0xFF}, {240, 0x7F}}));
                sys_ster_data d = {r.first[s], 0, 0, 2100, 0, 0, 0};
                put((4 + s) * 4096 + 256, &d, sizeof d);
                continue;
            }
            put_flags(2 + s, flags({{256, 0x7F}}));
            for (int i = s ? 0 : r.erased; r.first[s] != 0 && i < 256; ++i)
                put_dnt(2 + s, i, beat(r.first[s] + i));
        }
        exflash_info info = {0, 99, 99, 99};
        const auto run = cycle(
            [&] {
                ks::bring_up_storage();
                if (r.status_log) {
                    sys_ster_init();
                    sys_ster_set_data();
                    sys_ster_write();  // the chosen sector's flag page is cleared first
                } else {
                    sys_dnt_set_info_to_older_sector(2, &info);
                }
            },
            200 * kMs);
        const auto programs = records(run.trace, "nor_program");
        if (r.status_log && !programs.empty())
            info = {0, static_cast<uint32_t>(fixture::field(programs[0], "addr") / 4096), 0, 0};
        EXPECT_EQ(info, (exflash_info{0, r.sector, 0, 0})) << r.what;
    }
}

// The last heartbeat before the position, and the sensor-data block the start-up
// opens after the one it names. A log that cannot be read seeds no block: the sensor
// log still starts in one (block 1), never in block 0 where the event logs live.
TEST_F(Logs, LastHeartbeatAndTheBlockAfterIt) {
    struct Row {
        const char *what;
        int used[2];     // heartbeats in sectors 2 (times from 1000) and 3 (from 5000)
        uint16_t named;  // the block they name
        int erased;      // a slot of sector 2 a failed program left erased, or -1
        bool damaged;    // sector 2's flag page damaged: reused first
        btime_t time;    // 0xFFFFFFFF: none
        uint32_t block;
        bool unreadable = false;  // the QUADSPI shut before the log's set-up
    } rows[] = {
        {"position at the start of sector 2, sector 3 full", {256, 256}, 7, -1, true, 5255, 8},
        {"position page 4 of sector 3", {256, 128}, 7, -1, false, 5127, 8},
        {"the last slot a failed program left erased", {20, 0}, 7, 19, false, 1018, 8},
        {"a heartbeat naming block 510", {1, 0}, 510, -1, false, 1000, 1},
        {"an erased log", {0, 0}, 7, -1, false, 0xFFFFFFFF, 1},
        {"a log that cannot be read", {20, 0}, 7, -1, false, 1019, 1, true},
    };
    for (const Row &r : rows) {
        fresh();
        fill(2, r.used[0], 1000, r.named);
        fill(3, r.used[1], 5000, r.named);
        if (r.erased >= 0)
            put(2 * 4096 + 256 + r.erased * 8, std::vector<uint8_t>(8, 0xFF));
        if (r.damaged)
            put(2 * 4096, std::vector<uint8_t>(1, 0x00));
        sys_dnt_data last = {};
        uint32_t block = 0;
        int init = 0;
        cycle(
            [&] {
                ks::bring_up_storage();
                sys_dnt_find_point();
                sys_dnt_get_last_data(&last);
                __sys_sdata_info.block = 0;
                if (r.unreadable)
                    HAL_QSPI_DeInit(&hqspi);
                init = sys_dnt_init();
                sys_sdata_init();
                block = __sys_sdata_info.block;
            },
            300 * kMs);
        EXPECT_EQ(last.check_time, r.time) << r.what;
        EXPECT_EQ(block, r.block) << r.what;
        EXPECT_EQ(init, r.unreadable ? -1 : 0) << r.what;
    }
}

// The listings, and the boot listing, which shows the last 32 used slots.
TEST_F(Logs, ListingsInTheirExactFormats) {
    put_flags(2, flags({{9, 0x7F}, {1, 0xFF}, {1, 0x7F}}));
    put_dnt(2, 5, beat(kT0, 0, 85, 7));
    put_dnt(2, 6, beat(kT0 + 3661, 2, 85, 3));
    put_dnt(2, 10, beat(kT0, 1, 85, 7));  // used flag
    put_dnt(2, 9, beat(kT0, 0, 85, 7));   // free flag: the record the power cut short
    put_flags(4, flags({{16, 0xFF}, {3, 0x7F}}));
    sys_ster_data s = {kT0, 0, -3, 2100, 12, 1, 4};
    put(4 * 4096 + 256 + 32, &s, sizeof s);
    fill(3, 20, kT0);
    put(3 * 4096 + 25, std::vector<uint8_t>(1, 0x00));  // damaged: sector 3 lists nothing
    fill(0, 100, kT0);
    const std::string out = console([] {
        sys_dnt_print_sector(2);
        sys_dnt_print_sector(3);
        sys_ster_print_sector(4);
        sys_dnt_print_sector_by_num(0, 32);
    });
    const std::string listed =
        "2005  time[0] :  2024-03-01 09:30:00  85  B:7\r\n"
        "2006  time[T] :  2024-03-01 10:31:01  85  T:3\r\n"
        "2010  time[1] :  2024-03-01 09:30:00  85  B:7\r\n"
        "4002  2024-03-01 09:30:00  -3, 2100, 12, 1, 4\r\n"
        "0068  time[0] :  2024-03-01 09:31:08  85  B:7\r\n";
    EXPECT_EQ(out.substr(0, listed.size()), listed);
    const auto l = ks::lines(out);
    ASSERT_EQ(l.size(), 4u + 32u);
    EXPECT_EQ(l.back().substr(0, 4), "0099");
}

// Sensor-data listing: heading, records, the end-of-stream mark, gaps passed over,
// ranges refused whole, wrapping from 510 to 1.
TEST_F(Logs, SensorDataListing) {
    auto rec = [](int16_t n) { return SensorData_TypeDef{n, -1, 2, 8192, -300, 0, 7}; };
    auto at = [](uint32_t block, uint32_t i) {
        return exflash_sdata_page(block, i) * 256 + exflash_sdata_offset(i);
    };
    for (int16_t n = 0; n < 3; ++n) {
        SensorData_TypeDef d = rec(n);
        put(at(9, n), &d, sizeof d);
    }
    SensorData_TypeDef later = rec(40);
    put(at(9, 40), &later, sizeof later);  // records 3..39 failed: a gap
    put(at(510, 0), &later, sizeof later);
    int refused[4] = {};  // each bound on each side (the console refuses before it calls)
    const std::string out = console([&] {
        sys_sdata_print(9, 10);
        sys_sdata_print(510, 1);
        refused[0] = sys_sdata_print(0, 5);
        refused[1] = sys_sdata_print(3, 511);
        refused[2] = sys_sdata_print(1, 0);
        refused[3] = sys_sdata_print(600, 3);
    });
    const std::string row = ",-1,02,8192,-300,00,07 \r\n";
    const std::string stream_end = SYS_SDATA_STREAM_END, end = SYS_SDATA_END;
    // The end-of-stream mark counts records over the whole call: the empty blocks
    // after a listed one get it too.
    EXPECT_EQ(out, "SD_block 9\r\n00" + row + "01" + row + "02" + row + "40" + row + stream_end +
                       "SD_block 10\r\n" + stream_end + end + "SD_block 510\r\n40" + row +
                       stream_end + "SD_block 1\r\n" + stream_end + end);
    for (int r : refused) EXPECT_EQ(r, -1);
}

// A failed record uses up its slot and its flag, is counted, and the writer backs
// off; a single glitch does not stop the log at the wrap, a failing chip does.
TEST_F(Logs, FailedRecordsUseUpTheirSlotAndAFailingChipErasesNothing) {
    fill(2, 254, kT0);
    fill(3, 256, kT0 - 10000);
    std::vector<int> results, sdata;
    uint16_t errors = 0;
    const auto run = cycle(
        [&] {
            ks::bring_up_storage();
            sys_onoff_init();
            sys_dnt_find_point();
            HAL_Delay(100 - HAL_GetTick());
            results.push_back(sys_dnt_write());  // slot 254 fails
            results.push_back(sys_dnt_write());  // backing off
            HAL_Delay(1000);
            results.push_back(sys_dnt_write());  // slot 255 fails: a failing chip
            for (int i = 0; i < 200; ++i) {
                HAL_Delay(1000);
                results.push_back(sys_dnt_write());
            }
            // The sensor-data log the same way: its last record of block 7 fails, and
            // block 8 is never erased.
            __sys_sdata_info = {7, 15, 15, 17};
            SensorData_TypeDef d = {1, 2, 3, 4, 5, 6, 7};
            for (int i = 0; i < 100; ++i) {
                sdata.push_back(sys_sdata_write(&d));
                HAL_Delay(1000);
            }
            errors = __exflash_error;
        },
        400000 * kMs, "at 100ms fault nor-program always\n");
    std::vector<int> want(203, -1), want_sdata(100, -1);
    want[0] = want[2] = want_sdata[0] = -3;
    EXPECT_EQ(results, want);
    EXPECT_EQ(sdata, want_sdata);
    EXPECT_TRUE(records(run.trace, "nor_erase").empty());
    EXPECT_GE(errors, 2);
    // Sector 3, the older history, is untouched.
    EXPECT_EQ(nor(3 * 4096, 256), std::vector<uint8_t>(256, 0x7F));
    sys_dnt_data first;
    std::memcpy(&first, nor(3 * 4096 + 256, 8).data(), 8);
    EXPECT_EQ(first.check_time, kT0 - 10000);
}

// A single glitch at the wrap does not stop the log: the failed record's slot is
// used up, then the wrap onto the other sector clears its flag page, starts the erase,
// polls the chip, then writes the record: one chip operation per call.
TEST_F(Logs, ASingleGlitchAtTheWrapDoesNotStopTheLog) {
    fill(2, 255, kT0);
    fill(3, 256, kT0 - 10000);
    std::vector<int> results;
    const auto run = cycle(
        [&] {
            ks::bring_up_storage();
            sys_onoff_init();
            sys_dnt_find_point();
            HAL_Delay(100 - HAL_GetTick());
            results.push_back(sys_dnt_write());  // the record fails, its flag does not
            HAL_Delay(1000);
            for (int i = 0; i < 4; ++i) results.push_back(sys_dnt_write());
            HAL_Delay(60);
            results.push_back(sys_dnt_write());
        },
        5000 * kMs, "at 100ms fault nor-program 1\n");
    EXPECT_EQ(results, (std::vector<int>{-3, -2, -2, -1, -1, 0}));
    EXPECT_EQ(nor(2 * 4096 + 255, 1)[0], 0x7F);  // the failed slot is used up
    EXPECT_EQ(nor(2 * 4096 + 256 + 255 * 8, 8), std::vector<uint8_t>(8, 0xFF));
    // The chip's operations in order, "p<addr>/<len>" and "e<addr>": record and flag of
    // slot 255, sector 3's flag page cleared, its erase, its first record and flag.
    std::vector<std::string> ops;
    std::istringstream trace(run.trace);
    for (std::string r; std::getline(trace, r);) {
        if (r.find("\"nor_program\"") != std::string::npos)
            ops.push_back("p" + std::to_string(fixture::field(r, "addr")) + "/" +
                          std::to_string(fixture::field(r, "len")));
        else if (r.find("\"nor_erase\"") != std::string::npos)
            ops.push_back("e" + std::to_string(fixture::field(r, "addr")));
    }
    EXPECT_EQ(ops, (std::vector<std::string>{"p10488/8", "p8447/1", "p12288/256", "e12288",
                                             "p12544/8", "p12288/1"}));
    EXPECT_EQ(nor(3 * 4096, 2), (std::vector<uint8_t>{0x7F, 0xFF}));
}

// The sensor-data writer: the record at the end of the ring's last block, the ring's
// first block erased ahead without blocking, its first record held until a heartbeat
// names it; a status read that fails (another context holds the QUADSPI handle) does
// not count as a finished erase.
TEST_F(Logs, SensorDataPositionRules) {
    std::vector<int> results;
    uint32_t due = 0;
    exflash_info after_last = {};
    const auto run = cycle(
        [&] {
            ks::bring_up_storage();
            __sys_sdata_info = {510, 15, 15, 17};  // the ring's last block
            SensorData_TypeDef d = {1, 2, 3, 4, 5, 6, 7};
            timer7_10ms_counter = 12345;
            results.push_back(sys_sdata_write(&d));
            after_last = __sys_sdata_info;
            results.push_back(sys_sdata_write(&d));  // erase of block 1 started
            due = __dnt_write_time_check;
            results.push_back(sys_sdata_write(&d));  // busy
            HAL_Delay(200);
            hqspi.Lock = HAL_LOCKED;
            results.push_back(sys_sdata_write(&d));  // erased, but the status unreadable
            hqspi.Lock = HAL_UNLOCKED;
            results.push_back(sys_sdata_write(&d));  // erased, no heartbeat yet
            sys_sdata_block_logged(1);
            results.push_back(sys_sdata_write(&d));
        },
        1000 * kMs);
    EXPECT_EQ(results, (std::vector<int>{0, -2, -1, -1, -1, 0}));
    EXPECT_EQ(after_last, (exflash_info{1, 0, 0, 0}));
    EXPECT_EQ(due, 12337u + 100u);
    const auto programs = records(run.trace, "nor_program");
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(fixture::field(programs[0], "addr"), (510 * 256 + 255) * 256 + 238);
    EXPECT_EQ(fixture::field(programs[1], "addr"), 65536);
    const auto erases = records(run.trace, "nor_erase");
    ASSERT_EQ(erases.size(), 1u);
    EXPECT_EQ(fixture::field(erases[0], "addr"), 65536);
    EXPECT_EQ(fixture::field(erases[0], "size"), 65536);
}

// The status-event snapshot: taken when due, kept while the chip is busy, written
// after; its interval checked against 5 minutes with a message outside +-2 ms.
TEST_F(Logs, StatusEventSnapshotAndItsInterval) {
    std::vector<int> got;
    auto until = [](uint32_t tick) { HAL_Delay(tick - HAL_GetTick() - 1); };
    const auto run = cycle(
        [&] {
            ks::bring_up_storage();
            sys_ster_init();
            const uint32_t t1 = HAL_GetTick();
            got.push_back(sys_ster_set_data());  // the first: interval 0, no message
            got.push_back(sys_ster_set_data());  // still pending
            W25Q_EraseBlockAsync(3, 64);
            got.push_back(W25Q_IsBusy() == W25Q_BUSY);
            got.push_back(sys_ster_set_data());  // kept through the busy chip
            HAL_Delay(200);
            for (int i = 0; i < 4; ++i) got.push_back(sys_ster_write());  // erase ahead first
            HAL_Delay(60);
            got.push_back(sys_ster_write());
            until(t1 + 300001);
            got.push_back(sys_ster_set_data());  // +1 ms: no message
            got.push_back(sys_ster_write());
            until(t1 + 300001 + 299997);
            got.push_back(sys_ster_set_data());  // -3 ms: message
            got.push_back(sys_ster_write());
            until(t1 + 300001 + 299997 + 100);
            got.push_back(sys_ster_set_data());  // 100 ms after: -299900 -> 27780
            got.push_back(sys_ster_write());
            sys_ster_print();
        },
        700000 * kMs);
    EXPECT_EQ(got, (std::vector<int>{0, -1, 1, -1, -2, -2, -1, -1, 0, 0, 0, 0, 0, 0, 0}));
    const auto l = ks::lines(run.console);
    ASSERT_EQ(l.size(), 6u) << run.console;
    EXPECT_NE(l[0].find("  Too long time interval (4, 1, 2, 0) -> -3"), std::string::npos) << l[0];
    EXPECT_NE(l[1].find("  Too long time interval (4, 1, 3, 0) -> 27780"), std::string::npos)
        << l[1];
    EXPECT_EQ(l[2].substr(0, 30), "4000  2024-03-01 09:30:00  0, ");
    EXPECT_EQ(l[3].substr(0, 4) + l[3].substr(26, 3), "4001 1,");
    EXPECT_EQ(l[4].substr(0, 4) + l[4].substr(26, 4), "4002 -3,");
    EXPECT_EQ(l[5].substr(0, 4) + l[5].substr(26, 7), "4003 27780,");
}

// exclean: the log sectors' flag pages cleared before their erase, every sector of
// block 0 erased. (Its texts and the logs starting afresh after a reset are the
// console test's; where a start-up puts erased logs, the recovery tables'.)
TEST_F(Logs, ExcleanClearsTheFlagPagesBeforeTheErase) {
    fill(2, 256, kT0);
    fill(3, 40, kT0 + 1000);
    fill(0, 10, kT0);
    const auto run = cycle(
        [&] {
            ks::bring_up_storage();
            exflash_reset();
        },
        5000 * kMs);
    const auto erases = records(run.trace, "nor_erase"), marks = records(run.trace, "nor_program");
    ASSERT_EQ(erases.size(), 16u);
    ASSERT_EQ(marks.size(), 6u);  // the flag pages of the log sectors 0..5
    for (std::size_t k = 0; k < marks.size(); ++k)
        EXPECT_LT(fixture::field(marks[k], "t"), fixture::field(erases[k], "t")) << k;
    EXPECT_EQ(nor(0, 6 * 4096), std::vector<uint8_t>(6 * 4096, 0xFF));
}

}  // namespace
