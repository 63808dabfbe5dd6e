// Compile-time checks of the board seam, built on every preset: the register
// blocks have the chip's layout, the interrupt numbers are the chip's, every
// instance of the list has its instance macro, and the HAL calls the firmware
// makes have the vendor's signatures. Nothing here runs; a mistake stops the build.
#include <cstddef>
#include <type_traits>

#include "stm32l4xx_hal.h"
#include "stm32l4xx_hal_additions.h"

namespace {

#define SEAM_SIG(fn, ...) \
  static_assert(std::is_same<decltype(&fn), __VA_ARGS__>::value, #fn ": not the vendor's signature")

// ---- Register block layouts (offsets from the reference manual) ----
static_assert(offsetof(GPIO_TypeDef, IDR) == 0x10, "GPIO IDR");
static_assert(offsetof(GPIO_TypeDef, BSRR) == 0x18, "GPIO BSRR");
static_assert(offsetof(GPIO_TypeDef, AFR) == 0x20, "GPIO AFR");
static_assert(offsetof(GPIO_TypeDef, BRR) == 0x28, "GPIO BRR");
static_assert(offsetof(USART_TypeDef, BRR) == 0x0C, "USART BRR");
static_assert(offsetof(USART_TypeDef, ISR) == 0x1C, "USART ISR");
static_assert(offsetof(USART_TypeDef, ICR) == 0x20, "USART ICR");
static_assert(offsetof(USART_TypeDef, RDR) == 0x24, "USART RDR");
static_assert(offsetof(USART_TypeDef, TDR) == 0x28, "USART TDR");
static_assert(sizeof(USART_TypeDef) == 0x2C, "USART size");
static_assert(offsetof(TIM_TypeDef, SR) == 0x10, "TIM SR");
static_assert(offsetof(TIM_TypeDef, CNT) == 0x24, "TIM CNT");
static_assert(offsetof(TIM_TypeDef, PSC) == 0x28, "TIM PSC");
static_assert(offsetof(TIM_TypeDef, ARR) == 0x2C, "TIM ARR");
static_assert(offsetof(TIM_TypeDef, CCR1) == 0x34, "TIM CCR1");
static_assert(offsetof(TIM_TypeDef, BDTR) == 0x44, "TIM BDTR");
static_assert(offsetof(TIM_TypeDef, OR1) == 0x50, "TIM OR1");
static_assert(offsetof(TIM_TypeDef, CCR6) == 0x5C, "TIM CCR6");
static_assert(offsetof(TIM_TypeDef, OR3) == 0x64, "TIM OR3");
static_assert(sizeof(DMA_Channel_TypeDef) == 0x10, "DMA channel size");
static_assert(offsetof(DMA_Channel_TypeDef, CNDTR) == 0x04, "DMA CNDTR");
static_assert(offsetof(DMA_Channel_TypeDef, CMAR) == 0x0C, "DMA CMAR");
static_assert(offsetof(I2C_TypeDef, TIMINGR) == 0x10, "I2C TIMINGR");
static_assert(offsetof(I2C_TypeDef, ISR) == 0x18, "I2C ISR");
static_assert(offsetof(I2C_TypeDef, TXDR) == 0x28, "I2C TXDR");
static_assert(offsetof(ADC_TypeDef, SMPR1) == 0x14, "ADC SMPR1");
static_assert(offsetof(ADC_TypeDef, SQR1) == 0x30, "ADC SQR1");
static_assert(offsetof(ADC_TypeDef, DR) == 0x40, "ADC DR");
static_assert(offsetof(ADC_TypeDef, JSQR) == 0x4C, "ADC JSQR");
static_assert(offsetof(ADC_TypeDef, OFR1) == 0x60, "ADC OFR1");
static_assert(offsetof(ADC_TypeDef, JDR1) == 0x80, "ADC JDR1");
static_assert(offsetof(ADC_TypeDef, AWD2CR) == 0xA0, "ADC AWD2CR");
static_assert(offsetof(ADC_TypeDef, DIFSEL) == 0xB0, "ADC DIFSEL");
static_assert(offsetof(ADC_TypeDef, CALFACT) == 0xB4, "ADC CALFACT");
static_assert(offsetof(ADC_Common_TypeDef, CCR) == 0x08, "ADC common CCR");
static_assert(offsetof(RTC_TypeDef, PRER) == 0x10, "RTC PRER");
static_assert(offsetof(RTC_TypeDef, ALRMAR) == 0x1C, "RTC ALRMAR");
static_assert(offsetof(RTC_TypeDef, WPR) == 0x24, "RTC WPR");
static_assert(offsetof(RTC_TypeDef, TAMPCR) == 0x40, "RTC TAMPCR");
static_assert(offsetof(RTC_TypeDef, OR) == 0x4C, "RTC OR");
static_assert(offsetof(RTC_TypeDef, BKP0R) == 0x50, "RTC BKP0R");
static_assert(offsetof(RTC_TypeDef, BKP31R) == 0xCC, "RTC BKP31R");
static_assert(offsetof(QUADSPI_TypeDef, CCR) == 0x14, "QUADSPI CCR");
static_assert(offsetof(QUADSPI_TypeDef, DR) == 0x20, "QUADSPI DR");
static_assert(offsetof(QUADSPI_TypeDef, LPTR) == 0x30, "QUADSPI LPTR");
static_assert(offsetof(FLASH_TypeDef, KEYR) == 0x08, "FLASH KEYR");
static_assert(offsetof(FLASH_TypeDef, SR) == 0x10, "FLASH SR");
static_assert(offsetof(FLASH_TypeDef, CR) == 0x14, "FLASH CR");
static_assert(offsetof(FLASH_TypeDef, OPTR) == 0x20, "FLASH OPTR");
static_assert(offsetof(RCC_TypeDef, PLLCFGR) == 0x0C, "RCC PLLCFGR");
static_assert(offsetof(RCC_TypeDef, PLLSAI1CFGR) == 0x10, "RCC PLLSAI1CFGR");
static_assert(offsetof(RCC_TypeDef, CIER) == 0x18, "RCC CIER");
static_assert(offsetof(RCC_TypeDef, AHB1RSTR) == 0x28, "RCC AHB1RSTR");
static_assert(offsetof(RCC_TypeDef, APB1RSTR1) == 0x38, "RCC APB1RSTR1");
static_assert(offsetof(RCC_TypeDef, AHB1ENR) == 0x48, "RCC AHB1ENR");
static_assert(offsetof(RCC_TypeDef, AHB2ENR) == 0x4C, "RCC AHB2ENR");
static_assert(offsetof(RCC_TypeDef, AHB3ENR) == 0x50, "RCC AHB3ENR");
static_assert(offsetof(RCC_TypeDef, APB1ENR1) == 0x58, "RCC APB1ENR1");
static_assert(offsetof(RCC_TypeDef, APB2ENR) == 0x60, "RCC APB2ENR");
static_assert(offsetof(RCC_TypeDef, AHB1SMENR) == 0x68, "RCC AHB1SMENR");
static_assert(offsetof(RCC_TypeDef, CCIPR) == 0x88, "RCC CCIPR");
static_assert(offsetof(RCC_TypeDef, BDCR) == 0x90, "RCC BDCR");
static_assert(offsetof(RCC_TypeDef, CSR) == 0x94, "RCC CSR");
static_assert(offsetof(RCC_TypeDef, CRRCR) == 0x98, "RCC CRRCR");
static_assert(offsetof(PWR_TypeDef, SR1) == 0x10, "PWR SR1");
static_assert(offsetof(PWR_TypeDef, SCR) == 0x18, "PWR SCR");
static_assert(offsetof(PWR_TypeDef, PUCRA) == 0x20, "PWR PUCRA");
static_assert(offsetof(PWR_TypeDef, PUCRH) == 0x58, "PWR PUCRH");
static_assert(offsetof(SYSCFG_TypeDef, EXTICR) == 0x08, "SYSCFG EXTICR");
static_assert(offsetof(EXTI_TypeDef, PR1) == 0x14, "EXTI PR1");
static_assert(offsetof(EXTI_TypeDef, IMR2) == 0x20, "EXTI IMR2");
static_assert(offsetof(SysTick_Type, CALIB) == 0x0C, "SysTick CALIB");
static_assert(offsetof(NVIC_Type, ICER) == 0x080, "NVIC ICER");
static_assert(offsetof(NVIC_Type, ISPR) == 0x100, "NVIC ISPR");
static_assert(offsetof(NVIC_Type, ICPR) == 0x180, "NVIC ICPR");
static_assert(offsetof(NVIC_Type, IABR) == 0x200, "NVIC IABR");
static_assert(offsetof(NVIC_Type, IP) == 0x300, "NVIC IP");
static_assert(offsetof(NVIC_Type, STIR) == 0xE00, "NVIC STIR");
static_assert(offsetof(SCB_Type, AIRCR) == 0x0C, "SCB AIRCR");
static_assert(offsetof(SCB_Type, SCR) == 0x10, "SCB SCR");
static_assert(offsetof(SCB_Type, SHP) == 0x18, "SCB SHP");
static_assert(offsetof(SCB_Type, SHCSR) == 0x24, "SCB SHCSR");
static_assert(offsetof(SCB_Type, CFSR) == 0x28, "SCB CFSR");
static_assert(offsetof(SCB_Type, CPACR) == 0x88, "SCB CPACR");

// ---- Interrupt numbers of the STM32L431 ----
static_assert(NonMaskableInt_IRQn == -14 && HardFault_IRQn == -13 && SVCall_IRQn == -5, "core");
static_assert(PendSV_IRQn == -2 && SysTick_IRQn == -1, "core");
static_assert(RCC_IRQn == 5 && EXTI0_IRQn == 6, "RCC/EXTI0");
static_assert(DMA1_Channel1_IRQn == 11 && DMA1_Channel2_IRQn == 12 && DMA1_Channel3_IRQn == 13, "DMA1");
static_assert(DMA1_Channel4_IRQn == 14 && DMA1_Channel5_IRQn == 15 && DMA1_Channel7_IRQn == 17, "DMA1");
static_assert(ADC1_IRQn == 18 && EXTI9_5_IRQn == 23 && TIM2_IRQn == 28, "ADC1/TIM2");
static_assert(I2C1_EV_IRQn == 31 && I2C1_ER_IRQn == 32 && I2C2_EV_IRQn == 33, "I2C");
static_assert(USART1_IRQn == 37 && USART2_IRQn == 38 && USART3_IRQn == 39, "USART");
static_assert(EXTI15_10_IRQn == 40 && RTC_Alarm_IRQn == 41, "EXTI15_10/RTC alarm");
static_assert(TIM6_DAC_IRQn == 54 && TIM7_IRQn == 55, "TIM6/TIM7");
static_assert(QUADSPI_IRQn == 71 && FPU_IRQn == 81 && CRS_IRQn == 82, "QUADSPI/FPU/CRS");
static_assert(__NVIC_PRIO_BITS == 4, "4 priority bits");

// ---- Every instance of the list has its macro, naming its own object ----
#define PERIPH(type, name, address)                                                   \
  static_assert(std::is_same<decltype(name), type*>::value, #name ": wrong type");   \
  static_assert(name == &name##_regs, #name ": macro does not name its object");
#include "stm32l431xx_instances.def"
#undef PERIPH

// ---- Values fixed by the hardware or relied on by the firmware ----
static_assert(GPIO_PIN_10 == 0x0400 && GPIO_PIN_All == 0xFFFF, "GPIO pins");
static_assert(NVIC_PRIORITYGROUP_4 == 3U && NVIC_PRIORITYGROUP_0 == 7U, "priority groups");
static_assert(DMA_CIRCULAR == 0x20U && DMA_MEMORY_TO_PERIPH == 0x10U && DMA_PRIORITY_VERY_HIGH == 0x3000U,
              "DMA CCR bits");
static_assert(UART_OVERSAMPLING_8 == 0x8000U && UART_WORDLENGTH_8B == 0U && UART_MODE_TX_RX == 0x0CU,
              "USART CR1 bits");
static_assert(TIM_OCMODE_PWM1 == 0x60U && TIM_AUTORELOAD_PRELOAD_ENABLE == 0x80U, "TIM bits");
static_assert(FLASH_PAGE_SIZE == 2048U && FLASH_BANK_1 == 1U, "flash pages");
static_assert(FLASH_FLAG_EOP == 0x01U && FLASH_FLAG_WRPERR == 0x10U && FLASH_FLAG_PGAERR == 0x20U,
              "flash SR bits 0, 4 and 5");
static_assert(__HAL_ADC_CHANNEL_TO_DECIMAL_NB(ADC_CHANNEL_6) == 6U &&
                  __HAL_ADC_CHANNEL_TO_DECIMAL_NB(ADC_CHANNEL_18) == 18U,
              "ADC channel numbers");
static_assert((ADC_CHANNEL_6 & 0xFFFFFU) == (1U << 6U), "ADC channel one-hot bit");
static_assert(QSPI_ADDRESS_32_BITS == 0x3000U && QSPI_DATA_4_LINES == 0x3000000U, "QUADSPI CCR");
static_assert(RTC_BKP_DR0 == 0U && RTC_BKP_DR31 == 31U && RTC_FORMAT_BIN == 0U, "RTC");
static_assert(I2C_MEMADD_SIZE_8BIT == 1U && I2C_ADDRESSINGMODE_7BIT == 1U, "I2C");
static_assert(RCC_FLAG_LSERDY == 65U && RCC_FLAG_PINRST == 122U, "RCC flag encoding");
static_assert(static_cast<uint32_t>(~TIM_FLAG_UPDATE) == 0xFFFFFFFEU, "masks are 32-bit on every backend");

// ---- Vendor signatures of the calls the firmware makes ----
SEAM_SIG(HAL_Init, HAL_StatusTypeDef (*)(void));
SEAM_SIG(HAL_DeInit, HAL_StatusTypeDef (*)(void));
SEAM_SIG(HAL_InitTick, HAL_StatusTypeDef (*)(uint32_t));
SEAM_SIG(HAL_MspInit, void (*)(void));
SEAM_SIG(HAL_IncTick, void (*)(void));
SEAM_SIG(HAL_GetTick, uint32_t (*)(void));
SEAM_SIG(HAL_Delay, void (*)(uint32_t));
SEAM_SIG(HAL_SuspendTick, void (*)(void));
SEAM_SIG(HAL_ResumeTick, void (*)(void));
SEAM_SIG(HAL_GetUIDw0, uint32_t (*)(void));
static_assert(std::is_same<decltype(uwTick), volatile uint32_t>::value, "uwTick");

SEAM_SIG(HAL_NVIC_SetPriorityGrouping, void (*)(uint32_t));
SEAM_SIG(HAL_NVIC_SetPriority, void (*)(IRQn_Type, uint32_t, uint32_t));
SEAM_SIG(HAL_NVIC_EnableIRQ, void (*)(IRQn_Type));
SEAM_SIG(HAL_NVIC_DisableIRQ, void (*)(IRQn_Type));
SEAM_SIG(HAL_NVIC_SetPendingIRQ, void (*)(IRQn_Type));
SEAM_SIG(HAL_NVIC_ClearPendingIRQ, void (*)(IRQn_Type));
SEAM_SIG(HAL_NVIC_GetPendingIRQ, uint32_t (*)(IRQn_Type));
SEAM_SIG(HAL_NVIC_SystemReset, void (*)(void));
SEAM_SIG(HAL_SYSTICK_Config, uint32_t (*)(uint32_t));
SEAM_SIG(HAL_SYSTICK_CLKSourceConfig, void (*)(uint32_t));
SEAM_SIG(HAL_SYSTICK_IRQHandler, void (*)(void));

SEAM_SIG(__WFI, void (*)(void));
SEAM_SIG(__NOP, void (*)(void));
SEAM_SIG(__DSB, void (*)(void));
SEAM_SIG(__disable_irq, void (*)(void));
SEAM_SIG(__enable_irq, void (*)(void));
SEAM_SIG(__get_PRIMASK, uint32_t (*)(void));
SEAM_SIG(__set_PRIMASK, void (*)(uint32_t));
SEAM_SIG(NVIC_EnableIRQ, void (*)(IRQn_Type));
SEAM_SIG(NVIC_SetPriority, void (*)(IRQn_Type, uint32_t));
SEAM_SIG(NVIC_SystemReset, void (*)(void));
SEAM_SIG(SysTick_Config, uint32_t (*)(uint32_t));

SEAM_SIG(HAL_GPIO_Init, void (*)(GPIO_TypeDef*, GPIO_InitTypeDef*));
SEAM_SIG(HAL_GPIO_DeInit, void (*)(GPIO_TypeDef*, uint32_t));
SEAM_SIG(HAL_GPIO_ReadPin, GPIO_PinState (*)(GPIO_TypeDef*, uint16_t));
SEAM_SIG(HAL_GPIO_WritePin, void (*)(GPIO_TypeDef*, uint16_t, GPIO_PinState));
SEAM_SIG(HAL_GPIO_TogglePin, void (*)(GPIO_TypeDef*, uint16_t));
SEAM_SIG(HAL_GPIO_EXTI_Callback, void (*)(uint16_t));

SEAM_SIG(HAL_DMA_Init, HAL_StatusTypeDef (*)(DMA_HandleTypeDef*));
SEAM_SIG(HAL_DMA_DeInit, HAL_StatusTypeDef (*)(DMA_HandleTypeDef*));
SEAM_SIG(HAL_DMA_Abort, HAL_StatusTypeDef (*)(DMA_HandleTypeDef*));
SEAM_SIG(HAL_DMA_IRQHandler, void (*)(DMA_HandleTypeDef*));

SEAM_SIG(HAL_UART_Init, HAL_StatusTypeDef (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_DeInit, HAL_StatusTypeDef (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_MspInit, void (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_Transmit, HAL_StatusTypeDef (*)(UART_HandleTypeDef*, const uint8_t*, uint16_t, uint32_t));
SEAM_SIG(HAL_UART_Receive, HAL_StatusTypeDef (*)(UART_HandleTypeDef*, uint8_t*, uint16_t, uint32_t));
SEAM_SIG(HAL_UART_Transmit_DMA, HAL_StatusTypeDef (*)(UART_HandleTypeDef*, const uint8_t*, uint16_t));
SEAM_SIG(HAL_UART_Receive_DMA, HAL_StatusTypeDef (*)(UART_HandleTypeDef*, uint8_t*, uint16_t));
SEAM_SIG(HAL_UART_DMAStop, HAL_StatusTypeDef (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_AbortReceive, HAL_StatusTypeDef (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_IRQHandler, void (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_RxCpltCallback, void (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_RxHalfCpltCallback, void (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_TxCpltCallback, void (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_ErrorCallback, void (*)(UART_HandleTypeDef*));
SEAM_SIG(HAL_UART_GetState, HAL_UART_StateTypeDef (*)(const UART_HandleTypeDef*));

SEAM_SIG(HAL_TIM_Base_Init, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_Base_DeInit, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_Base_Start, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_Base_Stop, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_Base_Start_IT, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_Base_Stop_IT, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_Base_MspInit, void (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_PWM_Init, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_PWM_MspInit, void (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_PWM_Start, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*, uint32_t));
SEAM_SIG(HAL_TIM_PWM_Stop, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*, uint32_t));
SEAM_SIG(HAL_TIM_PWM_ConfigChannel,
         HAL_StatusTypeDef (*)(TIM_HandleTypeDef*, const TIM_OC_InitTypeDef*, uint32_t));
SEAM_SIG(HAL_TIM_ConfigClockSource, HAL_StatusTypeDef (*)(TIM_HandleTypeDef*, const TIM_ClockConfigTypeDef*));
SEAM_SIG(HAL_TIMEx_MasterConfigSynchronization,
         HAL_StatusTypeDef (*)(TIM_HandleTypeDef*, const TIM_MasterConfigTypeDef*));
SEAM_SIG(HAL_TIM_IRQHandler, void (*)(TIM_HandleTypeDef*));
SEAM_SIG(HAL_TIM_PeriodElapsedCallback, void (*)(TIM_HandleTypeDef*));

SEAM_SIG(HAL_RCC_OscConfig, HAL_StatusTypeDef (*)(RCC_OscInitTypeDef*));
SEAM_SIG(HAL_RCC_ClockConfig, HAL_StatusTypeDef (*)(RCC_ClkInitTypeDef*, uint32_t));
SEAM_SIG(HAL_RCCEx_PeriphCLKConfig, HAL_StatusTypeDef (*)(RCC_PeriphCLKInitTypeDef*));
SEAM_SIG(HAL_RCC_GetHCLKFreq, uint32_t (*)(void));
SEAM_SIG(HAL_RCC_GetSysClockFreq, uint32_t (*)(void));
SEAM_SIG(HAL_RCC_GetPCLK1Freq, uint32_t (*)(void));
SEAM_SIG(HAL_RCC_GetPCLK2Freq, uint32_t (*)(void));

SEAM_SIG(HAL_PWR_EnableBkUpAccess, void (*)(void));
SEAM_SIG(HAL_PWR_DisableBkUpAccess, void (*)(void));
SEAM_SIG(HAL_PWR_DisablePVD, void (*)(void));
SEAM_SIG(HAL_PWR_DisableSEVOnPend, void (*)(void));
SEAM_SIG(HAL_PWR_DisableSleepOnExit, void (*)(void));
SEAM_SIG(HAL_PWR_EnterSTANDBYMode, void (*)(void));
SEAM_SIG(HAL_PWR_EnableWakeUpPin, void (*)(uint32_t));
SEAM_SIG(HAL_PWREx_ControlVoltageScaling, HAL_StatusTypeDef (*)(uint32_t));

SEAM_SIG(HAL_I2C_Init, HAL_StatusTypeDef (*)(I2C_HandleTypeDef*));
SEAM_SIG(HAL_I2C_Mem_Read,
         HAL_StatusTypeDef (*)(I2C_HandleTypeDef*, uint16_t, uint16_t, uint16_t, uint8_t*, uint16_t, uint32_t));
SEAM_SIG(HAL_I2C_Mem_Write,
         HAL_StatusTypeDef (*)(I2C_HandleTypeDef*, uint16_t, uint16_t, uint16_t, uint8_t*, uint16_t, uint32_t));
SEAM_SIG(HAL_I2C_Master_Transmit, HAL_StatusTypeDef (*)(I2C_HandleTypeDef*, uint16_t, uint8_t*, uint16_t, uint32_t));
SEAM_SIG(HAL_I2C_Master_Receive, HAL_StatusTypeDef (*)(I2C_HandleTypeDef*, uint16_t, uint8_t*, uint16_t, uint32_t));
SEAM_SIG(HAL_I2C_IsDeviceReady, HAL_StatusTypeDef (*)(I2C_HandleTypeDef*, uint16_t, uint32_t, uint32_t));
SEAM_SIG(HAL_I2CEx_ConfigAnalogFilter, HAL_StatusTypeDef (*)(I2C_HandleTypeDef*, uint32_t));
SEAM_SIG(HAL_I2CEx_ConfigDigitalFilter, HAL_StatusTypeDef (*)(I2C_HandleTypeDef*, uint32_t));
SEAM_SIG(HAL_I2C_EV_IRQHandler, void (*)(I2C_HandleTypeDef*));
SEAM_SIG(HAL_I2C_ER_IRQHandler, void (*)(I2C_HandleTypeDef*));

SEAM_SIG(HAL_ADC_Init, HAL_StatusTypeDef (*)(ADC_HandleTypeDef*));
SEAM_SIG(HAL_ADC_ConfigChannel, HAL_StatusTypeDef (*)(ADC_HandleTypeDef*, ADC_ChannelConfTypeDef*));
SEAM_SIG(HAL_ADC_Start, HAL_StatusTypeDef (*)(ADC_HandleTypeDef*));
SEAM_SIG(HAL_ADC_PollForConversion, HAL_StatusTypeDef (*)(ADC_HandleTypeDef*, uint32_t));
SEAM_SIG(HAL_ADC_Start_IT, HAL_StatusTypeDef (*)(ADC_HandleTypeDef*));
SEAM_SIG(HAL_ADC_Stop_IT, HAL_StatusTypeDef (*)(ADC_HandleTypeDef*));
SEAM_SIG(HAL_ADC_GetValue, uint32_t (*)(ADC_HandleTypeDef*));
SEAM_SIG(HAL_ADC_IRQHandler, void (*)(ADC_HandleTypeDef*));
SEAM_SIG(HAL_ADC_ConvCpltCallback, void (*)(ADC_HandleTypeDef*));
SEAM_SIG(HAL_ADCEx_Calibration_Start, HAL_StatusTypeDef (*)(ADC_HandleTypeDef*, uint32_t));

SEAM_SIG(HAL_RTC_Init, HAL_StatusTypeDef (*)(RTC_HandleTypeDef*));
SEAM_SIG(HAL_RTC_SetTime, HAL_StatusTypeDef (*)(RTC_HandleTypeDef*, RTC_TimeTypeDef*, uint32_t));
SEAM_SIG(HAL_RTC_GetTime, HAL_StatusTypeDef (*)(RTC_HandleTypeDef*, RTC_TimeTypeDef*, uint32_t));
SEAM_SIG(HAL_RTC_SetDate, HAL_StatusTypeDef (*)(RTC_HandleTypeDef*, RTC_DateTypeDef*, uint32_t));
SEAM_SIG(HAL_RTC_GetDate, HAL_StatusTypeDef (*)(RTC_HandleTypeDef*, RTC_DateTypeDef*, uint32_t));
SEAM_SIG(HAL_RTCEx_BKUPWrite, void (*)(RTC_HandleTypeDef*, uint32_t, uint32_t));
SEAM_SIG(HAL_RTCEx_BKUPRead, uint32_t (*)(RTC_HandleTypeDef*, uint32_t));
static_assert(sizeof(RTC_DateTypeDef) == 4, "date record: four bytes");

SEAM_SIG(HAL_QSPI_Init, HAL_StatusTypeDef (*)(QSPI_HandleTypeDef*));
SEAM_SIG(HAL_QSPI_Command, HAL_StatusTypeDef (*)(QSPI_HandleTypeDef*, QSPI_CommandTypeDef*, uint32_t));
SEAM_SIG(HAL_QSPI_Transmit, HAL_StatusTypeDef (*)(QSPI_HandleTypeDef*, uint8_t*, uint32_t));
SEAM_SIG(HAL_QSPI_Receive, HAL_StatusTypeDef (*)(QSPI_HandleTypeDef*, uint8_t*, uint32_t));
SEAM_SIG(HAL_QSPI_AutoPolling,
         HAL_StatusTypeDef (*)(QSPI_HandleTypeDef*, QSPI_CommandTypeDef*, QSPI_AutoPollingTypeDef*, uint32_t));

SEAM_SIG(HAL_FLASH_Unlock, HAL_StatusTypeDef (*)(void));
SEAM_SIG(HAL_FLASH_Lock, HAL_StatusTypeDef (*)(void));
SEAM_SIG(HAL_FLASH_Program, HAL_StatusTypeDef (*)(uint32_t, uint32_t, uint64_t));
SEAM_SIG(HAL_QSPI_Transmit_16, HAL_StatusTypeDef (*)(QSPI_HandleTypeDef*, uint8_t*, uint32_t));
SEAM_SIG(HAL_QSPI_Receive_16, HAL_StatusTypeDef (*)(QSPI_HandleTypeDef*, uint8_t*, uint32_t));
SEAM_SIG(HAL_FLASH_Program_Word, HAL_StatusTypeDef (*)(uint32_t, uint32_t));
SEAM_SIG(HAL_FLASHEx_Erase, HAL_StatusTypeDef (*)(FLASH_EraseInitTypeDef*, uint32_t*));
SEAM_SIG(HAL_FLASH_GetError, uint32_t (*)(void));

SEAM_SIG(SystemInit, void (*)(void));
SEAM_SIG(SystemCoreClockUpdate, void (*)(void));
static_assert(std::is_same<decltype(SystemCoreClock), uint32_t>::value, "SystemCoreClock");

// ---- Handles carry the fields the firmware and the backends use ----
static_assert(std::is_same<decltype(UART_HandleTypeDef::hdmarx), DMA_HandleTypeDef*>::value, "UART hdmarx");
static_assert(std::is_same<decltype(DMA_HandleTypeDef::Parent), void*>::value, "DMA Parent");
static_assert(std::is_same<decltype(TIM_HandleTypeDef::Instance), TIM_TypeDef*>::value, "TIM Instance");
static_assert(std::is_same<decltype(QSPI_HandleTypeDef::Lock), volatile HAL_LockTypeDef>::value, "QSPI Lock");

}  // namespace
