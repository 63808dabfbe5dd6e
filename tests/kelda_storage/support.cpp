#include "support.h"

#include <cstring>
#include <vector>

#include "board_setup.h"
#include "main.h"
#include "sys_rtc.h"
#include "sys_uart.h"
#include "w25q_mem.h"

namespace ks {

void bring_up() {
    HAL_Init();
    board_setup::leds();
    board_setup::qspi(hqspi);
    huart3 = UART_HandleTypeDef{};
    fixture::init_uart(huart3, USART3, fixture::hdma_rx3, DMA1_Channel3, DMA1_Channel3_IRQn, 10,
                       DMA_CIRCULAR);
    board_setup::rtc_clock();
    hrtc.Instance = RTC;
}

void bring_up_storage() {
    bring_up();
    W25Q_Init();
    uint8_t calendar[6] = {24, 3, 1, 9, 30, 0};
    sys_rtc_set_time(calendar);
}

void Board::put(uint32_t addr, const void *data, size_t n) {
    sim::BoardDir dir;
    std::string err;
    ASSERT_TRUE(dir.open(dir_, err)) << err;
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < n; ++i) dir.nor_set(addr + static_cast<uint32_t>(i), p[i]);
}

void Board::put(uint32_t addr, const std::vector<uint8_t> &bytes) {
    put(addr, bytes.data(), bytes.size());
}

void Board::put_flags(uint32_t sector, const std::vector<uint8_t> &flags) {
    put(sector * EXFLASH_SECTOR_SIZE, flags);
}

void Board::put_dnt(uint32_t sector, uint32_t slot, const sys_dnt_data &d) {
    put(exflash_slot_page(EXFLASH_LOG_DNT, sector, slot) * EXFLASH_PAGE_SIZE +
            exflash_slot_offset(EXFLASH_LOG_DNT, slot),
        &d, sizeof d);
}

}  // namespace ks

// The modules' variables (firmware_ram.ld) as the program started: every power cycle
// starts from them, as the chip's RAM does after a reset, so that nothing a cycle or an
// earlier test left behind can make a later cycle pass.
extern "C" char __firmware_ram_start[], __firmware_ram_end[];

namespace {

std::vector<char> g_ram_at_start;

class RamAtStart : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_LT(__firmware_ram_start, __firmware_ram_end)
            << "firmware_ram.ld placed none of the modules' variables in their range";
        g_ram_at_start.assign(__firmware_ram_start, __firmware_ram_end);
    }
};

const auto *const g_ram_environment = ::testing::AddGlobalTestEnvironment(new RamAtStart);

}  // namespace

// In an instrumented build the modules' coverage counters sit in that range too: they
// are written out and cleared first, so that the reset loses none of them.
extern "C" void __gcov_dump(void) __attribute__((weak));
extern "C" void __gcov_reset(void) __attribute__((weak));

void fixture::power_up_ram() {
    if (__gcov_dump != nullptr && __gcov_reset != nullptr) {
        __gcov_dump();
        __gcov_reset();
    }
    std::memcpy(__firmware_ram_start, g_ram_at_start.data(), g_ram_at_start.size());
}
