// Storage peripherals through the HAL calls the firmware makes: QUADSPI bus time and
// handle rules, the NOR chip's command rules, busy times and persistence across
// standby and power cuts, the internal flash's pairing and errors and its reads by
// address, the RTC across runs with a time without power, the failures the device
// images do not meet, and every cut kind.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
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
constexpr uint32_t kTimeout = 5000;  // the driver's time-out on every QUADSPI call
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

// ---- the firmware side: what the NOR driver does, through the HAL -------------

QSPI_HandleTypeDef hqspi;

HAL_StatusTypeDef qspi_init() {
    HAL_Init();
    return board_setup::qspi(hqspi);
}

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

HAL_StatusTypeDef simple(uint8_t op, uint32_t timeout = kTimeout) {
    QSPI_CommandTypeDef c = command(op);
    return HAL_QSPI_Command(&hqspi, &c, timeout);
}

uint8_t status(int reg) {
    QSPI_CommandTypeDef c = command(reg == 1 ? 0x05 : reg == 2 ? 0x35 : 0x15);
    c.DataMode = QSPI_DATA_1_LINE;
    c.NbData = 1;
    uint8_t v = 0xEE;
    if (HAL_QSPI_Command(&hqspi, &c, kTimeout) != HAL_OK ||
        HAL_QSPI_Receive(&hqspi, &v, kTimeout) != HAL_OK)
        return 0xEE;
    return v;
}

HAL_StatusTypeDef write_status(int reg, uint8_t value) {
    simple(0x06);
    QSPI_CommandTypeDef c = command(reg == 1 ? 0x01 : reg == 2 ? 0x31 : 0x11);
    c.DataMode = QSPI_DATA_1_LINE;
    c.NbData = 1;
    HAL_StatusTypeDef s = HAL_QSPI_Command(&hqspi, &c, kTimeout);
    return s == HAL_OK ? HAL_QSPI_Transmit(&hqspi, &value, kTimeout) : s;
}

void wait_idle() {
    while (status(1) & 1) HAL_Delay(1);
}

QSPI_CommandTypeDef addressed(uint8_t op, uint32_t addr, uint32_t bits, uint32_t lines) {
    QSPI_CommandTypeDef c = command(op);
    c.Address = addr;
    c.AddressSize = bits == 24 ? QSPI_ADDRESS_24_BITS : QSPI_ADDRESS_32_BITS;
    c.AddressMode = lines == 4 ? QSPI_ADDRESS_4_LINES : QSPI_ADDRESS_1_LINE;
    return c;
}

HAL_StatusTypeDef program(uint32_t addr, const std::vector<uint8_t> &data,
                          bool write_enable = true) {
    if (write_enable)
        simple(0x06);
    QSPI_CommandTypeDef c = addressed(0x34, addr, 32, 1);
    c.DataMode = QSPI_DATA_4_LINES;
    c.NbData = static_cast<uint32_t>(data.size());
    std::vector<uint8_t> buf = data;
    HAL_StatusTypeDef s = HAL_QSPI_Command(&hqspi, &c, kTimeout);
    return s == HAL_OK ? HAL_QSPI_Transmit(&hqspi, buf.data(), kTimeout) : s;
}

HAL_StatusTypeDef erase(uint8_t op, uint32_t addr, uint32_t bits = 32) {
    simple(0x06);
    QSPI_CommandTypeDef c = addressed(op, addr, bits, 1);
    return HAL_QSPI_Command(&hqspi, &c, kTimeout);
}

std::vector<uint8_t> read(uint32_t addr, uint32_t n, uint32_t timeout = kTimeout,
                          HAL_StatusTypeDef *result = nullptr) {
    QSPI_CommandTypeDef c = addressed(0xEC, addr, 32, 4);
    c.DummyCycles = 6;
    c.DataMode = QSPI_DATA_4_LINES;
    c.NbData = n;
    std::vector<uint8_t> d(n, 0xEE);
    HAL_StatusTypeDef s = HAL_QSPI_Command(&hqspi, &c, kTimeout);
    if (s == HAL_OK)
        s = HAL_QSPI_Receive(&hqspi, d.data(), timeout);
    if (result)
        *result = s;
    return d;
}

uint8_t device_id() {
    QSPI_CommandTypeDef c = addressed(0xAB, 0, 24, 1);
    c.DataMode = QSPI_DATA_1_LINE;
    c.NbData = 1;
    uint8_t id = 0;
    if (HAL_QSPI_Command(&hqspi, &c, kTimeout) == HAL_OK)
        HAL_QSPI_Receive(&hqspi, &id, kTimeout);
    return id;
}

// Start-up as the driver does it: wake, quad lines on.
void chip_ready() {
    qspi_init();
    device_id();
    if (!(status(2) & 0x02)) {
        write_status(2, static_cast<uint8_t>(status(2) | 0x02));
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
        {"status read, 8 + 8", [] { status(1); }, 85334},
        {"device ID, 8 + 24 + 8", [] { device_id(); }, 213334},
        {"sector erase, 8 + 32",
         [] {
             QSPI_CommandTypeDef c = addressed(0x21, 0x1000, 32, 1);
             HAL_QSPI_Command(&hqspi, &c, kTimeout);
         },
         213334},
        {"14-byte quad program, 8 + 32 + 28",
         [] { program(0x2000, std::vector<uint8_t>(14, 0), false); }, 362667},
        {"8-byte quad read, 8 + 8 + 6 + 16", [] { read(0, 8); }, 202667},
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
    HAL_StatusTypeDef uninit = HAL_OK, zero = HAL_OK, after_zero = HAL_OK, overlap = HAL_OK,
                      short_read = HAL_OK, after_short = HAL_OK;
    uint32_t zero_error = 0, short_error = 0;
    HAL_QSPI_StateTypeDef zero_state = HAL_QSPI_STATE_RESET, short_state = HAL_QSPI_STATE_RESET;
    uint8_t wel_after_zero = 0;
    bool busy_after_zero = false, busy_after_short = false;
    HAL_StatusTypeDef odd = HAL_OK;
    HAL_QSPI_StateTypeDef odd_state = HAL_QSPI_STATE_RESET;
    cycle(
        [&] {
            QSPI_HandleTypeDef never = {};
            never.Instance = QUADSPI;
            QSPI_CommandTypeDef c = command(0x06);
            uninit = HAL_QSPI_Command(&never, &c, kTimeout);  // state RESET: busy
            chip_ready();
            // Time-out 0: the flag is not there at once, so the call fails, the
            // handle stays in ERROR and refuses the next call; the frame still
            // reaches the chip.
            zero = simple(0x06, 0);
            // The frame is still on the bus; firmware polling BUSY sees it end.
            busy_after_zero = __HAL_QSPI_GET_FLAG(&hqspi, QSPI_FLAG_BUSY);
            while (__HAL_QSPI_GET_FLAG(&hqspi, QSPI_FLAG_BUSY)) HAL_GetTick();
            zero_error = HAL_QSPI_GetError(&hqspi);
            zero_state = HAL_QSPI_GetState(&hqspi);
            after_zero = simple(0x04);
            qspi_init();
            EXPECT_EQ(HAL_QSPI_SetFifoThreshold(&hqspi, 4), HAL_OK);
            EXPECT_EQ(HAL_QSPI_GetFifoThreshold(&hqspi), 4u);
            EXPECT_EQ(QUADSPI->CR & QUADSPI_CR_FTHRES, 3u << QUADSPI_CR_FTHRES_Pos);
            wel_after_zero = status(1) & 0x02;
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
            odd = HAL_QSPI_Receive_16(&hqspi, back, kTimeout);
            odd_state = HAL_QSPI_GetState(&hqspi);
            // A 2.848 ms read with a 1 ms time-out, counted from the call's start.
            // The peripheral stays busy with its FIFO full: a new command waits for it
            // in vain.
            read(0, 256, 1, &short_read);
            short_error = HAL_QSPI_GetError(&hqspi);
            short_state = HAL_QSPI_GetState(&hqspi);
            after_short = simple(0x06, 10);
            busy_after_short = __HAL_QSPI_GET_FLAG(&hqspi, QSPI_FLAG_BUSY);
        },
        200 * kMs);
    EXPECT_EQ(uninit, HAL_BUSY);
    EXPECT_EQ(zero, HAL_ERROR);
    EXPECT_EQ(zero_error, HAL_QSPI_ERROR_TIMEOUT);
    EXPECT_EQ(zero_state, HAL_QSPI_STATE_ERROR);
    EXPECT_EQ(after_zero, HAL_BUSY);
    EXPECT_EQ(wel_after_zero, 0x02);
    EXPECT_EQ(overlap, HAL_BUSY);
    EXPECT_EQ(short_read, HAL_ERROR);
    EXPECT_EQ(short_error, HAL_QSPI_ERROR_TIMEOUT);
    EXPECT_EQ(short_state, HAL_QSPI_STATE_READY);  // the vendor's Receive ends READY
    EXPECT_EQ(after_short, HAL_ERROR);
    EXPECT_TRUE(busy_after_zero);
    EXPECT_TRUE(busy_after_short);
    EXPECT_EQ(odd, HAL_ERROR);
    EXPECT_EQ(odd_state, HAL_QSPI_STATE_READY);
}

// The 16-byte FIFO lets the bus run ahead of a core held up by an interrupt; once
// it is full the serial clock stops until the core reads again. A 1 ms handler comes
// 1 ms (187.5 cycles) into a 2.848 ms read, while byte 82 shifts (cycles 186 to 188
// after the 22-cycle header; the core has read bytes 0 to 81). Bytes 82 to 97 fill
// the FIFO by cycle 218 (1.162667 ms); the clock stops until the handler returns at
// 2 ms: 837.333 us more.
TEST_F(Storage, QspiBusStopsWhenTheFifoIsFull) {
    Time took = 0;
    cycle(
        [&] {
            chip_ready();
            fixture::hooks.tim7 = [] {
                HAL_TIM_Base_Stop_IT(&fixture::htim7);    // once
                for (int i = 0; i < 48000; ++i) __NOP();  // 1 ms at 48 MHz
            };
            fixture::init_tim(fixture::htim7, TIM7, 47, 999, TIM7_IRQn, 2);
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            took = time_without_hal_calls([] { read(0, 256); });
        },
        100 * kMs);
    EXPECT_NEAR(static_cast<double>(took), 2848000.0 + 837333.0, kHalfSerialClockNs);
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
                    wel_during = status(1) & 0x02;
                    during = read(base, 1);  // ignored while busy: undriven lines
                    while (status(1) & 1) HAL_Delay(0);
                    busy_for = sim::board().now() - t0;
                    wel_after = status(1) & 0x02;
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
            asleep = status(3);
            id = device_id();
            sr3 = status(3);
            sr1 = status(1);
            write_status(3, static_cast<uint8_t>(sr3 | 0x02));
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
    // the next power loss, in 3-byte mode.
    uint8_t at_power_up = 0;
    cycle(
        [&] {
            qspi_init();
            at_power_up = status(3);
            write_status(3, 0x60);
            wait_idle();
        },
        100 * kMs);
    EXPECT_EQ(at_power_up, 0x63);
    s = kept();
    EXPECT_FALSE(s.four_byte);
    EXPECT_EQ(s.status3, 0x60);
}

// ---- internal flash -----------------------------------------------------------

TEST_F(Storage, IntflashWordPairsErrorsAndReadsByAddress) {
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
    uint16_t size_register = 0;
    cycle(
        [&] {
            HAL_Init();
            HAL_FLASH_Unlock();
            for (const Step &s : steps) {
                const HAL_StatusTypeDef st = s.call();
                got.emplace_back(st, HAL_FLASH_GetError());
            }
            std::memcpy(words, reinterpret_cast<const void *>(uintptr_t{A}), sizeof words);
            size_register = *reinterpret_cast<volatile const uint16_t *>(uintptr_t{0x1FFF75E0});
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
    EXPECT_EQ(size_register, 256);
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

TEST_F(Storage, IntflashEraseStallsTheCore) {
    Time took = 0;
    uint32_t ticks = 0, page_error = 0;
    uint8_t first = 0;
    cycle(
        [&] {
            HAL_Init();
            HAL_FLASH_Unlock();
            HAL_FLASH_Program(FLASH_TYPEPROGRAM_DOUBLEWORD, 0x0803F800u, 0);
            FLASH_EraseInitTypeDef e = {FLASH_TYPEERASE_PAGES, FLASH_BANK_1, 126, 2};
            const uint32_t tick0 = HAL_GetTick();
            took = time_without_hal_calls([&] { HAL_FLASHEx_Erase(&e, &page_error); });
            ticks = HAL_GetTick() - tick0;
            first = *reinterpret_cast<volatile const uint8_t *>(uintptr_t{0x0803F800u});
        },
        100 * kMs);
    EXPECT_EQ(took, 2 * 22020000u);  // two pages of 22.02 ms
    EXPECT_EQ(ticks, 2u);            // one tick taken after each page: the others were lost
    EXPECT_EQ(page_error, 0xFFFFFFFFu);
    EXPECT_EQ(first, 0xFF);
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

TEST_F(Storage, RtcCalendarRunsAcrossRunsAndThroughTimeWithoutPower) {
    cycle(
        [] {
            HAL_Init();
            rtc_clock_on();
            HAL_RTC_Init(&hrtc);
            RTC_TimeTypeDef t = {};
            t.Hours = 23;
            t.Minutes = 59;
            t.Seconds = 58;
            RTC_DateTypeDef d = {RTC_WEEKDAY_WEDNESDAY, 2, 28, 24};
            HAL_RTC_SetDate(&hrtc, &d, RTC_FORMAT_BIN);
            HAL_RTC_SetTime(&hrtc, &t, RTC_FORMAT_BIN);
            HAL_RTCEx_BKUPWrite(&hrtc, RTC_BKP_DR0, 0x32F2);
            HAL_Delay(1000);
        },
        2000 * kMs);
    // 23:59:59 and a little when the first run ended; a day and a second without
    // power: Friday 2024-03-01 00:00:00 (2024 has a 29 February).
    RTC_TimeTypeDef bin = {};
    RTC_DateTypeDef dbin = {};
    uint32_t mark = 0, unprotected = 0;
    HAL_StatusTypeDef set_without_access = HAL_OK;
    Time set_took = 0;
    cycle(
        [&] {
            HAL_RTC_GetTime(&hrtc, &bin, RTC_FORMAT_BIN);
            HAL_RTC_GetDate(&hrtc, &dbin, RTC_FORMAT_BIN);
            mark = HAL_RTCEx_BKUPRead(&hrtc, RTC_BKP_DR0);
            // Without backup domain access: writes ignored, initialisation times out.
            HAL_Init();
            HAL_RTCEx_BKUPWrite(&hrtc, RTC_BKP_DR1, 5);
            unprotected = HAL_RTCEx_BKUPRead(&hrtc, RTC_BKP_DR1);
            RTC_TimeTypeDef t = {};
            const Time t0 = sim::board().now();
            set_without_access = HAL_RTC_SetTime(&hrtc, &t, RTC_FORMAT_BIN);
            set_took = sim::board().now() - t0;
        },
        3000 * kMs, "", {}, (86400 + 1) * 1000 * kMs);
    using Fields = std::vector<int>;
    EXPECT_EQ((Fields{dbin.Year, dbin.Month, dbin.Date, dbin.WeekDay, bin.Hours, bin.Minutes,
                      bin.Seconds}),
              (Fields{24, 3, 1, RTC_WEEKDAY_FRIDAY, 0, 0, 0}));
    EXPECT_GT(bin.SubSeconds, 250u);  // a few ms into the second: 256 steps of 1/256 s
    EXPECT_EQ(mark, 0x32F2u);
    EXPECT_EQ(unprotected, 0u);
    EXPECT_EQ(set_without_access, HAL_TIMEOUT);
    EXPECT_GE(set_took, 1000 * kMs);
    EXPECT_LE(set_took, 1002 * kMs);
}

// The 12-hour format and BCD fields as the firmware may use them, the end of the
// century, reads that bypass the shadow registers, a calendar that stands while
// its clock is off, and the tear-down to the reset calendar.
TEST_F(Storage, RtcTwelveHoursBcdShadowsStoppedClockAndTearDown) {
    RTC_TimeTypeDef wrapped = {}, stopped = {}, later = {};
    RTC_DateTypeDef date = {}, reset = {};
    cycle(
        [&] {
            HAL_Init();
            rtc_clock_on();
            hrtc.Init.HourFormat = RTC_HOURFORMAT_12;
            ASSERT_EQ(HAL_RTC_Init(&hrtc), HAL_OK);
            EXPECT_EQ(HAL_RTC_GetState(&hrtc), HAL_RTC_STATE_READY);
            RTC_TimeTypeDef t = {};  // 11:59:59 PM
            t.Hours = 0x11;
            t.Minutes = t.Seconds = 0x59;
            t.TimeFormat = RTC_HOURFORMAT12_PM;
            ASSERT_EQ(HAL_RTC_SetTime(&hrtc, &t, RTC_FORMAT_BCD), HAL_OK);
            RTC_DateTypeDef d = {RTC_WEEKDAY_THURSDAY, 0x12, 0x31, 0x99};
            ASSERT_EQ(HAL_RTC_SetDate(&hrtc, &d, RTC_FORMAT_BCD), HAL_OK);
            HAL_Delay(1500);  // 12:00:00.5 AM, 2000-01-01
            HAL_RTCEx_EnableBypassShadow(&hrtc);
            EXPECT_EQ(HAL_RTC_WaitForSynchro(&hrtc), HAL_OK);
            HAL_RTC_GetTime(&hrtc, &wrapped, RTC_FORMAT_BIN);
            HAL_RTC_GetDate(&hrtc, &date, RTC_FORMAT_BIN);
            HAL_RTCEx_DisableBypassShadow(&hrtc);
            // The clock stops and starts where RTCEN is written, whatever call
            // comes next.
            __HAL_RCC_RTC_DISABLE();
            HAL_Delay(2000);
            HAL_RTC_GetTime(&hrtc, &stopped, RTC_FORMAT_BIN);
            __HAL_RCC_RTC_ENABLE();
            HAL_Delay(1000);
            HAL_RTC_GetTime(&hrtc, &later, RTC_FORMAT_BCD);
            ASSERT_EQ(HAL_RTC_DeInit(&hrtc), HAL_OK);
            EXPECT_EQ(HAL_RTC_GetState(&hrtc), HAL_RTC_STATE_RESET);
            HAL_RTC_GetDate(&hrtc, &reset, RTC_FORMAT_BCD);
        },
        6000 * kMs);
    using Fields = std::vector<int>;
    EXPECT_EQ((Fields{wrapped.Hours, wrapped.TimeFormat, wrapped.Minutes, wrapped.Seconds}),
              (Fields{12, RTC_HOURFORMAT12_AM, 0, 0}));
    EXPECT_EQ((Fields{date.Year, date.Month, date.Date, date.WeekDay}),
              (Fields{0, 1, 1, RTC_WEEKDAY_FRIDAY}));
    EXPECT_EQ(stopped.Seconds, 0);  // two seconds with the clock off
    EXPECT_EQ(later.Seconds, 1);
    EXPECT_EQ((Fields{reset.Year, reset.Month, reset.Date}), (Fields{0, 1, 1}));
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

unsigned ones(const std::vector<uint8_t> &d) {
    unsigned n = 0;
    for (uint8_t b : d) n += static_cast<unsigned>(__builtin_popcount(b));
    return n;
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
    auto image = [&](const std::string &scenario) {
        fresh();
        const fixture::Run run = cycle(workload, 1000 * kMs, scenario);
        return std::make_pair(nor(0x4000, 64), run.trace);
    };
    const auto a = image("power-cut nor-erase 1 at 50%\n");
    const auto b = image("power-cut nor-erase 1 at 50%\n");
    const auto c = image("seed 7\npower-cut nor-erase 1 at 50%\n");
    EXPECT_EQ(a.first, b.first);
    EXPECT_EQ(a.second, b.second);
    EXPECT_NE(a.first, c.first);
}

// At the end of a run the power goes; only standby and reset keep the supply, and
// an erase running then completes.
TEST_F(Storage, TheEndOfARunInterruptsUnlessTheSupplyStays) {
    for (const bool standby : {false, true}) {
        fresh();
        const fixture::Run run = cycle(
            [&] {
                chip_ready();
                program(0x4000, std::vector<uint8_t>(64, 0x00));
                wait_idle();
                erase(0x21, 0x4000);
                HAL_Delay(20);
                if (standby)
                    HAL_PWR_EnterSTANDBYMode();
            },
            1000 * kMs);
        const unsigned n = ones(nor(0x4000, 64));
        if (standby) {
            EXPECT_EQ(n, 64u * 8);
            EXPECT_TRUE(records(run.trace, "storage_interrupted").empty());
        } else {
            EXPECT_LT(n, 64u * 8);
            EXPECT_EQ(records(run.trace, "storage_interrupted").size(), 1u);
        }
    }
}

}  // namespace
