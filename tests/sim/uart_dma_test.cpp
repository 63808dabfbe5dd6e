// Serial reception by DMA with the HAL's semantics, and transmit refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture_fw.h"
#include "sim/board.h"

using fixture::run;

namespace {

struct Event {
    char kind;  // 'H' half, 'C' complete
    uint32_t cndtr;
    sim::Time at;
};

void start_board_uart3(uint32_t mode) {
    HAL_Init();
    fixture::init_uart(fixture::huart3, USART3, fixture::hdma_rx3, DMA1_Channel3,
                       DMA1_Channel3_IRQn, 10, mode);
}

TEST(UartDma, CircularReceptionCallsHalfAndCompleteAtTheRightCountsAndWraps) {
    static uint8_t buf[4];
    std::vector<Event> events;
    auto r = run(
        [&] {
            start_board_uart3(DMA_CIRCULAR);
            auto note = [&](char k) {
                events.push_back(
                    {k, __HAL_DMA_GET_COUNTER(&fixture::hdma_rx3), sim::board().now()});
            };
            fixture::hooks.rx_half = [&, note](UART_HandleTypeDef *) { note('H'); };
            fixture::hooks.rx_cplt = [&, note](UART_HandleTypeDef *) { note('C'); };
            EXPECT_EQ(HAL_UART_Receive_DMA(&fixture::huart3, buf, 4), HAL_OK);
            fixture::idle();
        },
        5000000, {fixture::console_bytes(1000000, "abcdef")});
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, 'H');
    // The second byte ends two frames after the first started, rounded up once;
    // the callback runs inside the DMA handler's HAL call.
    EXPECT_NEAR(static_cast<double>(events[0].at),
                1000000 + sim::scaled_ceil(2 * 20, 1000000000u, 2u * 115200u) + fixture::kHalCallNs,
                1.0);
    EXPECT_EQ(events[0].cndtr, 2u);
    EXPECT_EQ(events[1].kind, 'C');
    EXPECT_EQ(events[1].cndtr, 4u);  // reloaded: circular
    EXPECT_EQ(events[2].kind, 'H');
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 4), "efcd");
    EXPECT_EQ(fixture::huart3.RxState, HAL_UART_STATE_BUSY_RX);
    EXPECT_EQ(r.result.summary.ports().at("USART3").rx, 6u);
}

TEST(UartDma, NormalModeStopsWhenFullAndLaterBytesOverrunTheReceiveRegister) {
    static uint8_t buf[3];
    std::vector<Event> events;
    auto r = run(
        [&] {
            start_board_uart3(DMA_NORMAL);
            fixture::hooks.rx_half = [&](UART_HandleTypeDef *) {
                events.push_back(
                    {'H', __HAL_DMA_GET_COUNTER(&fixture::hdma_rx3), sim::board().now()});
            };
            fixture::hooks.rx_cplt = [&](UART_HandleTypeDef *h) {
                events.push_back(
                    {'C', __HAL_DMA_GET_COUNTER(&fixture::hdma_rx3), sim::board().now()});
                EXPECT_EQ(h->RxState, HAL_UART_STATE_READY);
            };
            HAL_UART_Receive_DMA(&fixture::huart3, buf, 3);
            fixture::idle();
        },
        5000000, {fixture::console_bytes(1000000, "xyz12")});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, 'H');  // odd size: half after ceil(3 / 2) = 2 bytes
    EXPECT_EQ(events[0].cndtr, 1u);
    EXPECT_EQ(events[1].kind, 'C');
    EXPECT_EQ(events[1].cndtr, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 3), "xyz");
    // '1' waits in the receive register, '2' finds it full.
    EXPECT_EQ(USART3->RDR, static_cast<uint32_t>('1'));
    EXPECT_EQ(r.result.summary.ports().at("USART3").rx, 4u);
    EXPECT_EQ(r.result.summary.ports().at("USART3").lost, 1u);
    const auto lost = fixture::records(r.trace, "uart_rx_lost");
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(fixture::field(lost[0], "byte"), '2');
    EXPECT_NE(lost[0].find("overrun"), std::string::npos);
}

TEST(UartDma, OneByteCircularBufferGivesHalfThenCompleteForEveryByte) {
    // The console's set-up: a 1-byte circular buffer. Half transfer and transfer
    // complete coincide; the HAL's handler serves one per entry, so the channel
    // interrupt runs twice per byte.
    static uint8_t byte;
    std::string got, kinds;
    auto r = run(
        [&] {
            start_board_uart3(DMA_CIRCULAR);
            fixture::hooks.rx_half = [&](UART_HandleTypeDef *) { kinds += 'H'; };
            fixture::hooks.rx_cplt = [&](UART_HandleTypeDef *) {
                kinds += 'C';
                got += static_cast<char>(byte);
                // The firmware re-arms after every byte; the running circular
                // reception makes the HAL refuse, and reception goes on.
                EXPECT_EQ(HAL_UART_Receive_DMA(&fixture::huart3, &byte, 1), HAL_BUSY);
            };
            HAL_UART_Receive_DMA(&fixture::huart3, &byte, 1);
            fixture::idle();
        },
        5000000, {fixture::console_bytes(100000, "ok\r")});
    EXPECT_EQ(got, "ok\r");
    EXPECT_EQ(kinds, "HCHCHC");
    EXPECT_EQ(r.result.summary.irqs().at("DMA1_Channel3").count, 6u);
}

// Bytes before a reception starts: the first waits in the receive register and
// the DMA takes it as soon as the reception starts; the next ones overrun. A stop
// and an abort leave the port and its channel ready for the next reception.
TEST(UartDma, ByteWaitingBeforeReceptionIsTakenFirstAndStopAndAbortEndReception) {
    static uint8_t buf[8];
    int completes = 0;
    HAL_StatusTypeDef abort = HAL_ERROR, restart = HAL_ERROR;
    auto r = run(
        [&] {
            start_board_uart3(DMA_CIRCULAR);
            fixture::hooks.rx_cplt = [&](UART_HandleTypeDef *) { ++completes; };
            HAL_Delay(2);  // "ab" arrives meanwhile: 'a' waits, 'b' overruns
            HAL_UART_Receive_DMA(&fixture::huart3, buf, 2);  // 'a' taken at once
            HAL_Delay(2);  // "cd": 'c' completes the buffer, 'd' wraps to its start
            HAL_UART_DMAStop(&fixture::huart3);
            EXPECT_EQ(fixture::huart3.RxState, HAL_UART_STATE_READY);
            HAL_Delay(2);  // "ef": 'e' waits, 'f' overruns
            EXPECT_TRUE(__HAL_UART_GET_FLAG(&fixture::huart3, UART_FLAG_ORE));
            abort = HAL_UART_Abort(&fixture::huart3);  // and 'e' is discarded
            EXPECT_FALSE(__HAL_UART_GET_FLAG(&fixture::huart3, UART_FLAG_RXNE));
            EXPECT_EQ(fixture::huart3.gState, HAL_UART_STATE_READY);
            EXPECT_EQ(USART3->CR3 & USART_CR3_DMAR, 0u);
            EXPECT_EQ(DMA1_Channel3->CCR & DMA_CCR_EN, 0u);
            EXPECT_EQ(HAL_DMA_Abort(&fixture::hdma_rx3), HAL_ERROR);  // nothing to abort
            EXPECT_EQ(HAL_DMA_GetError(&fixture::hdma_rx3), HAL_DMA_ERROR_NO_XFER);
            restart = HAL_UART_Receive_DMA(&fixture::huart3, buf + 4, 2);
            fixture::idle();
        },
        20000000,
        {fixture::console_bytes(500000, "ab"), fixture::console_bytes(3500000, "cd"),
         fixture::console_bytes(6500000, "ef"), fixture::console_bytes(12000000, "gh")});
    EXPECT_EQ(abort, HAL_OK);
    EXPECT_EQ(restart, HAL_OK);
    EXPECT_EQ(completes, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 2), "dc");
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf + 4), 2), "gh");
    EXPECT_EQ(r.result.summary.ports().at("USART3").lost, 2u);
}

TEST(UartDma, TransmitFromAnotherContextWhileThePortIsBusyIsRefused) {
    HAL_StatusTypeDef from_tick = HAL_OK;
    auto r = run(
        [&] {
            start_board_uart3(DMA_CIRCULAR);
            fixture::hooks.tim7 = [&] {
                static const uint8_t t[] = "TICK";
                from_tick = HAL_UART_Transmit(&fixture::huart3, t, 4, 100);
                HAL_TIM_Base_Stop_IT(&fixture::htim7);
            };
            fixture::init_tim(fixture::htim7, TIM7, 47, 999, TIM7_IRQn, 2);  // 1 ms
            HAL_TIM_Base_Start_IT(&fixture::htim7);
            static const uint8_t line[] = "0123456789012345678901234567890123456789";
            HAL_UART_Transmit(&fixture::huart3, line, 40, 100);  // 3.5 ms: the tick comes meanwhile
            fixture::idle();
        },
        10000000);
    EXPECT_EQ(from_tick, HAL_BUSY);
    EXPECT_EQ(r.console, "0123456789012345678901234567890123456789");
}

}  // namespace
