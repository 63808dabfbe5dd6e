// Storage peripherals through the HAL calls the firmware makes: QUADSPI bus time and
// handle rules, the NOR chip's command rules, busy times and persistence across
// standby and power cuts, the internal flash's pairing and errors and its reads by
// address, the RTC's formats and protection, the failures the device images do not
// meet, and every cut kind.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "board_dir.h"
#include "board_setup.h"
#include "fixture_fw.h"
#include "sim/board.h"
#include "stm32l4xx_hal_additions.h"

namespace {

using fixture::records;
using sim::Time;

constexpr Time kMs = 1000000;
// Virtual time spent in `f` beyond the fixed cost of its HAL calls (the board counts
// that apart), so that bus and busy times can be compared with the datasheet's. The
// cost of a call made while the bus is already clocking overlaps the bus time, so a
// bus time is checked to within half a serial clock: that still pins the count of
// clocks exactly.
constexpr Time kHalfSerialClockNs = 2667;
template <typename F>
Time time_without_hal_calls(F &&f) {
    const Time t0 = sim::board().now();
    const Time hal0 = sim::board().hal_ns();
    f();
    return (sim::board().now() - t0) - (sim::board().hal_ns() - hal0);
}

// ---- the firmware side: the NOR calls as the device's driver makes them -------

QSPI_HandleTypeDef hqspi;
constexpr uint32_t kTimeout = 5000;  // ms, for every command

HAL_StatusTypeDef qspi_init() {
    HAL_Init();
    return board_setup::qspi(hqspi);
}

// An instruction on one line with no address, alternate bytes or data phase; callers
// add what their command needs.
QSPI_CommandTypeDef command(uint8_t op) {
    QSPI_CommandTypeDef c = {};
    c.Instruction = op;
    c.InstructionMode = QSPI_INSTRUCTION_1_LINE;
    c.AddressMode = QSPI_ADDRESS_NONE;
    c.AlternateByteMode = QSPI_ALTERNATE_BYTES_NONE;
    c.DataMode = QSPI_DATA_NONE;
    c.DdrMode = QSPI_DDR_MODE_DISABLE;
    c.SIOOMode = QSPI_SIOO_INST_EVERY_CMD;
    return c;
}

QSPI_CommandTypeDef addressed(uint8_t op, uint32_t addr, uint32_t bits, uint32_t lines) {
    QSPI_CommandTypeDef c = command(op);
    c.Address = addr;
    c.AddressSize = bits == 24 ? QSPI_ADDRESS_24_BITS : QSPI_ADDRESS_32_BITS;
    c.AddressMode = lines == 4 ? QSPI_ADDRESS_4_LINES : QSPI_ADDRESS_1_LINE;
    return c;
}

// The instruction alone, with the time-out given.
HAL_StatusTypeDef simple(uint8_t op, uint32_t timeout = kTimeout) {
    QSPI_CommandTypeDef c = command(op);
    return HAL_QSPI_Command(&hqspi, &c, timeout);
}

// `c` with a data phase of `n` bytes (none when 0) on `lines` lines, received into or
// sent from `data`; the data phase waits at most `timeout` ms.
HAL_StatusTypeDef frame(QSPI_CommandTypeDef c, uint8_t *data, uint32_t n, bool receive,
                        uint32_t lines = 1, uint32_t timeout = kTimeout) {
    if (n) {
        c.DataMode = lines == 4 ? QSPI_DATA_4_LINES : QSPI_DATA_1_LINE;
        c.NbData = n;
    }
    const HAL_StatusTypeDef s = HAL_QSPI_Command(&hqspi, &c, kTimeout);
    if (s != HAL_OK || !n)
        return s;
    return receive ? HAL_QSPI_Receive(&hqspi, data, timeout)
                   : HAL_QSPI_Transmit(&hqspi, data, timeout);
}

// A status register read by its instruction (0x05, 0x35, 0x15); 0xEE when it failed.
uint8_t status(uint8_t op) {
    uint8_t v = 0xEE;
    frame(command(op), &v, 1, true);
    return v;
}

// A status register write by its instruction (0x01, 0x31, 0x11), after a write enable.
HAL_StatusTypeDef write_status(uint8_t op, uint8_t value) {
    simple(0x06);
    return frame(command(op), &value, 1, false);
}

void wait_idle() {
    while (status(0x05) & 0x01) HAL_Delay(1);
}

// Page program on four data lines, the address on one.
HAL_StatusTypeDef program(uint32_t addr, std::vector<uint8_t> data, bool write_enable = true) {
    if (write_enable)
        simple(0x06);
    return frame(addressed(0x34, addr, 32, 1), data.data(), static_cast<uint32_t>(data.size()),
                 false, 4);
}

HAL_StatusTypeDef erase(uint8_t op, uint32_t addr, uint32_t bits = 32) {
    simple(0x06);
    return frame(addressed(op, addr, bits, 1), nullptr, 0, false);
}

// Fast read on four lines, address and data, with six dummy cycles.
std::vector<uint8_t> read(uint32_t addr, uint32_t n, uint32_t timeout = kTimeout,
                          HAL_StatusTypeDef *result = nullptr) {
    std::vector<uint8_t> d(n, 0xEE);
    QSPI_CommandTypeDef c = addressed(0xEC, addr, 32, 4);
    c.DummyCycles = 6;
    const HAL_StatusTypeDef s = frame(c, d.data(), n, true, 4, timeout);
    if (result)
        *result = s;
    return d;
}

// Release from power-down; the device ID, 0 when the chip did not answer.
uint8_t device_id() {
    uint8_t id = 0;
    frame(addressed(0xAB, 0, 24, 1), &id, 1, true);
    return id;
}

// Start-up as the driver does it: wake, quad lines on.
void chip_ready() {
    qspi_init();
    device_id();
    if (!(status(0x35) & 0x02)) {
        write_status(0x31, static_cast<uint8_t>(status(0x35) | 0x02));
        wait_idle();
    }
}

using Storage = fixture::BoardTest;

// ---- QUADSPI ------------------------------------------------------------------

// Bus time at 187.5 kHz (HCLK 48 MHz / 256): one serial clock is 16/3 us. A frame
// takes 8 cycles of instruction on one line, address bits / lines, dummy cycles, and
// 8 / lines cycles per data byte. So a 256-byte quad read is 8 + 32/4 + 6 + 256 x 2
// = 534 cycles = 2.848 ms, and a 14-byte quad program 8 + 32 + 14 x 2 = 68 cycles.
TEST_F(Storage, QspiBusTimesAreTheHandComputedOnes) {
    struct Row {
        const char *what;
        std::function<void()> frame;
        Time ns;  // ceil(cycles x 16000 / 3)
    } rows[] = {
        {"write enable, 8 cycles", [] { simple(0x06); }, 42667},
        {"status read, 8 + 8", [] { status(0x05); }, 85334},
        {"device ID, 8 + 24 + 8", [] { device_id(); }, 213334},
        {"14-byte quad program, 8 + 32 + 28",
         [] { program(0x2000, std::vector<uint8_t>(14, 0), false); }, 362667},
        {"256-byte quad read, 8 + 8 + 6 + 512", [] { read(0, 256); }, 2848000},
    };
    for (const Row &r : rows) {
        Time took = 0;
        cycle(
            [&] {
                chip_ready();
                took = time_without_hal_calls(r.frame);
            },
            500 * kMs);
        EXPECT_NEAR(static_cast<double>(took), static_cast<double>(r.ns), kHalfSerialClockNs)
            << r.what;
    }
}

TEST_F(Storage, QspiHandleStatesLockAndVendorTimeOuts) {
    HAL_StatusTypeDef overlap = HAL_OK;
    cycle(
        [&] {
            QSPI_HandleTypeDef never = {};
            never.Instance = QUADSPI;
            QSPI_CommandTypeDef c = command(0x06);
            EXPECT_EQ(HAL_QSPI_Command(&never, &c, kTimeout), HAL_BUSY);  // state RESET
            chip_ready();
            // Time-out 0: the flag is not there at once, so the call fails and the
            // handle stays in ERROR, refusing the next call. The frame is still on the
            // bus (firmware polling BUSY sees it end) and reaches the chip.
            EXPECT_EQ(simple(0x06, 0), HAL_ERROR);
            EXPECT_TRUE(__HAL_QSPI_GET_FLAG(&hqspi, QSPI_FLAG_BUSY));
            while (__HAL_QSPI_GET_FLAG(&hqspi, QSPI_FLAG_BUSY)) HAL_GetTick();
            EXPECT_EQ(HAL_QSPI_GetError(&hqspi), HAL_QSPI_ERROR_TIMEOUT);
            EXPECT_EQ(HAL_QSPI_GetState(&hqspi), HAL_QSPI_STATE_ERROR);
            EXPECT_EQ(simple(0x04), HAL_BUSY);
            qspi_init();
            EXPECT_EQ(HAL_QSPI_SetFifoThreshold(&hqspi, 4), HAL_OK);
            EXPECT_EQ(HAL_QSPI_GetFifoThreshold(&hqspi), 4u);
            EXPECT_EQ(QUADSPI->CR & QUADSPI_CR_FTHRES, 3u << QUADSPI_CR_FTHRES_Pos);
            EXPECT_EQ(status(0x05) & 0x02, 0x02);
            // An interrupt that uses the handle during a transfer finds it locked.
            fixture::hooks.tim7 = [&] {
                if (overlap == HAL_OK)
                    overlap = simple(0x05);
            };
            fixture::init_tim(fixture::htim7, TIM7, 47, 999, TIM7_IRQn, 2);  // 1 ms
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            read(0, 256);
            HAL_TIM_Base_Stop_IT(&fixture::htim7);
            // A 16-bit data phase of an odd byte count is refused before anything moves.
            QSPI_CommandTypeDef c16 = addressed(0xEC, 0, 32, 4);
            c16.DummyCycles = 6;
            c16.DataMode = QSPI_DATA_4_LINES;
            c16.NbData = 13;
            HAL_QSPI_Command(&hqspi, &c16, kTimeout);
            uint8_t back[14];
            EXPECT_EQ(HAL_QSPI_Receive_16(&hqspi, back, kTimeout), HAL_ERROR);
            EXPECT_EQ(HAL_QSPI_GetState(&hqspi), HAL_QSPI_STATE_READY);
            // A 2.848 ms read with a 1 ms time-out, counted from the call's start. It
            // ends READY, as the vendor's Receive does, but the peripheral stays busy
            // with its FIFO full: a new command waits for it in vain.
            HAL_StatusTypeDef short_read = HAL_OK;
            read(0, 256, 1, &short_read);
            EXPECT_EQ(short_read, HAL_ERROR);
            EXPECT_EQ(HAL_QSPI_GetError(&hqspi), HAL_QSPI_ERROR_TIMEOUT);
            EXPECT_EQ(HAL_QSPI_GetState(&hqspi), HAL_QSPI_STATE_READY);
            EXPECT_EQ(simple(0x06, 10), HAL_ERROR);
            EXPECT_TRUE(__HAL_QSPI_GET_FLAG(&hqspi, QSPI_FLAG_BUSY));
        },
        200 * kMs);
    EXPECT_EQ(overlap, HAL_BUSY);
}

// ---- NOR chip -----------------------------------------------------------------

TEST_F(Storage, NorProgramOnlyClearsBitsAndWrapsWithinItsPage) {
    cycle(
        [] {
            chip_ready();
            program(0x100, {0xF0, 0x3C});
            wait_idle();
            program(0x100, {0x0F, 0xFF});
            wait_idle();
            program(0x2FE, {0xA1, 0xA2, 0xA3, 0xA4});  // offset 254: two bytes wrap to 0x200
            wait_idle();
        },
        100 * kMs);
    EXPECT_EQ(nor(0x100, 3), (std::vector<uint8_t>{0x00, 0x3C, 0xFF}));
    EXPECT_EQ(nor(0x2FE, 2), (std::vector<uint8_t>{0xA1, 0xA2}));
    EXPECT_EQ(nor(0x200, 3), (std::vector<uint8_t>{0xA3, 0xA4, 0xFF}));
    EXPECT_EQ(nor(0x300, 1), (std::vector<uint8_t>{0xFF}));
}

// The latch must be set, the chip must not be busy, and its busy time is the
// datasheet's (typical, or maximum when the scenario asks).
TEST_F(Storage, NorWriteEnableBusyAndEraseTimes) {
    struct Row {
        uint8_t op;
        uint32_t size;
        Time typical, maximum;
    } rows[] = {{0x34, 0, 700000, 3000000},
                {0x21, 4096, 50 * kMs, 400 * kMs},
                {0x52, 32768, 120 * kMs, 1600 * kMs},
                {0xDC, 65536, 150 * kMs, 2000 * kMs}};
    const uint32_t base = 0x20000;
    for (const Row &r : rows) {
        for (const bool max : {false, true}) {
            Time busy_for = 0;
            uint8_t wel_during = 0, wel_after = 0;
            std::vector<uint8_t> during;
            auto start = [&] {
                if (r.op == 0x34) {
                    program(base + 0x10, {0x55}, false);
                } else {
                    QSPI_CommandTypeDef c = addressed(r.op, base + 0x10, 32, 1);
                    HAL_QSPI_Command(&hqspi, &c, kTimeout);
                }
            };
            const fixture::Run run = cycle(
                [&] {
                    chip_ready();
                    simple(0xB7);  // 4-byte mode, so that 0x52 takes a 32-bit address
                    program(base, std::vector<uint8_t>(16, 0x00));
                    wait_idle();
                    program(base + (r.size ? r.size : 0x20), {0x00});
                    wait_idle();
                    start();  // the latch is clear: ignored
                    simple(0x06);
                    const Time t0 = sim::board().now();
                    start();
                    wel_during = status(0x05) & 0x02;
                    during = read(base, 1);  // ignored while busy: undriven lines
                    while (status(0x05) & 1) HAL_Delay(0);
                    busy_for = sim::board().now() - t0;
                    wel_after = status(0x05) & 0x02;
                },
                3000 * kMs, max ? "flash-timing maximum\n" : "");
            const Time expect = max ? r.maximum : r.typical;
            const std::string row = std::to_string(r.op) + (max ? " maximum" : " typical");
            // The frame itself (under 0.25 ms), then polls of 85 us at most one tick apart.
            EXPECT_GE(busy_for, expect) << row;
            EXPECT_LT(busy_for, expect + 2 * kMs) << row;
            EXPECT_EQ(wel_during, 0x02) << row;
            EXPECT_EQ(wel_after, 0) << row;
            EXPECT_EQ(during, std::vector<uint8_t>{0x00}) << row;
            EXPECT_EQ(records(run.trace, "nor_ignored").size(), 2u) << row;
            if (r.op == 0x34) {
                EXPECT_EQ(nor(base + 0x10, 1), std::vector<uint8_t>{0x55}) << row;
            } else {
                // The erase covers its aligned unit, nothing after it.
                EXPECT_EQ(nor(base, 1), std::vector<uint8_t>{0xFF}) << row;
                EXPECT_EQ(nor(base + r.size - 1, 2), (std::vector<uint8_t>{0xFF, 0x00})) << row;
                EXPECT_EQ(nor(base + 0x10, 1), std::vector<uint8_t>{0xFF}) << row;
            }
        }
    }
}

unsigned ones(const std::vector<uint8_t> &d) {
    unsigned n = 0;
    for (uint8_t b : d) n += static_cast<unsigned>(__builtin_popcount(b));
    return n;
}

TEST_F(Storage, NorAddressModeAndPowerDownSurviveStandbyButNotAPowerCut) {
    auto kept = [&] {
        sim::BoardDir d;
        std::string err;
        EXPECT_TRUE(d.open(dir_, err)) << err;
        return d.nor_state();
    };
    // 1: a fresh chip is in 3-byte mode, where 0x52 takes a 24-bit address and
    // ignores a 32-bit one; then 4-byte mode, latch set, power-down, standby.
    fixture::Run r = cycle(
        [] {
            chip_ready();
            erase(0x52, 0x8000);      // 32-bit address in 3-byte mode: ignored
            erase(0x52, 0x8000, 24);  // taken
            wait_idle();
            simple(0xB7);
            simple(0x06);
            simple(0xB9);
            HAL_PWR_EnterSTANDBYMode();
        },
        500 * kMs);
    EXPECT_EQ(r.result.ending, sim::Ending::Standby);
    EXPECT_EQ(records(r.trace, "nor_ignored").size(), 1u);
    EXPECT_EQ(records(r.trace, "nor_erase").size(), 1u);
    sim::NorState s = kept();
    EXPECT_TRUE(s.four_byte && s.write_enable && s.power_down);

    // 2: the wake-up reset finds the chip asleep; the release wakes it in the state it
    // had. Then ADP is set and the power fails.
    uint8_t asleep = 0xEE, id = 0, sr3 = 0, sr1 = 0;
    r = cycle(
        [&] {
            qspi_init();
            asleep = status(0x15);
            id = device_id();
            sr3 = status(0x15);
            sr1 = status(0x05);
            write_status(0x11, static_cast<uint8_t>(sr3 | 0x02));
            wait_idle();
            fixture::idle();
        },
        100 * kMs, "at 50ms power-cut\n");
    EXPECT_EQ(r.result.ending, sim::Ending::PowerCut);
    EXPECT_EQ(asleep, 0x00);  // ignored in power-down
    EXPECT_EQ(id, 0x18);
    EXPECT_EQ(sr3 & 0x01, 0x01);  // ADS
    EXPECT_EQ(sr1 & 0x02, 0x02);  // WEL
    s = kept();
    EXPECT_EQ(s.status3, 0x62);
    EXPECT_TRUE(s.four_byte);  // from ADP at the next power-up
    EXPECT_FALSE(s.write_enable || s.power_down);

    // 3: powered up in 4-byte mode from ADP; clearing ADP and the mode ends, after
    // the next power loss, in 3-byte mode. The end of the run takes the supply: an
    // erase still running is left half done.
    uint8_t at_power_up = 0;
    r = cycle(
        [&] {
            qspi_init();
            at_power_up = status(0x15);
            write_status(0x11, 0x60);
            wait_idle();
            program(0x4000, std::vector<uint8_t>(64, 0x00));
            wait_idle();
            erase(0x21, 0x4000);
            HAL_Delay(20);
        },
        100 * kMs);
    EXPECT_EQ(at_power_up, 0x63);
    EXPECT_EQ(records(r.trace, "storage_interrupted").size(), 1u);
    EXPECT_LT(ones(nor(0x4000, 64)), 64u * 8);
    s = kept();
    EXPECT_FALSE(s.four_byte);
    EXPECT_EQ(s.status3, 0x60);

    // 4: standby keeps the supply: an erase running as it begins completes.
    r = cycle(
        [] {
            qspi_init();
            erase(0x21, 0x4000);
            HAL_PWR_EnterSTANDBYMode();
        },
        100 * kMs);
    EXPECT_TRUE(records(r.trace, "storage_interrupted").empty());
    EXPECT_EQ(nor(0x4000, 64), std::vector<uint8_t>(64, 0xFF));
}

// ---- internal flash -----------------------------------------------------------

TEST_F(Storage, IntflashWordPairsErrorsReadsByAddressAndEraseStall) {
    constexpr uint32_t A = 0x0803F000u;
    struct Step {
        const char *what;
        std::function<HAL_StatusTypeDef()> call;
        HAL_StatusTypeDef status;
        uint32_t error;
    };
    auto word = [](uint32_t a, uint32_t d) {
        return [a, d] { return HAL_FLASH_Program_Word(a, d); };
    };
    auto erase_pages = [](uint32_t first, uint32_t n) {
        return [first, n] {
            FLASH_EraseInitTypeDef e = {FLASH_TYPEERASE_PAGES, FLASH_BANK_1, first, n};
            uint32_t page_error = 0;
            return HAL_FLASHEx_Erase(&e, &page_error);
        };
    };
    const std::vector<Step> steps = {
        {"first word", word(A, 0x11111111), HAL_OK, 0},
        {"its second", word(A + 4, 0x22222222), HAL_OK, 0},
        {"a second word alone", word(A + 12, 1), HAL_ERROR, HAL_FLASH_ERROR_PGA},
        {"first word", word(A + 8, 0x33333333), HAL_OK, 0},
        {"an erase while it waits", erase_pages(127, 1), HAL_ERROR, HAL_FLASH_ERROR_PGS},
        {"first word", word(A + 8, 0x33333333), HAL_OK, 0},
        {"another first word", word(A + 16, 5), HAL_ERROR, HAL_FLASH_ERROR_PGS},
        {"first word", word(A + 8, 0x33333333), HAL_OK, 0},
        {"the second word of another double word", word(A + 20, 6), HAL_ERROR, HAL_FLASH_ERROR_PGS},
        {"not erased", word(A, 0x44444444), HAL_OK, 0},
        {"not erased, second", word(A + 4, 0x55555555), HAL_ERROR, HAL_FLASH_ERROR_PROG},
        {"zeros over data", word(A + 24, 0), HAL_OK, 0},
        {"zeros over data, second", word(A + 28, 0), HAL_OK, 0},
        {"a half-word address", word(A + 2, 7), HAL_ERROR, HAL_FLASH_ERROR_SIZ},
        {"double word",
         [] {
             return HAL_FLASH_Program(FLASH_TYPEPROGRAM_DOUBLEWORD, A + 32, 0x0123456789ABCDEFull);
         },
         HAL_OK, 0},
        {"double word misaligned",
         [] { return HAL_FLASH_Program(FLASH_TYPEPROGRAM_DOUBLEWORD, A + 44, 1); }, HAL_ERROR,
         HAL_FLASH_ERROR_PGA},
        {"lock", [] { return HAL_FLASH_Lock(); }, HAL_OK, 0},
        {"program while locked", word(A + 48, 1), HAL_ERROR, HAL_FLASH_ERROR_PGS},
        {"erase while locked: ignored", erase_pages(126, 2), HAL_OK, 0},
    };
    std::vector<std::pair<HAL_StatusTypeDef, uint32_t>> got;
    uint32_t words[12] = {};
    cycle(
        [&] {
            HAL_Init();
            HAL_FLASH_Unlock();
            for (const Step &s : steps) {
                const HAL_StatusTypeDef st = s.call();
                got.emplace_back(st, HAL_FLASH_GetError());
            }
            std::memcpy(words, reinterpret_cast<const void *>(uintptr_t{A}), sizeof words);
            // A page erase stalls the core for 22.02 ms; one tick is taken after each
            // page, the others are lost.
            HAL_FLASH_Unlock();
            FLASH_EraseInitTypeDef e = {FLASH_TYPEERASE_PAGES, FLASH_BANK_1, 126, 2};
            uint32_t page_error = 0;
            const uint32_t tick0 = HAL_GetTick();
            EXPECT_EQ(time_without_hal_calls([&] { HAL_FLASHEx_Erase(&e, &page_error); }),
                      2 * 22020000u);
            EXPECT_EQ(HAL_GetTick() - tick0, 2u);
            EXPECT_EQ(page_error, 0xFFFFFFFFu);
            EXPECT_EQ(*reinterpret_cast<volatile const uint32_t *>(uintptr_t{A}), 0xFFFFFFFFu);
        },
        100 * kMs);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(got[i].first, steps[i].status) << steps[i].what;
        if (steps[i].status != HAL_OK) {
            EXPECT_EQ(got[i].second, steps[i].error) << steps[i].what;
        }
    }
    const uint32_t expect[12] = {0x11111111, 0x22222222, 0xFFFFFFFF, 0xFFFFFFFF,
                                 0xFFFFFFFF, 0xFFFFFFFF, 0,          0,
                                 0x89ABCDEF, 0x01234567, 0xFFFFFFFF, 0xFFFFFFFF};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(words[i], expect[i]) << "word " << i;
}

TEST(StorageSetUp, ATakenFlashAddressRangeRefusesTheRun) {
    void *taken = ::mmap(reinterpret_cast<void *>(uintptr_t{0x08000000}), 4096, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    ASSERT_EQ(taken, reinterpret_cast<void *>(uintptr_t{0x08000000}));
    bool ran = false;
    const fixture::Run r = fixture::run([&] { ran = true; }, kMs);
    ::munmap(taken, 4096);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(r.result.setup_failed);
    EXPECT_NE(r.result.reason.find("internal flash at 0x08000000"), std::string::npos)
        << r.result.reason;
    EXPECT_NE(r.result.reason.find("position-independent"), std::string::npos) << r.result.reason;
}

// ---- RTC ----------------------------------------------------------------------

RTC_HandleTypeDef hrtc;

void rtc_clock_on() {
    board_setup::rtc_clock();
    hrtc = RTC_HandleTypeDef{};
    hrtc.Instance = RTC;
    hrtc.Init.HourFormat = RTC_HOURFORMAT_24;
    hrtc.Init.AsynchPrediv = 127;
    hrtc.Init.SynchPrediv = 255;
}

// Without access to the backup domain the backup registers ignore writes and the
// calendar cannot be set. Then the 12-hour format and BCD fields as the firmware may
// use them, the end of the century, reads that bypass the shadow registers, a
// calendar that stands while its clock is off, and the tear-down to the reset calendar.
TEST_F(Storage, RtcProtectionTwelveHoursBcdShadowsStoppedClockAndTearDown) {
    cycle(
        [] {
            using Fields = std::vector<int>;
            HAL_Init();
            rtc_clock_on();
            HAL_PWR_DisableBkUpAccess();
            HAL_RTCEx_BKUPWrite(&hrtc, RTC_BKP_DR1, 5);
            EXPECT_EQ(HAL_RTCEx_BKUPRead(&hrtc, RTC_BKP_DR1), 0u);
            RTC_TimeTypeDef t = {};
            const Time t0 = sim::board().now();
            EXPECT_EQ(HAL_RTC_SetTime(&hrtc, &t, RTC_FORMAT_BIN), HAL_TIMEOUT);
            const Time took = sim::board().now() - t0;
            EXPECT_GE(took, 1000 * kMs);
            EXPECT_LE(took, 1002 * kMs);
            HAL_PWR_EnableBkUpAccess();
            hrtc.Init.HourFormat = RTC_HOURFORMAT_12;
            ASSERT_EQ(HAL_RTC_Init(&hrtc), HAL_OK);
            EXPECT_EQ(HAL_RTC_GetState(&hrtc), HAL_RTC_STATE_READY);
            t.Hours = 0x11;  // 11:59:59 PM
            t.Minutes = t.Seconds = 0x59;
            t.TimeFormat = RTC_HOURFORMAT12_PM;
            ASSERT_EQ(HAL_RTC_SetTime(&hrtc, &t, RTC_FORMAT_BCD), HAL_OK);
            RTC_DateTypeDef d = {RTC_WEEKDAY_THURSDAY, 0x12, 0x31, 0x99};
            ASSERT_EQ(HAL_RTC_SetDate(&hrtc, &d, RTC_FORMAT_BCD), HAL_OK);
            HAL_Delay(1500);  // 12:00:00.5 AM, 2000-01-01
            HAL_RTCEx_EnableBypassShadow(&hrtc);
            EXPECT_EQ(HAL_RTC_WaitForSynchro(&hrtc), HAL_OK);
            HAL_RTC_GetTime(&hrtc, &t, RTC_FORMAT_BIN);
            HAL_RTC_GetDate(&hrtc, &d, RTC_FORMAT_BIN);
            EXPECT_EQ((Fields{t.Hours, t.TimeFormat, t.Minutes, t.Seconds}),
                      (Fields{12, RTC_HOURFORMAT12_AM, 0, 0}));
            EXPECT_EQ((Fields{d.Year, d.Month, d.Date, d.WeekDay}),
                      (Fields{0, 1, 1, RTC_WEEKDAY_FRIDAY}));
            HAL_RTCEx_DisableBypassShadow(&hrtc);
            // The clock stops and starts where RTCEN is written, whatever call
            // comes next.
            __HAL_RCC_RTC_DISABLE();
            HAL_Delay(2000);
            HAL_RTC_GetTime(&hrtc, &t, RTC_FORMAT_BIN);
            EXPECT_EQ(t.Seconds, 0);  // two seconds with the clock off
            __HAL_RCC_RTC_ENABLE();
            HAL_Delay(1000);
            HAL_RTC_GetTime(&hrtc, &t, RTC_FORMAT_BCD);
            EXPECT_EQ(t.Seconds, 1);
            ASSERT_EQ(HAL_RTC_DeInit(&hrtc), HAL_OK);
            EXPECT_EQ(HAL_RTC_GetState(&hrtc), HAL_RTC_STATE_RESET);
            HAL_RTC_GetDate(&hrtc, &d, RTC_FORMAT_BCD);
            EXPECT_EQ((Fields{d.Year, d.Month, d.Date}), (Fields{0, 1, 1}));
        },
        7000 * kMs);
}

// ---- faults and power cuts ----------------------------------------------------

// The failures the device-image tests do not meet: a NOR erase that changes nothing,
// and an internal-flash program refused with nothing stored. (A missing or stuck chip,
// a failed NOR program and a refused page erase are met there.)
TEST_F(Storage, EraseAndInternalProgramFaults) {
    struct Row {
        const char *fault;
        bool (*shows)();  // runs on the board; true when the fault shows
    } rows[] = {
        {"at 0ms fault nor-erase always",
         [] {
             program(0x1000, {0x00});
             wait_idle();
             erase(0x21, 0x1000);
             wait_idle();
             return read(0x1000, 1)[0] == 0x00;
         }},
        {"at 0ms fault intflash-program",
         [] {
             HAL_FLASH_Unlock();
             HAL_FLASH_Program_Word(0x0803F000u, 1);
             return HAL_FLASH_Program_Word(0x0803F004u, 2) == HAL_ERROR &&
                    HAL_FLASH_GetError() == HAL_FLASH_ERROR_WRP &&
                    *reinterpret_cast<volatile uint32_t *>(uintptr_t{0x0803F000u}) == 0xFFFFFFFFu;
         }},
    };
    for (const Row &r : rows) {
        fresh();
        bool shows = false;
        const fixture::Run run = cycle(
            [&] {
                chip_ready();
                shows = r.shows();
            },
            1000 * kMs, std::string(r.fault) + "\n");
        EXPECT_TRUE(shows) << r.fault;
        EXPECT_EQ(records(run.trace, "storage_fault").size(), 1u) << r.fault;
    }
}


// A workload of one program, an erase and another program on each flash; the
// scenario's cut lands on one of them.
void workload() {
    chip_ready();
    program(0x4000, std::vector<uint8_t>(64, 0x00));  // NOR op 1
    wait_idle();
    erase(0x21, 0x4000);  // NOR op 2: 50 ms
    wait_idle();
    program(0x4100, std::vector<uint8_t>(40, 0x00));  // NOR op 3
    wait_idle();
    HAL_FLASH_Unlock();
    for (uint32_t a = 0; a < 32; a += 8) {  // intflash ops 1..8: four double words per page
        HAL_FLASH_Program(FLASH_TYPEPROGRAM_DOUBLEWORD, 0x0803F000u + a, 0);
        HAL_FLASH_Program(FLASH_TYPEPROGRAM_DOUBLEWORD, 0x0803F800u + a, 0);
    }
    FLASH_EraseInitTypeDef e = {FLASH_TYPEERASE_PAGES, FLASH_BANK_1, 126, 2};  // ops 9, 10
    uint32_t page_error = 0;
    HAL_FLASHEx_Erase(&e, &page_error);
}

TEST_F(Storage, PowerCutsLeaveWhatTheyInterruptHalfDone) {
    const std::vector<uint8_t> erased(64, 0xFF), zeros(64, 0x00);
    struct Row {
        const char *cut;
        std::function<void(Storage &)> check;
    } rows[] = {
        {"power-cut nor-program 1",  // as it starts: nothing programmed
         [&](Storage &t) { EXPECT_EQ(t.nor(0x4000, 64), erased); }},
        {"power-cut nor-program 1 at 50%",  // 32 bytes done, the 33rd partly
         [&](Storage &t) {
             const std::vector<uint8_t> d = t.nor(0x4000, 64);
             EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 32),
                       std::vector<uint8_t>(32, 0));
             EXPECT_EQ(std::vector<uint8_t>(d.begin() + 33, d.end()),
                       std::vector<uint8_t>(31, 0xFF));
         }},
        {"power-cut nor-erase 1 at 40%",  // some of the programmed bits raised
         [&](Storage &t) {
             const unsigned n = ones(t.nor(0x4000, 64));
             EXPECT_GT(n, 64u * 8 * 25 / 100);
             EXPECT_LT(n, 64u * 8 * 55 / 100);
         }},
        {"at 30ms power-cut",  // timed, during the erase (from about 12.5 ms to 62.5 ms)
         [&](Storage &t) {
             const unsigned n = ones(t.nor(0x4000, 64));
             EXPECT_GT(n, 0u);
             EXPECT_LT(n, 64u * 8);
         }},
        {"power-cut nor 3 at 99.9999%",  // the program after the erase, all but its last byte
         [&](Storage &t) {
             const std::vector<uint8_t> d = t.nor(0x4100, 40);
             EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 39),
                       std::vector<uint8_t>(39, 0));
         }},
        {"power-cut intflash-program 8",  // as it starts: the fourth double word of page 127
         [&](Storage &t) {
             EXPECT_EQ(t.intflash(0x3F817, 2), (std::vector<uint8_t>{0x00, 0xFF}));
         }},
        {"power-cut any 13 at 50%",  // NOR 3, intflash 8, then page 126 and half of page 127
         [&](Storage &t) {
             EXPECT_EQ(t.intflash(0x3F000, 1)[0], 0xFF);
             const std::vector<uint8_t> p127 = t.intflash(0x3F800, 32);
             EXPECT_GT(ones(p127), 32u * 8 * 25 / 100);
             EXPECT_LT(ones(p127), 32u * 8 * 75 / 100);
         }},
    };
    for (const Row &r : rows) {
        fresh();
        const fixture::Run run = cycle(workload, 1000 * kMs, std::string(r.cut) + "\n");
        EXPECT_EQ(run.result.ending, sim::Ending::PowerCut) << r.cut;
        EXPECT_EQ(records(run.trace, "power_cut").size(), 1u) << r.cut;
        r.check(*this);
    }
}

TEST_F(Storage, CutsAreDeterministicAndTheSeedChangesTheHalfDoneCells) {
    std::vector<std::vector<uint8_t>> cells;
    for (const char *seed : {"", "", "seed 7\n"}) {
        fresh();
        cycle(workload, 1000 * kMs, std::string(seed) + "power-cut nor-erase 1 at 50%\n");
        cells.push_back(nor(0x4000, 64));
    }
    EXPECT_EQ(cells[0], cells[1]);
    EXPECT_NE(cells[0], cells[2]);
}

}  // namespace
