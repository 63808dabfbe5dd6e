// Serial reception by DMA with the HAL's semantics: the console's one-byte circular
// buffer, bytes before the reception, stop and abort.
#include <gtest/gtest.h>

#include <string>

#include "fixture_fw.h"
#include "sim/board.h"

using fixture::run;

namespace {

void start_board_uart3(uint32_t mode) {
    HAL_Init();
    fixture::init_uart(fixture::huart3, USART3, fixture::hdma_rx3, DMA1_Channel3,
                       DMA1_Channel3_IRQn, 10, mode);
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

}  // namespace
