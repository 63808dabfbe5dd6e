// The firmware's HAL additions for the board (Platform/stm32l431), run unchanged on
// register models of QUADSPI and the flash interface: register sequence, access widths,
// flag polling, time-outs, error paths, and the flash word pairing.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "mmio_trap.h"
#include "register_models.h"
#include "stm32l4xx_hal.h"
#include "stm32l4xx_hal_additions.h"

namespace {

uint32_t g_ms = 0;

// System memory: the flash-size word says 256 KB.
class SystemMemory final : public mmio::Device {
  public:
    uint32_t read(uint32_t offset, unsigned) override { return offset == 0x5E0 ? 256u : 0u; }
    void write(uint32_t, unsigned, uint32_t) override {}
};

QspiModel g_qspi;
FlashModel g_flash;
SystemMemory g_system_memory;

void attach_models() {
    static bool attached = false;
    if (attached)
        return;
    mmio::attach(QSPI_R_BASE, 0x1000, &g_qspi);
    mmio::attach(FLASH_R_BASE, 0x1000, &g_flash);
    mmio::attach(FLASH_BASE, FlashModel::kSize, &g_flash.array);
    mmio::attach(0x1FFF7000u, 0x1000, &g_system_memory);
    attached = true;
}

uintptr_t reg(const volatile void *r) {
    return reinterpret_cast<uintptr_t>(r);
}

}  // namespace

// Every look at the clock finds it a millisecond later: a wait that polls the clock
// times out after as many polls as its time-out in milliseconds.
extern "C" uint32_t HAL_GetTick(void) {
    return ++g_ms;
}

// ---- QUADSPI ----------------------------------------------------------------------------

class Qspi16 : public ::testing::Test {
  protected:
    void SetUp() override {
        attach_models();
        fresh();
    }

    // A peripheral just out of reset, initialised as the board uses it.
    void fresh() {
        g_qspi.reset();
        hqspi = {};
        hqspi.Instance = QUADSPI;
        hqspi.Init.ClockPrescaler = 255;
        hqspi.Init.FifoThreshold = 1;
        hqspi.Init.SampleShifting = QSPI_SAMPLE_SHIFTING_NONE;
        hqspi.Init.FlashSize = 25;
        hqspi.Init.ChipSelectHighTime = QSPI_CS_HIGH_TIME_1_CYCLE;
        hqspi.Init.ClockMode = QSPI_CLOCK_MODE_0;
        ASSERT_EQ(HAL_QSPI_Init(&hqspi), HAL_OK);
    }

    // The flash chip's quad page program (data out) or quad fast read (data in) of n bytes.
    void command(bool program, uint32_t n) {
        QSPI_CommandTypeDef c{};
        c.Instruction = program ? 0x34 : 0xEC;
        c.InstructionMode = QSPI_INSTRUCTION_1_LINE;
        c.Address = 0x00012300;
        c.AddressSize = QSPI_ADDRESS_32_BITS;
        c.AddressMode = program ? QSPI_ADDRESS_1_LINE : QSPI_ADDRESS_4_LINES;
        c.DummyCycles = program ? 0 : 6;
        c.DataMode = QSPI_DATA_4_LINES;
        c.NbData = n;
        ASSERT_EQ(HAL_QSPI_Command(&hqspi, &c, 5000), HAL_OK);
        mmio::clear_log();
        g_ms = 0;
    }

    // The firmware's 16-bit data phase in either direction.
    HAL_StatusTypeDef transfer16(bool transmit, uint8_t *data, uint32_t timeout) {
        return transmit ? HAL_QSPI_Transmit_16(&hqspi, data, timeout)
                        : HAL_QSPI_Receive_16(&hqspi, data, timeout);
    }

    static std::vector<mmio::Access> data_register() {
        std::vector<mmio::Access> out;
        for (const mmio::Access &a : mmio::log())
            if (a.address == reg(&QUADSPI->DR))
                out.push_back(a);
        return out;
    }

    QSPI_HandleTypeDef hqspi;
};

// The 16-bit data phase, in both directions, on an unaligned buffer: the buffer's bytes
// in memory order on the bus, NbData / 2 half-word accesses to the data register, and
// every other register access (values included) exactly as the vendor's byte version
// makes it: the mode set in CCR, the address written again to start a read, the
// transfer-complete flag cleared at the end.
TEST_F(Qspi16, HalfWordDataPhaseIsTheVendorsTransferInBothDirections) {
    using Log = std::vector<std::tuple<uintptr_t, bool, uint32_t>>;
    auto outside_data_and_status = [] {
        Log out;
        for (const mmio::Access &a : mmio::log())
            if (a.address != reg(&QUADSPI->DR) && a.address != reg(&QUADSPI->SR))
                out.emplace_back(a.address, a.write, a.value);
        return out;
    };
    for (const bool transmit : {true, false}) {
        SCOPED_TRACE(transmit ? "transmit" : "receive");
        uint8_t vendor_buf[14], storage[16] = {};
        uint8_t *buf = storage + 1;  // not aligned
        for (uint8_t i = 0; i < 14; ++i) buf[i] = transmit ? 0xA0 + i : 0;
        std::copy(buf, buf + 14, vendor_buf);
        g_qspi.chip_in = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        command(transmit, 14);
        ASSERT_EQ(transmit ? HAL_QSPI_Transmit(&hqspi, vendor_buf, 5000)
                           : HAL_QSPI_Receive(&hqspi, vendor_buf, 5000),
                  HAL_OK);
        const Log vendor = outside_data_and_status();
        g_qspi.chip_out.clear();
        command(transmit, 14);
        ASSERT_EQ(transfer16(transmit, buf, 5000), HAL_OK);

        const std::vector<uint8_t> bytes(buf, buf + 14);
        EXPECT_EQ(transmit ? g_qspi.chip_out : g_qspi.chip_in, bytes);
        EXPECT_EQ(storage[0] | storage[15], 0) << "nothing outside the buffer";
        const auto dr = data_register();
        ASSERT_EQ(dr.size(), 7u);
        for (size_t i = 0; i < dr.size(); ++i) {
            EXPECT_EQ(dr[i].write, transmit) << i;
            EXPECT_EQ(dr[i].width, 2u) << i;
            EXPECT_EQ(dr[i].value, buf[2 * i] | (buf[2 * i + 1] << 8u)) << i;
        }
        EXPECT_EQ(outside_data_and_status(), vendor);
        EXPECT_EQ(hqspi.State, HAL_QSPI_STATE_READY);
        EXPECT_FALSE(g_qspi.stalled_forever);
    }
}

// Errors, one of each kind, in both directions, with the vendor's result: an odd byte
// count (a half-word would overrun the buffer) and a null buffer are refused, as is a
// busy handle, before the data register is touched; with a chip that stops, the wait
// gives up once more than Timeout ms have passed since the call began (Timeout 0: at the
// first wait). The handle is then unlocked and in the state it was.
TEST_F(Qspi16, ErrorsOneOfEachKind) {
    struct Case {
        const char *what;
        uint32_t bytes;
        bool null_buffer, busy, stuck;
        uint32_t timeout;
        HAL_StatusTypeDef status;
        uint32_t error;
    };
    const Case cases[] = {
        {"odd count", 13, false, false, false, 5000, HAL_ERROR, HAL_QSPI_ERROR_INVALID_PARAM},
        {"null buffer", 14, true, false, false, 5000, HAL_ERROR, HAL_QSPI_ERROR_INVALID_PARAM},
        {"busy handle", 14, false, true, false, 5000, HAL_BUSY, HAL_QSPI_ERROR_NONE},
        {"stalled, time-out 0", 64, false, false, true, 0, HAL_ERROR, HAL_QSPI_ERROR_TIMEOUT},
        {"stalled, time-out 7", 64, false, false, true, 7, HAL_ERROR, HAL_QSPI_ERROR_TIMEOUT},
    };
    for (const Case &c : cases) {
        for (const bool transmit : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (transmit ? " transmit" : " receive"));
            command(transmit, c.bytes);
            g_qspi.stuck = c.stuck;
            const HAL_QSPI_StateTypeDef state = c.busy ? HAL_QSPI_STATE_BUSY : HAL_QSPI_STATE_READY;
            hqspi.State = state;
            uint8_t buf[64] = {};
            EXPECT_EQ(transfer16(transmit, c.null_buffer ? nullptr : buf, c.timeout), c.status);
            EXPECT_EQ(hqspi.ErrorCode, c.error);
            EXPECT_EQ(hqspi.State, state);
            EXPECT_EQ(hqspi.Lock, HAL_UNLOCKED);
            EXPECT_FALSE(g_qspi.stalled_forever);
            // The clock is read at the call and once per poll: the look that finds more
            // than Timeout ms gone ends the wait.
            EXPECT_EQ(g_ms, c.stuck ? c.timeout + 2u : 1u);
            EXPECT_TRUE(c.stuck || data_register().empty()) << "the data register untouched";
            fresh();  // a timed-out transfer leaves the peripheral busy
        }
    }
}

// ---- Flash ----------------------------------------------------------------------------

class FlashWord : public ::testing::Test {
  protected:
    static constexpr uint32_t kArea = 0x0803F000u;  // the user-data area

    void SetUp() override {
        attach_models();
        g_flash.reset();
        pFlash.Lock = HAL_UNLOCKED;
        pFlash.ErrorCode = HAL_FLASH_ERROR_NONE;
        pFlash.CacheToReactivate = FLASH_CACHE_DISABLED;
        ASSERT_EQ(HAL_FLASH_Unlock(), HAL_OK);
        mmio::clear_log();
    }

    // The accesses to the flash interface and the array (not the flash-size word).
    static std::vector<mmio::Access> flash_log() {
        std::vector<mmio::Access> out;
        for (const mmio::Access &a : mmio::log())
            if (a.address < 0x1FFF7000u || a.address >= 0x1FFF8000u)
                out.push_back(a);
        return out;
    }

    static std::vector<mmio::Access> array_writes() {
        std::vector<mmio::Access> out;
        for (const mmio::Access &a : mmio::log())
            if (a.write && a.address >= FLASH_BASE && a.address < FLASH_BASE + FlashModel::kSize)
                out.push_back(a);
        return out;
    }
};

// The first word of a unit: the busy check first, PG set before the word is written,
// nothing programmed yet, the data cache off. The second word starts the programming:
// BSY polled until it clears, both words in the array, PG cleared, the data cache reset
// and back on.
TEST_F(FlashWord, APairFollowsTheProgrammingSequence) {
    g_flash.acr = FLASH_ACR_DCEN;
    ASSERT_EQ(HAL_FLASH_Program_Word(kArea, 0x11223344u), HAL_OK);
    const auto first = flash_log();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front().address, reg(&FLASH->SR));
    const auto pg_set = std::find_if(first.begin(), first.end(), [](const mmio::Access &a) {
        return a.write && a.address == reg(&FLASH->CR) && (a.value & FLASH_CR_PG);
    });
    const auto word = std::find_if(pg_set, first.end(), [](const mmio::Access &a) {
        return a.write && a.address == kArea && a.width == 4 && a.value == 0x11223344u;
    });
    EXPECT_NE(word, first.end());
    EXPECT_EQ(array_writes().size(), 1u);
    EXPECT_EQ(g_flash.cr & FLASH_CR_PG, FLASH_CR_PG);
    EXPECT_EQ(g_flash.word(kArea), 0xFFFFFFFFu);
    EXPECT_EQ(g_flash.acr, 0u) << "the data cache is off while the unit is half written";

    mmio::clear_log();
    ASSERT_EQ(HAL_FLASH_Program_Word(kArea + 4, 0x55667788u), HAL_OK);
    const auto second = flash_log();
    EXPECT_EQ(second.front().address, kArea + 4);
    EXPECT_TRUE(second.front().write);
    const auto busy_polls = std::count_if(second.begin(), second.end(), [](const mmio::Access &a) {
        return !a.write && a.address == reg(&FLASH->SR) && (a.value & FLASH_SR_BSY);
    });
    EXPECT_EQ(busy_polls, g_flash.busy_reads);
    EXPECT_EQ(g_flash.word(kArea), 0x11223344u);
    EXPECT_EQ(g_flash.word(kArea + 4), 0x55667788u);
    EXPECT_EQ(g_flash.cr & FLASH_CR_PG, 0u);
    EXPECT_EQ(g_flash.acr, FLASH_ACR_DCEN) << "and back on after, reset";
    EXPECT_TRUE(std::any_of(second.begin(), second.end(), [](const mmio::Access &a) {
        return a.write && a.address == reg(&FLASH->ACR) && (a.value & FLASH_ACR_DCRST);
    }));
    EXPECT_EQ(HAL_FLASH_GetError(), HAL_FLASH_ERROR_NONE);
}

// Calls outside the pattern are refused before anything is written, and the chip's own
// errors come back with its flags: the error reported, the waiting unit (if any) never
// programmed, PG cleared and whatever the chip flagged cleared, so that the next pair
// programs.
TEST_F(FlashWord, RefusalsAndChipErrorsLeaveTheNextPairWorking) {
    enum Chip { kReady, kNotErased, kLocked, kStuckBusy, kHandleLocked };
    struct Case {
        const char *what;
        bool waiting;  // a first word at kArea waits for its second
        uint32_t address;
        Chip chip;
        HAL_StatusTypeDef status;
        uint32_t error;
        size_t writes;  // words the call writes to the array
    };
    const Case cases[] = {
        {"handle locked", false, kArea, kHandleLocked, HAL_BUSY, HAL_FLASH_ERROR_NONE, 0},
        {"second word without its first", false, kArea + 4, kReady, HAL_ERROR, HAL_FLASH_ERROR_PGA,
         0},
        {"misaligned", false, kArea + 2, kReady, HAL_ERROR, HAL_FLASH_ERROR_SIZ, 0},
        {"past the end of the flash", false, FLASH_BASE + FlashModel::kSize, kReady, HAL_ERROR,
         HAL_FLASH_ERROR_PGA, 0},
        {"below the flash", false, FLASH_BASE - 8, kReady, HAL_ERROR, HAL_FLASH_ERROR_PGA, 0},
        {"another first word", true, kArea + 8, kReady, HAL_ERROR, HAL_FLASH_ERROR_PGS, 0},
        {"a second word of another unit", true, kArea + 12, kReady, HAL_ERROR, HAL_FLASH_ERROR_PGS,
         0},
        {"a unit not erased", true, kArea + 4, kNotErased, HAL_ERROR, HAL_FLASH_ERROR_PROG, 1},
        {"locked interface", false, kArea, kLocked, HAL_ERROR, HAL_FLASH_ERROR_PGS, 1},
        {"busy that never clears", true, kArea + 4, kStuckBusy, HAL_TIMEOUT, HAL_FLASH_ERROR_NONE,
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_flash.reset();
        ASSERT_EQ(HAL_FLASH_Unlock(), HAL_OK);
        if (c.waiting) {
            ASSERT_EQ(HAL_FLASH_Program_Word(kArea, 1u), HAL_OK);
        }
        if (c.chip == kNotErased)
            g_flash.set_word(kArea + 4, 0x0000FFFFu);
        if (c.chip == kLocked) {
            ASSERT_EQ(HAL_FLASH_Lock(), HAL_OK);
        }
        g_flash.stuck_busy = c.chip == kStuckBusy;
        pFlash.Lock = c.chip == kHandleLocked ? HAL_LOCKED : HAL_UNLOCKED;
        mmio::clear_log();
        g_ms = 0;
        EXPECT_EQ(HAL_FLASH_Program_Word(c.address, 2u), c.status);
        EXPECT_EQ(HAL_FLASH_GetError(), c.error);
        EXPECT_EQ(array_writes().size(), c.writes);
        EXPECT_EQ(g_flash.word(kArea), 0xFFFFFFFFu);
        EXPECT_EQ(g_flash.cr & FLASH_CR_PG, 0u);
        EXPECT_EQ(g_flash.sr & FLASH_FLAG_SR_ERRORS, 0u);
        EXPECT_EQ(pFlash.Lock, c.chip == kHandleLocked ? HAL_LOCKED : HAL_UNLOCKED);
        if (c.chip == kStuckBusy) {
            EXPECT_GE(g_ms, static_cast<uint32_t>(FLASH_TIMEOUT_VALUE));
        }

        g_flash.stuck_busy = false;
        pFlash.Lock = HAL_UNLOCKED;
        ASSERT_EQ(HAL_FLASH_Unlock(), HAL_OK);
        ASSERT_EQ(HAL_FLASH_Program_Word(kArea + 16, 3u), HAL_OK);
        ASSERT_EQ(HAL_FLASH_Program_Word(kArea + 20, 4u), HAL_OK);
        EXPECT_EQ(g_flash.word(kArea + 16), 3u);
        EXPECT_EQ(g_flash.word(kArea + 20), 4u);
    }
}
