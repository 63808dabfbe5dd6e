#include "support.h"

#include <cstring>
#include <filesystem>

#include "main.h"
#include "storage_board.h"
#include "sys_rtc.h"
#include "sys_uart.h"
#include "w25q_mem.h"

namespace ks {

void bring_up() {
    HAL_Init();
    storage_board_pins();
    storage_board_qspi();
    huart3 = UART_HandleTypeDef{};
    fixture::init_uart(huart3, USART3, fixture::hdma_rx3, DMA1_Channel3, DMA1_Channel3_IRQn, 10,
                       DMA_CIRCULAR);
    storage_board_rtc_clock();
    hrtc.Instance = RTC;
}

void bring_up_storage() {
    bring_up();
    W25Q_Init();
    uint8_t calendar[6] = {24, 3, 1, 9, 30, 0};
    sys_rtc_set_time(calendar);
}

void Board::SetUp() {
    char tmpl[] = "/tmp/kelda_storage_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/board";
}

void Board::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir_).parent_path(), ec);
}

fixture::Run Board::cycle(std::function<void()> fw, sim::Time length, const std::string &plan,
                          std::vector<sim::ScenarioEvent> events) {
    sim::BoardDir dir;
    std::string err;
    EXPECT_TRUE(dir.open(dir_, err)) << err;
    sim::Scenario sc;
    EXPECT_TRUE(sim::parse_scenario("version 2\nlength 1000s\n" + plan, "plan", sc, err)) << err;
    sim::RunConfig cfg;
    cfg.length_ns = length;
    cfg.board_dir = &dir;
    cfg.storage = sc.storage;
    cfg.events = std::move(events);
    return fixture::run(std::move(fw), std::move(cfg));
}

std::vector<uint8_t> Board::nor(uint32_t addr, uint32_t n) {
    sim::BoardDir dir;
    std::string err;
    EXPECT_TRUE(dir.open(dir_, err)) << err;
    std::vector<uint8_t> d(n);
    dir.nor_read(addr, d.data(), n);
    return d;
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

std::vector<uint8_t> Board::intflash(uint32_t offset, uint32_t n) {
    sim::BoardDir dir;
    std::string err;
    EXPECT_TRUE(dir.open(dir_, err)) << err;
    return std::vector<uint8_t>(dir.intflash() + offset, dir.intflash() + offset + n);
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

}  // namespace ks
