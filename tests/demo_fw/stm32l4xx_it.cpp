// Demo firmware: interrupt handlers.
#include "main.h"

extern "C" {

void NMI_Handler(void) {}
void HardFault_Handler(void) {
    for (;;) {
        __WFI();
    }
}
void SVC_Handler(void) {}
void PendSV_Handler(void) {}
void SysTick_Handler(void) {
    HAL_IncTick();
}
void TIM7_IRQHandler(void) {
    HAL_TIM_IRQHandler(&htim7);
}
void DMA1_Channel3_IRQHandler(void) {
    HAL_DMA_IRQHandler(&hdma_usart3_rx);
}

}  // extern "C"
