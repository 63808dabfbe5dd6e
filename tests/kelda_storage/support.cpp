#include "support.h"

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
