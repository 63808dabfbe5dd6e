#include "fixture_fw.h"

#include <cstdlib>
#include <filesystem>

#include "board_dir.h"
#include "board_setup.h"
#include "sim/board.h"

namespace fixture {

Hooks hooks;
UART_HandleTypeDef huart1, huart3;
DMA_HandleTypeDef hdma_rx1, hdma_rx3;
TIM_HandleTypeDef htim6, htim7;

namespace {
std::function<void()> g_firmware;
void trampoline() {
    g_firmware();
}
}  // namespace

Run run(std::function<void()> firmware, sim::Time length_ns, std::vector<sim::ScenarioEvent> events,
        unsigned hang_seconds) {
    sim::RunConfig cfg;
    cfg.length_ns = length_ns;
    cfg.events = std::move(events);
    cfg.hang_seconds = hang_seconds;
    return run(std::move(firmware), std::move(cfg));
}

Run run(std::function<void()> firmware, sim::RunConfig cfg) {
    hooks = Hooks{};
    huart1 = UART_HandleTypeDef{};
    huart3 = UART_HandleTypeDef{};
    hdma_rx1 = DMA_HandleTypeDef{};
    hdma_rx3 = DMA_HandleTypeDef{};
    htim6 = TIM_HandleTypeDef{};
    htim7 = TIM_HandleTypeDef{};
    Run r;
    cfg.trace_capture = &r.trace;
    cfg.trace_systick = true;
    cfg.console.mode = sim::ConsoleMode::Capture;
    cfg.console.console_capture = &r.console;
    cfg.console.phone_capture = &r.phone;
    g_firmware = std::move(firmware);
    r.result = sim::run_firmware(cfg, &trampoline);
    g_firmware = nullptr;
    return r;
}

void BoardTest::SetUp() {
    char tmpl[] = "/tmp/board_test_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/board";
}

void BoardTest::TearDown() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir_).parent_path(), ec);
}

void BoardTest::fresh() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

__attribute__((weak)) void power_up_ram() {}

Run BoardTest::cycle(std::function<void()> fw, sim::Time length, const std::string &plan,
                     std::vector<sim::ScenarioEvent> events) {
    power_up_ram();
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
    return run(std::move(fw), std::move(cfg));
}

std::vector<uint8_t> BoardTest::nor(uint32_t addr, uint32_t n) {
    sim::BoardDir dir;
    std::string err;
    EXPECT_TRUE(dir.open(dir_, err)) << err;
    std::vector<uint8_t> d(n);
    dir.nor_read(addr, d.data(), n);
    return d;
}

std::vector<uint8_t> BoardTest::intflash(uint32_t offset, uint32_t n) {
    sim::BoardDir dir;
    std::string err;
    EXPECT_TRUE(dir.open(dir_, err)) << err;
    return std::vector<uint8_t>(dir.intflash() + offset, dir.intflash() + offset + n);
}

sim::ScenarioEvent console_bytes(sim::Time at, const std::string &bytes) {
    sim::ScenarioEvent e;
    e.at_ns = at;
    e.kind = sim::ScenarioEventKind::ConsoleBytes;
    e.bytes.assign(bytes.begin(), bytes.end());
    return e;
}

sim::ScenarioEvent phone_bytes(sim::Time at, const std::string &bytes) {
    sim::ScenarioEvent e = console_bytes(at, bytes);
    e.kind = sim::ScenarioEventKind::PhoneBytes;
    return e;
}

void init_uart(UART_HandleTypeDef &h, USART_TypeDef *instance, DMA_HandleTypeDef &dma,
               DMA_Channel_TypeDef *channel, IRQn_Type dma_irq, uint32_t dma_priority,
               uint32_t mode) {
    board_setup::rx_dma(dma, channel, mode);
    __HAL_LINKDMA(&h, hdmarx, dma);
    board_setup::console(h, instance);
    HAL_NVIC_SetPriority(dma_irq, dma_priority, 0);
    HAL_NVIC_EnableIRQ(dma_irq);
}

void init_tim(TIM_HandleTypeDef &h, TIM_TypeDef *instance, uint32_t psc, uint32_t arr,
              IRQn_Type irq, uint32_t priority, bool preload) {
    h.Instance = instance;
    h.Init.Prescaler = psc;
    h.Init.CounterMode = TIM_COUNTERMODE_UP;
    h.Init.Period = arr;
    h.Init.AutoReloadPreload =
        preload ? TIM_AUTORELOAD_PRELOAD_ENABLE : TIM_AUTORELOAD_PRELOAD_DISABLE;
    HAL_TIM_Base_Init(&h);
    HAL_NVIC_SetPriority(irq, priority, 0);
    HAL_NVIC_EnableIRQ(irq);
}

void idle() {
    for (;;) __WFI();
}

std::vector<std::string> records(const std::string &trace, const std::string &type) {
    std::vector<std::string> out;
    const std::string needle = "\"type\":\"" + type + "\"";
    std::size_t pos = 0;
    while (pos < trace.size()) {
        std::size_t end = trace.find('\n', pos);
        if (end == std::string::npos)
            end = trace.size();
        const std::string line = trace.substr(pos, end - pos);
        if (line.find(needle) != std::string::npos)
            out.push_back(line);
        pos = end + 1;
    }
    return out;
}

std::vector<sim::Time> entries(const std::string &trace, const std::string &irq) {
    std::vector<sim::Time> out;
    for (const auto &r : records(trace, "irq_enter"))
        if (r.find("\"irq\":\"" + irq + "\"") != std::string::npos)
            out.push_back(static_cast<sim::Time>(field(r, "t")));
    return out;
}

long long field(const std::string &record, const std::string &key) {
    const std::string needle = "\"" + key + "\":";
    const std::size_t p = record.find(needle);
    if (p == std::string::npos)
        return -1;
    return std::strtoll(record.c_str() + p + needle.size(), nullptr, 10);
}

}  // namespace fixture

using fixture::hooks;

extern "C" {

void SysTick_Handler(void) {
    HAL_IncTick();
}
void TIM6_DAC_IRQHandler(void) {
    HAL_TIM_IRQHandler(&fixture::htim6);
}
void TIM7_IRQHandler(void) {
    HAL_TIM_IRQHandler(&fixture::htim7);
}
void DMA1_Channel3_IRQHandler(void) {
    HAL_DMA_IRQHandler(&fixture::hdma_rx3);
}
void DMA1_Channel5_IRQHandler(void) {
    HAL_DMA_IRQHandler(&fixture::hdma_rx1);
}
void EXTI0_IRQHandler(void) {
    if (hooks.exti0)
        hooks.exti0();
}
void PendSV_Handler(void) {
    if (hooks.pendsv)
        hooks.pendsv();
}

void HAL_TIM_PeriodElapsedCallback(TIM_HandleTypeDef *htim) {
    if (htim->Instance == TIM7 && hooks.tim7)
        hooks.tim7();
}
void HAL_UART_RxCpltCallback(UART_HandleTypeDef *huart) {
    if (hooks.rx_cplt)
        hooks.rx_cplt(huart);
}
void HAL_UART_RxHalfCpltCallback(UART_HandleTypeDef *huart) {
    if (hooks.rx_half)
        hooks.rx_half(huart);
}

}  // extern "C"
