/* Compile check of the board seam as C: every declared HAL function is referenced,
 * every handle and init structure is instantiated, and the main register macros are
 * expanded on the instance objects. Built as C and as C++ (seam_usage_check.cpp) on
 * every preset; nothing here is linked. */
#include "stm32l4xx_hal.h"
#include "stm32l4xx_hal_additions.h"

/* The addresses of every declared function. void (*)(void) is the generic function
 * pointer type that a cast from any function type may target. */
typedef void (*seam_fn)(void);
const seam_fn seam_declared_functions[] = {
  (seam_fn)&FLASH_WaitForLastOperation,
  (seam_fn)&HAL_ADCEx_Calibration_GetValue,
  (seam_fn)&HAL_ADCEx_Calibration_SetValue,
  (seam_fn)&HAL_ADCEx_Calibration_Start,
  (seam_fn)&HAL_ADCEx_EndOfSamplingCallback,
  (seam_fn)&HAL_ADCEx_InjectedConvCpltCallback,
  (seam_fn)&HAL_ADCEx_InjectedGetValue,
  (seam_fn)&HAL_ADCEx_InjectedQueueOverflowCallback,
  (seam_fn)&HAL_ADCEx_InjectedStart,
  (seam_fn)&HAL_ADCEx_InjectedStart_IT,
  (seam_fn)&HAL_ADCEx_InjectedStop,
  (seam_fn)&HAL_ADCEx_InjectedStop_IT,
  (seam_fn)&HAL_ADCEx_LevelOutOfWindow2Callback,
  (seam_fn)&HAL_ADCEx_LevelOutOfWindow3Callback,
  (seam_fn)&HAL_ADCEx_RegularStop,
  (seam_fn)&HAL_ADCEx_RegularStop_IT,
  (seam_fn)&HAL_ADC_ConfigChannel,
  (seam_fn)&HAL_ADC_ConvCpltCallback,
  (seam_fn)&HAL_ADC_ConvHalfCpltCallback,
  (seam_fn)&HAL_ADC_DeInit,
  (seam_fn)&HAL_ADC_ErrorCallback,
  (seam_fn)&HAL_ADC_GetError,
  (seam_fn)&HAL_ADC_GetState,
  (seam_fn)&HAL_ADC_GetValue,
  (seam_fn)&HAL_ADC_IRQHandler,
  (seam_fn)&HAL_ADC_Init,
  (seam_fn)&HAL_ADC_LevelOutOfWindowCallback,
  (seam_fn)&HAL_ADC_MspDeInit,
  (seam_fn)&HAL_ADC_MspInit,
  (seam_fn)&HAL_ADC_PollForConversion,
  (seam_fn)&HAL_ADC_PollForEvent,
  (seam_fn)&HAL_ADC_Start,
  (seam_fn)&HAL_ADC_Start_DMA,
  (seam_fn)&HAL_ADC_Start_IT,
  (seam_fn)&HAL_ADC_Stop,
  (seam_fn)&HAL_ADC_Stop_DMA,
  (seam_fn)&HAL_ADC_Stop_IT,
  (seam_fn)&HAL_DMA_Abort,
  (seam_fn)&HAL_DMA_Abort_IT,
  (seam_fn)&HAL_DMA_DeInit,
  (seam_fn)&HAL_DMA_GetError,
  (seam_fn)&HAL_DMA_GetState,
  (seam_fn)&HAL_DMA_IRQHandler,
  (seam_fn)&HAL_DMA_Init,
  (seam_fn)&HAL_DMA_PollForTransfer,
  (seam_fn)&HAL_DMA_RegisterCallback,
  (seam_fn)&HAL_DMA_Start,
  (seam_fn)&HAL_DMA_Start_IT,
  (seam_fn)&HAL_DMA_UnRegisterCallback,
  (seam_fn)&HAL_DeInit,
  (seam_fn)&HAL_Delay,
  (seam_fn)&HAL_FLASHEx_Erase,
  (seam_fn)&HAL_FLASHEx_Erase_IT,
  (seam_fn)&HAL_FLASH_EndOfOperationCallback,
  (seam_fn)&HAL_FLASH_GetError,
  (seam_fn)&HAL_FLASH_IRQHandler,
  (seam_fn)&HAL_FLASH_Lock,
  (seam_fn)&HAL_FLASH_OB_Launch,
  (seam_fn)&HAL_FLASH_OB_Lock,
  (seam_fn)&HAL_FLASH_OB_Unlock,
  (seam_fn)&HAL_FLASH_OperationErrorCallback,
  (seam_fn)&HAL_FLASH_Program,
  (seam_fn)&HAL_FLASH_Program_IT,
  (seam_fn)&HAL_FLASH_Program_Word,
  (seam_fn)&HAL_FLASH_Unlock,
  (seam_fn)&HAL_GPIO_DeInit,
  (seam_fn)&HAL_GPIO_EXTI_Callback,
  (seam_fn)&HAL_GPIO_EXTI_IRQHandler,
  (seam_fn)&HAL_GPIO_Init,
  (seam_fn)&HAL_GPIO_LockPin,
  (seam_fn)&HAL_GPIO_ReadPin,
  (seam_fn)&HAL_GPIO_TogglePin,
  (seam_fn)&HAL_GPIO_WritePin,
  (seam_fn)&HAL_GetDEVID,
  (seam_fn)&HAL_GetHalVersion,
  (seam_fn)&HAL_GetREVID,
  (seam_fn)&HAL_GetTick,
  (seam_fn)&HAL_GetTickFreq,
  (seam_fn)&HAL_GetTickPrio,
  (seam_fn)&HAL_GetUIDw0,
  (seam_fn)&HAL_GetUIDw1,
  (seam_fn)&HAL_GetUIDw2,
  (seam_fn)&HAL_HalfDuplex_Init,
  (seam_fn)&HAL_I2CEx_ConfigAnalogFilter,
  (seam_fn)&HAL_I2CEx_ConfigDigitalFilter,
  (seam_fn)&HAL_I2CEx_DisableFastModePlus,
  (seam_fn)&HAL_I2CEx_DisableWakeUp,
  (seam_fn)&HAL_I2CEx_EnableFastModePlus,
  (seam_fn)&HAL_I2CEx_EnableWakeUp,
  (seam_fn)&HAL_I2C_AbortCpltCallback,
  (seam_fn)&HAL_I2C_DeInit,
  (seam_fn)&HAL_I2C_ER_IRQHandler,
  (seam_fn)&HAL_I2C_EV_IRQHandler,
  (seam_fn)&HAL_I2C_ErrorCallback,
  (seam_fn)&HAL_I2C_GetError,
  (seam_fn)&HAL_I2C_GetMode,
  (seam_fn)&HAL_I2C_GetState,
  (seam_fn)&HAL_I2C_Init,
  (seam_fn)&HAL_I2C_IsDeviceReady,
  (seam_fn)&HAL_I2C_MasterRxCpltCallback,
  (seam_fn)&HAL_I2C_MasterTxCpltCallback,
  (seam_fn)&HAL_I2C_Master_Receive,
  (seam_fn)&HAL_I2C_Master_Receive_IT,
  (seam_fn)&HAL_I2C_Master_Transmit,
  (seam_fn)&HAL_I2C_Master_Transmit_IT,
  (seam_fn)&HAL_I2C_MemRxCpltCallback,
  (seam_fn)&HAL_I2C_MemTxCpltCallback,
  (seam_fn)&HAL_I2C_Mem_Read,
  (seam_fn)&HAL_I2C_Mem_Read_IT,
  (seam_fn)&HAL_I2C_Mem_Write,
  (seam_fn)&HAL_I2C_Mem_Write_IT,
  (seam_fn)&HAL_I2C_MspDeInit,
  (seam_fn)&HAL_I2C_MspInit,
  (seam_fn)&HAL_I2C_SlaveRxCpltCallback,
  (seam_fn)&HAL_I2C_SlaveTxCpltCallback,
  (seam_fn)&HAL_I2C_Slave_Receive,
  (seam_fn)&HAL_I2C_Slave_Transmit,
  (seam_fn)&HAL_IncTick,
  (seam_fn)&HAL_Init,
  (seam_fn)&HAL_InitTick,
  (seam_fn)&HAL_MspDeInit,
  (seam_fn)&HAL_MspInit,
  (seam_fn)&HAL_NVIC_ClearPendingIRQ,
  (seam_fn)&HAL_NVIC_DisableIRQ,
  (seam_fn)&HAL_NVIC_EnableIRQ,
  (seam_fn)&HAL_NVIC_GetActive,
  (seam_fn)&HAL_NVIC_GetPendingIRQ,
  (seam_fn)&HAL_NVIC_GetPriority,
  (seam_fn)&HAL_NVIC_GetPriorityGrouping,
  (seam_fn)&HAL_NVIC_SetPendingIRQ,
  (seam_fn)&HAL_NVIC_SetPriority,
  (seam_fn)&HAL_NVIC_SetPriorityGrouping,
  (seam_fn)&HAL_NVIC_SystemReset,
  (seam_fn)&HAL_PWREx_ControlVoltageScaling,
  (seam_fn)&HAL_PWREx_DisableBatteryCharging,
  (seam_fn)&HAL_PWREx_DisableGPIOPullDown,
  (seam_fn)&HAL_PWREx_DisableGPIOPullUp,
  (seam_fn)&HAL_PWREx_DisableInternalWakeUpLine,
  (seam_fn)&HAL_PWREx_DisableLowPowerRunMode,
  (seam_fn)&HAL_PWREx_DisablePullUpPullDownConfig,
  (seam_fn)&HAL_PWREx_DisableSRAM2ContentRetention,
  (seam_fn)&HAL_PWREx_EnableBatteryCharging,
  (seam_fn)&HAL_PWREx_EnableGPIOPullDown,
  (seam_fn)&HAL_PWREx_EnableGPIOPullUp,
  (seam_fn)&HAL_PWREx_EnableInternalWakeUpLine,
  (seam_fn)&HAL_PWREx_EnableLowPowerRunMode,
  (seam_fn)&HAL_PWREx_EnablePullUpPullDownConfig,
  (seam_fn)&HAL_PWREx_EnableSRAM2ContentRetention,
  (seam_fn)&HAL_PWREx_EnterSHUTDOWNMode,
  (seam_fn)&HAL_PWREx_EnterSTOP0Mode,
  (seam_fn)&HAL_PWREx_EnterSTOP1Mode,
  (seam_fn)&HAL_PWREx_EnterSTOP2Mode,
  (seam_fn)&HAL_PWREx_GetVoltageRange,
  (seam_fn)&HAL_PWR_ConfigPVD,
  (seam_fn)&HAL_PWR_DeInit,
  (seam_fn)&HAL_PWR_DisableBkUpAccess,
  (seam_fn)&HAL_PWR_DisablePVD,
  (seam_fn)&HAL_PWR_DisableSEVOnPend,
  (seam_fn)&HAL_PWR_DisableSleepOnExit,
  (seam_fn)&HAL_PWR_DisableWakeUpPin,
  (seam_fn)&HAL_PWR_EnableBkUpAccess,
  (seam_fn)&HAL_PWR_EnablePVD,
  (seam_fn)&HAL_PWR_EnableSEVOnPend,
  (seam_fn)&HAL_PWR_EnableSleepOnExit,
  (seam_fn)&HAL_PWR_EnableWakeUpPin,
  (seam_fn)&HAL_PWR_EnterSLEEPMode,
  (seam_fn)&HAL_PWR_EnterSTANDBYMode,
  (seam_fn)&HAL_PWR_EnterSTOPMode,
  (seam_fn)&HAL_PWR_PVDCallback,
  (seam_fn)&HAL_QSPI_Abort,
  (seam_fn)&HAL_QSPI_AbortCpltCallback,
  (seam_fn)&HAL_QSPI_Abort_IT,
  (seam_fn)&HAL_QSPI_AutoPolling,
  (seam_fn)&HAL_QSPI_AutoPolling_IT,
  (seam_fn)&HAL_QSPI_CmdCpltCallback,
  (seam_fn)&HAL_QSPI_Command,
  (seam_fn)&HAL_QSPI_Command_IT,
  (seam_fn)&HAL_QSPI_DeInit,
  (seam_fn)&HAL_QSPI_ErrorCallback,
  (seam_fn)&HAL_QSPI_FifoThresholdCallback,
  (seam_fn)&HAL_QSPI_GetError,
  (seam_fn)&HAL_QSPI_GetFifoThreshold,
  (seam_fn)&HAL_QSPI_GetState,
  (seam_fn)&HAL_QSPI_IRQHandler,
  (seam_fn)&HAL_QSPI_Init,
  (seam_fn)&HAL_QSPI_MemoryMapped,
  (seam_fn)&HAL_QSPI_MspDeInit,
  (seam_fn)&HAL_QSPI_MspInit,
  (seam_fn)&HAL_QSPI_Receive,
  (seam_fn)&HAL_QSPI_Receive_16,
  (seam_fn)&HAL_QSPI_Receive_DMA,
  (seam_fn)&HAL_QSPI_Receive_IT,
  (seam_fn)&HAL_QSPI_RxCpltCallback,
  (seam_fn)&HAL_QSPI_SetFifoThreshold,
  (seam_fn)&HAL_QSPI_SetFlashID,
  (seam_fn)&HAL_QSPI_SetTimeout,
  (seam_fn)&HAL_QSPI_StatusMatchCallback,
  (seam_fn)&HAL_QSPI_TimeOutCallback,
  (seam_fn)&HAL_QSPI_Transmit,
  (seam_fn)&HAL_QSPI_Transmit_16,
  (seam_fn)&HAL_QSPI_Transmit_DMA,
  (seam_fn)&HAL_QSPI_Transmit_IT,
  (seam_fn)&HAL_QSPI_TxCpltCallback,
  (seam_fn)&HAL_RCCEx_DisableLSECSS,
  (seam_fn)&HAL_RCCEx_DisableMSIPLLMode,
  (seam_fn)&HAL_RCCEx_DisablePLLSAI1,
  (seam_fn)&HAL_RCCEx_EnableLSECSS,
  (seam_fn)&HAL_RCCEx_EnableMSIPLLMode,
  (seam_fn)&HAL_RCCEx_EnablePLLSAI1,
  (seam_fn)&HAL_RCCEx_GetPeriphCLKConfig,
  (seam_fn)&HAL_RCCEx_GetPeriphCLKFreq,
  (seam_fn)&HAL_RCCEx_PeriphCLKConfig,
  (seam_fn)&HAL_RCC_CSSCallback,
  (seam_fn)&HAL_RCC_ClockConfig,
  (seam_fn)&HAL_RCC_DeInit,
  (seam_fn)&HAL_RCC_EnableCSS,
  (seam_fn)&HAL_RCC_GetClockConfig,
  (seam_fn)&HAL_RCC_GetHCLKFreq,
  (seam_fn)&HAL_RCC_GetOscConfig,
  (seam_fn)&HAL_RCC_GetPCLK1Freq,
  (seam_fn)&HAL_RCC_GetPCLK2Freq,
  (seam_fn)&HAL_RCC_GetSysClockFreq,
  (seam_fn)&HAL_RCC_MCOConfig,
  (seam_fn)&HAL_RCC_NMI_IRQHandler,
  (seam_fn)&HAL_RCC_OscConfig,
  (seam_fn)&HAL_RTCEx_BKUPRead,
  (seam_fn)&HAL_RTCEx_BKUPWrite,
  (seam_fn)&HAL_RTCEx_DeactivateWakeUpTimer,
  (seam_fn)&HAL_RTCEx_DisableBypassShadow,
  (seam_fn)&HAL_RTCEx_EnableBypassShadow,
  (seam_fn)&HAL_RTCEx_SetWakeUpTimer_IT,
  (seam_fn)&HAL_RTCEx_WakeUpTimerEventCallback,
  (seam_fn)&HAL_RTCEx_WakeUpTimerIRQHandler,
  (seam_fn)&HAL_RTC_AlarmAEventCallback,
  (seam_fn)&HAL_RTC_AlarmIRQHandler,
  (seam_fn)&HAL_RTC_DeInit,
  (seam_fn)&HAL_RTC_DeactivateAlarm,
  (seam_fn)&HAL_RTC_GetDate,
  (seam_fn)&HAL_RTC_GetState,
  (seam_fn)&HAL_RTC_GetTime,
  (seam_fn)&HAL_RTC_Init,
  (seam_fn)&HAL_RTC_MspDeInit,
  (seam_fn)&HAL_RTC_MspInit,
  (seam_fn)&HAL_RTC_SetAlarm,
  (seam_fn)&HAL_RTC_SetAlarm_IT,
  (seam_fn)&HAL_RTC_SetDate,
  (seam_fn)&HAL_RTC_SetTime,
  (seam_fn)&HAL_RTC_WaitForSynchro,
  (seam_fn)&HAL_ResumeTick,
  (seam_fn)&HAL_SYSTICK_CLKSourceConfig,
  (seam_fn)&HAL_SYSTICK_Callback,
  (seam_fn)&HAL_SYSTICK_Config,
  (seam_fn)&HAL_SYSTICK_IRQHandler,
  (seam_fn)&HAL_SetTickFreq,
  (seam_fn)&HAL_SuspendTick,
  (seam_fn)&HAL_TIMEx_Break2Callback,
  (seam_fn)&HAL_TIMEx_BreakCallback,
  (seam_fn)&HAL_TIMEx_CommutCallback,
  (seam_fn)&HAL_TIMEx_ConfigBreakDeadTime,
  (seam_fn)&HAL_TIMEx_MasterConfigSynchronization,
  (seam_fn)&HAL_TIMEx_PWMN_Start,
  (seam_fn)&HAL_TIMEx_PWMN_Stop,
  (seam_fn)&HAL_TIM_Base_DeInit,
  (seam_fn)&HAL_TIM_Base_GetState,
  (seam_fn)&HAL_TIM_Base_Init,
  (seam_fn)&HAL_TIM_Base_MspDeInit,
  (seam_fn)&HAL_TIM_Base_MspInit,
  (seam_fn)&HAL_TIM_Base_Start,
  (seam_fn)&HAL_TIM_Base_Start_IT,
  (seam_fn)&HAL_TIM_Base_Stop,
  (seam_fn)&HAL_TIM_Base_Stop_IT,
  (seam_fn)&HAL_TIM_ConfigClockSource,
  (seam_fn)&HAL_TIM_ErrorCallback,
  (seam_fn)&HAL_TIM_GenerateEvent,
  (seam_fn)&HAL_TIM_GetActiveChannel,
  (seam_fn)&HAL_TIM_GetChannelState,
  (seam_fn)&HAL_TIM_IC_CaptureCallback,
  (seam_fn)&HAL_TIM_IRQHandler,
  (seam_fn)&HAL_TIM_OC_ConfigChannel,
  (seam_fn)&HAL_TIM_OC_DeInit,
  (seam_fn)&HAL_TIM_OC_DelayElapsedCallback,
  (seam_fn)&HAL_TIM_OC_GetState,
  (seam_fn)&HAL_TIM_OC_Init,
  (seam_fn)&HAL_TIM_OC_MspDeInit,
  (seam_fn)&HAL_TIM_OC_MspInit,
  (seam_fn)&HAL_TIM_OC_Start,
  (seam_fn)&HAL_TIM_OC_Stop,
  (seam_fn)&HAL_TIM_PWM_ConfigChannel,
  (seam_fn)&HAL_TIM_PWM_DeInit,
  (seam_fn)&HAL_TIM_PWM_GetState,
  (seam_fn)&HAL_TIM_PWM_Init,
  (seam_fn)&HAL_TIM_PWM_MspDeInit,
  (seam_fn)&HAL_TIM_PWM_MspInit,
  (seam_fn)&HAL_TIM_PWM_PulseFinishedCallback,
  (seam_fn)&HAL_TIM_PWM_Start,
  (seam_fn)&HAL_TIM_PWM_Start_IT,
  (seam_fn)&HAL_TIM_PWM_Stop,
  (seam_fn)&HAL_TIM_PWM_Stop_IT,
  (seam_fn)&HAL_TIM_PeriodElapsedCallback,
  (seam_fn)&HAL_TIM_PeriodElapsedHalfCpltCallback,
  (seam_fn)&HAL_TIM_TriggerCallback,
  (seam_fn)&HAL_UART_Abort,
  (seam_fn)&HAL_UART_AbortCpltCallback,
  (seam_fn)&HAL_UART_AbortReceive,
  (seam_fn)&HAL_UART_AbortReceiveCpltCallback,
  (seam_fn)&HAL_UART_AbortTransmit,
  (seam_fn)&HAL_UART_AbortTransmitCpltCallback,
  (seam_fn)&HAL_UART_DMAPause,
  (seam_fn)&HAL_UART_DMAResume,
  (seam_fn)&HAL_UART_DMAStop,
  (seam_fn)&HAL_UART_DeInit,
  (seam_fn)&HAL_UART_ErrorCallback,
  (seam_fn)&HAL_UART_GetError,
  (seam_fn)&HAL_UART_GetState,
  (seam_fn)&HAL_UART_IRQHandler,
  (seam_fn)&HAL_UART_Init,
  (seam_fn)&HAL_UART_MspDeInit,
  (seam_fn)&HAL_UART_MspInit,
  (seam_fn)&HAL_UART_Receive,
  (seam_fn)&HAL_UART_Receive_DMA,
  (seam_fn)&HAL_UART_Receive_IT,
  (seam_fn)&HAL_UART_RxCpltCallback,
  (seam_fn)&HAL_UART_RxHalfCpltCallback,
  (seam_fn)&HAL_UART_Transmit,
  (seam_fn)&HAL_UART_Transmit_DMA,
  (seam_fn)&HAL_UART_Transmit_IT,
  (seam_fn)&HAL_UART_TxCpltCallback,
  (seam_fn)&HAL_UART_TxHalfCpltCallback,
  (seam_fn)&NVIC_ClearPendingIRQ,
  (seam_fn)&NVIC_DisableIRQ,
  (seam_fn)&NVIC_EnableIRQ,
  (seam_fn)&NVIC_GetActive,
  (seam_fn)&NVIC_GetEnableIRQ,
  (seam_fn)&NVIC_GetPendingIRQ,
  (seam_fn)&NVIC_GetPriority,
  (seam_fn)&NVIC_GetPriorityGrouping,
  (seam_fn)&NVIC_SetPendingIRQ,
  (seam_fn)&NVIC_SetPriority,
  (seam_fn)&NVIC_SetPriorityGrouping,
  (seam_fn)&NVIC_SystemReset,
  (seam_fn)&SysTick_Config,
  (seam_fn)&SystemCoreClockUpdate,
  (seam_fn)&SystemInit,
  (seam_fn)&__DMB,
  (seam_fn)&__DSB,
  (seam_fn)&__ISB,
  (seam_fn)&__NOP,
  (seam_fn)&__SEV,
  (seam_fn)&__WFE,
  (seam_fn)&__WFI,
  (seam_fn)&__disable_fault_irq,
  (seam_fn)&__disable_irq,
  (seam_fn)&__enable_fault_irq,
  (seam_fn)&__enable_irq,
  (seam_fn)&__get_BASEPRI,
  (seam_fn)&__get_IPSR,
  (seam_fn)&__get_PRIMASK,
  (seam_fn)&__set_BASEPRI,
  (seam_fn)&__set_PRIMASK,
};

UART_HandleTypeDef seam_huart;
DMA_HandleTypeDef seam_hdma;
TIM_HandleTypeDef seam_htim;
I2C_HandleTypeDef seam_hi2c;
ADC_HandleTypeDef seam_hadc;
RTC_HandleTypeDef seam_hrtc;
QSPI_HandleTypeDef seam_hqspi;

static GPIO_InitTypeDef gpio;
static RCC_OscInitTypeDef osc;
static RCC_ClkInitTypeDef clk;
static RCC_PeriphCLKInitTypeDef periph;
static TIM_OC_InitTypeDef oc;
static TIM_ClockConfigTypeDef clock_source;
static TIM_MasterConfigTypeDef master;
static ADC_ChannelConfTypeDef channel;
static RTC_TimeTypeDef time;
static RTC_DateTypeDef date;
static QSPI_CommandTypeDef cmd;
static QSPI_AutoPollingTypeDef polling;
static FLASH_EraseInitTypeDef erase;
static PWR_PVDTypeDef pvd;

uint32_t seam_expand_macros(void);
uint32_t seam_expand_macros(void) {
  uint32_t sum = 0U;

  gpio.Pin = GPIO_PIN_8 | GPIO_PIN_9;
  gpio.Mode = GPIO_MODE_AF_PP;
  gpio.Pull = GPIO_PULLDOWN;
  gpio.Speed = GPIO_SPEED_FREQ_VERY_HIGH;
  gpio.Alternate = GPIO_AF10_QUADSPI;
  osc.OscillatorType = RCC_OSCILLATORTYPE_HSE | RCC_OSCILLATORTYPE_LSE;
  osc.PLL.PLLSource = RCC_PLLSOURCE_HSE;
  osc.PLL.PLLP = RCC_PLLP_DIV7;
  clk.ClockType = RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK;
  clk.APB1CLKDivider = RCC_HCLK_DIV1;
  periph.PeriphClockSelection = RCC_PERIPHCLK_ADC | RCC_PERIPHCLK_RTC;
  periph.PLLSAI1.PLLSAI1ClockOut = RCC_PLLSAI1_ADC1CLK;
  periph.AdcClockSelection = RCC_ADCCLKSOURCE_PLLSAI1;
  oc.OCMode = TIM_OCMODE_PWM1;
  clock_source.ClockSource = TIM_CLOCKSOURCE_INTERNAL;
  master.MasterOutputTrigger = TIM_TRGO_RESET;
  channel.Channel = ADC_CHANNEL_6;
  channel.Rank = ADC_REGULAR_RANK_1;
  channel.SamplingTime = ADC_SAMPLETIME_24CYCLES_5;
  channel.SingleDiff = ADC_SINGLE_ENDED;
  channel.OffsetNumber = ADC_OFFSET_NONE;
  time.Hours = 12U;
  date.Month = RTC_MONTH_JULY;
  cmd.InstructionMode = QSPI_INSTRUCTION_1_LINE;
  cmd.AddressSize = QSPI_ADDRESS_32_BITS;
  polling.MatchMode = QSPI_MATCH_MODE_AND;
  erase.TypeErase = FLASH_TYPEERASE_PAGES;
  erase.Banks = FLASH_BANK_1;
  pvd.Mode = PWR_PVD_MODE_NORMAL;

  seam_huart.Instance = USART3;
  seam_huart.Init.BaudRate = 115200U;
  seam_huart.Init.OverSampling = UART_OVERSAMPLING_8;
  seam_hdma.Instance = DMA1_Channel3;
  seam_hdma.Init.Request = DMA_REQUEST_2;
  seam_hdma.Init.Mode = DMA_CIRCULAR;
  __HAL_LINKDMA(&seam_huart, hdmarx, seam_hdma);
  seam_htim.Instance = TIM7;
  seam_hi2c.Instance = I2C1;
  seam_hi2c.Init.Timing = 0x00506682U;
  seam_hadc.Instance = ADC1;
  seam_hadc.Init.ClockPrescaler = ADC_CLOCK_ASYNC_DIV2;
  seam_hrtc.Instance = RTC;
  seam_hqspi.Instance = QUADSPI;

  __HAL_RCC_GPIOA_CLK_ENABLE();
  __HAL_RCC_DMA1_CLK_ENABLE();
  __HAL_RCC_PWR_CLK_ENABLE();
  __HAL_RCC_LSEDRIVE_CONFIG(RCC_LSEDRIVE_LOW);
  __HAL_RCC_RTC_ENABLE();
  sum += __HAL_RCC_GET_FLAG(RCC_FLAG_PINRST);
  __HAL_TIM_SET_AUTORELOAD(&seam_htim, 999U);
  __HAL_TIM_SET_COMPARE(&seam_htim, TIM_CHANNEL_1, 499U);
  __HAL_TIM_SET_PRESCALER(&seam_htim, 47U);
  __HAL_TIM_SET_COUNTER(&seam_htim, 0U);
  sum += __HAL_TIM_GET_COUNTER(&seam_htim);
  __HAL_TIM_CLEAR_IT(&seam_htim, TIM_IT_UPDATE);
  __HAL_TIM_ENABLE_IT(&seam_htim, TIM_IT_UPDATE);
  __HAL_TIM_DISABLE(&seam_htim);
  sum += __HAL_DMA_GET_COUNTER(&seam_hdma);
  __HAL_DMA_DISABLE_IT(&seam_hdma, DMA_IT_HT);
  __HAL_UART_ENABLE_IT(&seam_huart, UART_IT_RXNE);
  __HAL_UART_CLEAR_OREFLAG(&seam_huart);
  sum += (uint32_t)__HAL_UART_GET_FLAG(&seam_huart, UART_FLAG_TXE);
  __HAL_I2C_ENABLE(&seam_hi2c);
  __HAL_ADC_CLEAR_FLAG(&seam_hadc, ADC_FLAG_EOC);
  __HAL_RTC_WRITEPROTECTION_DISABLE(&seam_hrtc);
  __HAL_QSPI_CLEAR_FLAG(&seam_hqspi, QSPI_FLAG_TC);
  __HAL_FLASH_CLEAR_FLAG(FLASH_FLAG_EOP | FLASH_FLAG_WRPERR | FLASH_FLAG_PGAERR);
  sum += FLASH_SIZE;
  sum += (uint32_t)__HAL_PWR_GET_FLAG(PWR_FLAG_SB);
  __HAL_PWR_CLEAR_FLAG(PWR_FLAG_WU);
  sum += *(volatile const uint16_t*)FLASHSIZE_BASE;
  sum += NVIC_EncodePriority(NVIC_PRIORITYGROUP_4, 2U, 0U);
  sum += (uint32_t)HAL_IS_BIT_SET(RCC->CR, RCC_CR_HSERDY);
  MODIFY_REG(PWR->CR1, PWR_CR1_VOS, PWR_REGULATOR_VOLTAGE_SCALE1);

  sum += (uint32_t)HAL_GPIO_ReadPin(GPIOA, GPIO_PIN_4);
  HAL_GPIO_Init(GPIOB, &gpio);
  sum += (uint32_t)HAL_RCC_OscConfig(&osc) + (uint32_t)HAL_RCC_ClockConfig(&clk, FLASH_LATENCY_2);
  sum += (uint32_t)HAL_RCCEx_PeriphCLKConfig(&periph);
  sum += (uint32_t)HAL_TIM_PWM_ConfigChannel(&seam_htim, &oc, TIM_CHANNEL_1);
  sum += (uint32_t)HAL_TIM_ConfigClockSource(&seam_htim, &clock_source);
  sum += (uint32_t)HAL_TIMEx_MasterConfigSynchronization(&seam_htim, &master);
  sum += (uint32_t)HAL_ADC_ConfigChannel(&seam_hadc, &channel);
  sum += (uint32_t)HAL_RTC_GetTime(&seam_hrtc, &time, RTC_FORMAT_BIN);
  sum += (uint32_t)HAL_RTC_GetDate(&seam_hrtc, &date, RTC_FORMAT_BIN);
  sum += (uint32_t)HAL_QSPI_AutoPolling(&seam_hqspi, &cmd, &polling, HAL_QSPI_TIMEOUT_DEFAULT_VALUE);
  sum += (uint32_t)HAL_FLASHEx_Erase(&erase, &sum);
  sum += (uint32_t)HAL_FLASH_Program_Word(FLASH_BASE, 0xFFFFFFFFU);
  sum += (uint32_t)HAL_PWR_ConfigPVD(&pvd);
  sum += (uint32_t)HAL_UART_Transmit(&seam_huart, (const uint8_t*)"x", 1U, 1000U);
  __disable_irq();
  __enable_irq();
  __WFI();
  return sum;
}
