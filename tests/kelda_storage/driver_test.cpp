// The external flash driver on the simulated chip: argument checks before any bus
// traffic, the start-up set-up, and what a stuck or unreachable chip makes of the
// busy wait. (The 16-bit data phase's byte order shows in the sensor-data listing of
// records put on the chip, and in the power-cut campaign, where the decoder must list
// what the firmware wrote.)
#include "exflash.h"
#include "main.h"
#include "support.h"
#include "w25q_mem.h"
#include "w25q_mem2.h"

namespace {

using fixture::records;
using ks::kMs;

class Driver : public ks::Board {};

TEST_F(Driver, RefusedCallsSendNothingAndAcceptedOnesWork) {
    struct Row {
        const char *what;
        std::function<W25Q_STATE()> call;
        W25Q_STATE expect;
    };
    static uint8_t buf[256];
    static i16_t wide[128];
    const std::vector<Row> rows = {
        {"56 bytes at offset 200", [] { return W25Q_ReadData(buf, 56, 200, 10); }, W25Q_OK},
        {"57 bytes at offset 200", [] { return W25Q_ReadData(buf, 57, 200, 10); }, W25Q_PARAM_ERR},
        {"256 bytes at offset 0", [] { return W25Q_ReadData(buf, 256, 0, 10); }, W25Q_OK},
        {"256 bytes at offset 1", [] { return W25Q_ReadData(buf, 256, 1, 10); }, W25Q_PARAM_ERR},
        {"length 0", [] { return W25Q_ReadData(buf, 0, 0, 10); }, W25Q_PARAM_ERR},
        {"length 257", [] { return W25Q_ProgramData(buf, 257, 0, 10); }, W25Q_PARAM_ERR},
        {"last page, offset 0", [] { return W25Q_ReadData(buf, 1, 0, 131071); }, W25Q_OK},
        {"last page, offset 1", [] { return W25Q_ReadData(buf, 1, 1, 131071); }, W25Q_PARAM_ERR},
        {"page 131072", [] { return W25Q_ReadData(buf, 1, 0, 131072); }, W25Q_PARAM_ERR},
        {"16-bit, page 131072", [] { return W25Q_ReadData_16(wide, 2, 0, 131072); },
         W25Q_PARAM_ERR},
        {"raw length 0", [] { return W25Q_ReadRaw(buf, 0, 0); }, W25Q_PARAM_ERR},
        {"raw length 257", [] { return W25Q_ProgramRaw(buf, 257, 0); }, W25Q_PARAM_ERR},
        {"sector 8192", [] { return W25Q_EraseSector(8192); }, W25Q_PARAM_ERR},
        {"sector 8192, async", [] { return W25Q_EraseSectorAsync(8192); }, W25Q_PARAM_ERR},
        {"64 KB block 512", [] { return W25Q_EraseBlockAsync(512, 64); }, W25Q_PARAM_ERR},
        {"32 KB block 1024", [] { return W25Q_EraseBlockAsync(1024, 32); }, W25Q_PARAM_ERR},
        {"block size 16", [] { return W25Q_EraseBlockAsync(0, 16); }, W25Q_PARAM_ERR},
        {"status register 4", [] { return W25Q_ReadStatusReg(buf, 4); }, W25Q_PARAM_ERR},
        {"status register 0", [] { return W25Q_ReadStatusReg(buf, 0); }, W25Q_PARAM_ERR},
        {"32 KB block 1023", [] { return W25Q_EraseBlockAsync(1023, 32); }, W25Q_OK},
    };
    std::vector<W25Q_STATE> got(rows.size());
    std::vector<sim::Time> took(rows.size());
    const fixture::Run run = cycle(
        [&] {
            ks::bring_up_storage();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const sim::Time t0 = sim::board().now();
                got[i] = rows[i].call();
                took[i] = sim::board().now() - t0;
            }
        },
        2000 * kMs);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(got[i], rows[i].expect) << rows[i].what;
        if (rows[i].expect == W25Q_PARAM_ERR) {
            EXPECT_EQ(took[i], 0u) << rows[i].what << ": refused only after bus traffic";
        }
    }
    const auto erases = records(run.trace, "nor_erase");
    ASSERT_EQ(erases.size(), 1u);
    EXPECT_EQ(fixture::field(erases[0], "addr"), 0x1FF8000);
    EXPECT_EQ(fixture::field(erases[0], "size"), 32768);
}

// A fresh chip gets ADP, 4-byte mode and QE once; from then on the set-up only
// reads, and the presence test right after it sees the chip. (That the bits took
// shows in every test past 16 MB or on the four data lines.) The second power cycle
// starts from the variables' power-up values, as a reset does on the chip: the
// driver's handle and the tick counter the first one changed are back.
TEST_F(Driver, StartUpSetsTheChipOnceAndThenOnlyReads) {
    uint8_t id[2] = {};
    uint32_t ticks[2] = {1, 1}, state[2] = {1, 1};
    std::vector<fixture::Run> runs;
    for (int i = 0; i < 2; ++i)
        runs.push_back(cycle(
            [&] {
                ticks[i] = timer7_10ms_counter;
                state[i] = hqspi.State;
                ks::bring_up();
                W25Q_Init();
                W25Q_ReadID(&id[i]);
                timer7_10ms_counter = 12345;
            },
            100 * kMs));
    EXPECT_EQ(records(runs[0].trace, "nor_status_write").size(), 2u);
    EXPECT_EQ(records(runs[0].trace, "nor_mode").size(), 1u);
    for (const char *kind :
         {"nor_status_write", "nor_mode", "nor_program", "nor_erase", "nor_ignored"})
        EXPECT_TRUE(records(runs[1].trace, kind).empty()) << kind;
    EXPECT_NE(id[0], 0);
    EXPECT_NE(id[1], 0);
    EXPECT_EQ(ticks[1], 0u);
    EXPECT_EQ(state[1], HAL_QSPI_STATE_RESET);
}

// The busy wait has a bound: a chip stuck busy makes a program fail after the wait
// for a 64 KB erase, not hang. A status read that fails ends an operation with that
// error instead of letting it go on, and the logs' checked program passes it on
// (not as a record that read back wrong).
TEST_F(Driver, AStuckChipOrAFailedStatusReadEndsTheWaitWithAFailure) {
    W25Q_STATE stuck = W25Q_OK, busy = W25Q_OK, unreachable = W25Q_OK;
    sim::Time waited = 0;
    uint8_t buf[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int16_t words[4] = {1, 2, 3, 4};
    cycle(
        [&] {
            ks::bring_up_storage();
            HAL_Delay(200 - HAL_GetTick());
            const sim::Time t0 = sim::board().now();
            stuck = W25Q_ProgramData(buf, 8, 0, 300);
            waited = sim::board().now() - t0;
            busy = W25Q_IsBusy();
            HAL_QSPI_DeInit(&hqspi);
            unreachable = exflash_program_checked_16(words, 8, 0, 301);
        },
        5000 * kMs, "at 150ms fault nor-stuck-busy\n");
    EXPECT_EQ(stuck, W25Q_CHIP_ERR);
    EXPECT_GE(waited, W25Q_WAIT_BEFORE_MS * kMs);
    EXPECT_LE(waited, (W25Q_WAIT_BEFORE_MS + 3) * kMs);
    EXPECT_EQ(busy, W25Q_BUSY);
    EXPECT_EQ(unreachable, W25Q_SPI_ERR);
    EXPECT_EQ(nor(300 * 256, 8), std::vector<uint8_t>(8, 0xFF));
}

}  // namespace
