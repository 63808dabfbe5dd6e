// Interrupt handlers. Faults spin (the device must be reset); the system's own
// exceptions that carry no work return at once. TIM6 is never set up in this image
// and has no handler: its vector leads to the default handler like every unused one.
#include "main.h"

extern "C" {

void NMI_Handler(void) {}
void HardFault_Handler(void) {
    for (;;) __NOP();
}
void MemManage_Handler(void) {
    for (;;) __NOP();
}
void BusFault_Handler(void) {
    for (;;) __NOP();
}
void UsageFault_Handler(void) {
    for (;;) __NOP();
}
void SVC_Handler(void) {}
void DebugMon_Handler(void) {}
void PendSV_Handler(void) {}

void SysTick_Handler(void) {
    HAL_IncTick();
}
void RCC_IRQHandler(void) {}
void DMA1_Channel2_IRQHandler(void) {
    HAL_DMA_IRQHandler(&hdma_usart3_tx);
}
void DMA1_Channel3_IRQHandler(void) {
    HAL_DMA_IRQHandler(&hdma_usart3_rx);
}
void DMA1_Channel4_IRQHandler(void) {
    HAL_DMA_IRQHandler(&hdma_usart1_tx);
}
void DMA1_Channel5_IRQHandler(void) {
    HAL_DMA_IRQHandler(&hdma_usart1_rx);
}
void ADC1_IRQHandler(void) {
    HAL_ADC_IRQHandler(&hadc1);
}
void I2C1_EV_IRQHandler(void) {
    HAL_I2C_EV_IRQHandler(&hi2c1);
}
void TIM7_IRQHandler(void) {
    HAL_TIM_IRQHandler(&htim7);
}

}  // extern "C"
