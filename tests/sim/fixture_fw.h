// Firmware side of the simulator tests: small firmware functions run in-process on
// a fresh simulated board, with hooks for the interrupt handlers and HAL callbacks
// (which, as in any firmware, are link-time symbols defined once for the binary).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/run.h"
#include "stm32l4xx_hal.h"

namespace fixture {

// Hooks called by the handlers and callbacks defined in fixture_fw.cpp; cleared
// before every run.
struct Hooks {
    std::function<void()> tim7;                         // HAL_TIM_PeriodElapsedCallback for TIM7
    std::function<void(UART_HandleTypeDef *)> rx_cplt;  // HAL_UART_RxCpltCallback
    std::function<void(UART_HandleTypeDef *)> rx_half;  // HAL_UART_RxHalfCpltCallback
    std::function<void()> exti0;                        // EXTI0_IRQHandler
    std::function<void()> pendsv;                       // PendSV_Handler
};
extern Hooks hooks;

extern UART_HandleTypeDef huart1, huart3;
extern DMA_HandleTypeDef hdma_rx1, hdma_rx3;
extern TIM_HandleTypeDef htim6, htim7;

struct Run {
    sim::RunResult result;
    std::string trace;
    std::string console;
    std::string phone;
};

// Runs `firmware` for `length_ns` of virtual time with the scenario `events`.
Run run(std::function<void()> firmware, sim::Time length_ns,
        std::vector<sim::ScenarioEvent> events = {}, unsigned hang_seconds = 10);
// The same with everything else of the run's configuration (board directory,
// storage plan); the trace and the console are captured into the result.
Run run(std::function<void()> firmware, sim::RunConfig cfg);

// Gives the firmware's variables their power-up values; called at the start of every
// BoardTest power cycle. A suite whose firmware keeps variables of its own defines it;
// by default it does nothing.
void power_up_ram();

// A board directory of the test's own that keeps the board's storage from one power
// cycle to the next, removed after the test.
class BoardTest : public ::testing::Test {
  public:
    void SetUp() override;
    void TearDown() override;
    // One power cycle; `plan` holds scenario version 2 directives (storage faults and
    // cuts, seed, timing).
    fixture::Run cycle(std::function<void()> fw, sim::Time length, const std::string &plan = "",
                       std::vector<sim::ScenarioEvent> events = {});
    // A fresh board for the next cycle.
    void fresh();
    // The chips' bytes between power cycles.
    std::vector<uint8_t> nor(uint32_t addr, uint32_t n);
    std::vector<uint8_t> intflash(uint32_t offset, uint32_t n);

    std::string dir_;
};

sim::ScenarioEvent console_bytes(sim::Time at, const std::string &bytes);
sim::ScenarioEvent phone_bytes(sim::Time at, const std::string &bytes);

// Firmware building blocks, as a firmware would write them.
void init_uart(UART_HandleTypeDef &h, USART_TypeDef *instance, DMA_HandleTypeDef &dma,
               DMA_Channel_TypeDef *channel, IRQn_Type dma_irq, uint32_t dma_priority,
               uint32_t mode);
void init_tim(TIM_HandleTypeDef &h, TIM_TypeDef *instance, uint32_t psc, uint32_t arr,
              IRQn_Type irq, uint32_t priority, bool preload = true);
// Sleeps until the run ends.
[[noreturn]] void idle();

// The fixed cost of one HAL call at 48 MHz: 8 core clocks, 166.67 ns (166 or 167
// as the fractions add up).
constexpr double kHalCallNs = 8 * 1e9 / 48e6;
// Entry times of an interrupt, from the trace.
std::vector<sim::Time> entries(const std::string &trace, const std::string &irq);

// Trace lines whose "type" is `type`.
std::vector<std::string> records(const std::string &trace, const std::string &type);
// Integer field of a JSON-lines record.
long long field(const std::string &record, const std::string &key);

}  // namespace fixture
