/* HAL UART module (USART in asynchronous mode). */
#ifndef STM32L4xx_HAL_UART_H
#define STM32L4xx_HAL_UART_H

#include "stm32l4xx_hal_def.h"
#include "stm32l4xx_hal_dma.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t BaudRate;
  uint32_t WordLength;      /* UART_WORDLENGTH_xB */
  uint32_t StopBits;        /* UART_STOPBITS_x */
  uint32_t Parity;          /* UART_PARITY_x */
  uint32_t Mode;            /* UART_MODE_RX / TX / TX_RX */
  uint32_t HwFlowCtl;       /* UART_HWCONTROL_x */
  uint32_t OverSampling;    /* UART_OVERSAMPLING_16 / _8 */
  uint32_t OneBitSampling;  /* UART_ONE_BIT_SAMPLE_DISABLE / _ENABLE */
} UART_InitTypeDef;

typedef struct {
  uint32_t AdvFeatureInit; /* UART_ADVFEATURE_x, or-ed; UART_ADVFEATURE_NO_INIT for none */
  uint32_t TxPinLevelInvert;
  uint32_t RxPinLevelInvert;
  uint32_t DataInvert;
  uint32_t Swap;
  uint32_t OverrunDisable;
  uint32_t DMADisableonRxError;
  uint32_t AutoBaudRateEnable;
  uint32_t AutoBaudRateMode;
  uint32_t MSBFirst;
} UART_AdvFeatureInitTypeDef;

/* gState/RxState values: bits 7-5 the global state, bits 1-0 Tx/Rx busy. */
typedef uint32_t HAL_UART_StateTypeDef;
#define HAL_UART_STATE_RESET      0x00000000U
#define HAL_UART_STATE_READY      0x00000020U
#define HAL_UART_STATE_BUSY       0x00000024U
#define HAL_UART_STATE_BUSY_TX    0x00000021U
#define HAL_UART_STATE_BUSY_RX    0x00000022U
#define HAL_UART_STATE_BUSY_TX_RX 0x00000023U
#define HAL_UART_STATE_TIMEOUT    0x000000A0U
#define HAL_UART_STATE_ERROR      0x000000E0U

typedef uint32_t HAL_UART_RxTypeTypeDef;
#define HAL_UART_RECEPTION_STANDARD    0x00000000U
#define HAL_UART_RECEPTION_TOIDLE      0x00000001U
#define HAL_UART_RECEPTION_TORTO       0x00000002U
#define HAL_UART_RECEPTION_TOCHARMATCH 0x00000003U

typedef uint32_t HAL_UART_RxEventTypeTypeDef;
#define HAL_UART_RXEVENT_TC   0x00000000U
#define HAL_UART_RXEVENT_HT   0x00000001U
#define HAL_UART_RXEVENT_IDLE 0x00000002U

typedef struct __UART_HandleTypeDef {
  USART_TypeDef* Instance;
  UART_InitTypeDef Init;
  UART_AdvFeatureInitTypeDef AdvancedInit;
  const uint8_t* pTxBuffPtr;
  uint16_t TxXferSize;
  __IO uint16_t TxXferCount;
  uint8_t* pRxBuffPtr;
  uint16_t RxXferSize;
  __IO uint16_t RxXferCount;
  uint16_t Mask;
  __IO HAL_UART_RxTypeTypeDef ReceptionType;
  __IO HAL_UART_RxEventTypeTypeDef RxEventType;
  void (*RxISR)(struct __UART_HandleTypeDef* huart);
  void (*TxISR)(struct __UART_HandleTypeDef* huart);
  DMA_HandleTypeDef* hdmatx;
  DMA_HandleTypeDef* hdmarx;
  HAL_LockTypeDef Lock;
  __IO HAL_UART_StateTypeDef gState;  /* global and transmit state */
  __IO HAL_UART_StateTypeDef RxState; /* receive state */
  __IO uint32_t ErrorCode;            /* HAL_UART_ERROR_x */
} UART_HandleTypeDef;

#define HAL_UART_ERROR_NONE 0x00000000U
#define HAL_UART_ERROR_PE   0x00000001U
#define HAL_UART_ERROR_NE   0x00000002U
#define HAL_UART_ERROR_FE   0x00000004U
#define HAL_UART_ERROR_ORE  0x00000008U
#define HAL_UART_ERROR_DMA  0x00000010U
#define HAL_UART_ERROR_RTO  0x00000020U

#define UART_WORDLENGTH_7B USART_CR1_M1
#define UART_WORDLENGTH_8B 0x00000000U
#define UART_WORDLENGTH_9B USART_CR1_M0

#define UART_STOPBITS_0_5 USART_CR2_STOP_0
#define UART_STOPBITS_1   0x00000000U
#define UART_STOPBITS_1_5 (USART_CR2_STOP_0 | USART_CR2_STOP_1)
#define UART_STOPBITS_2   USART_CR2_STOP_1

#define UART_PARITY_NONE 0x00000000U
#define UART_PARITY_EVEN USART_CR1_PCE
#define UART_PARITY_ODD  (USART_CR1_PCE | USART_CR1_PS)

#define UART_HWCONTROL_NONE    0x00000000U
#define UART_HWCONTROL_RTS     USART_CR3_RTSE
#define UART_HWCONTROL_CTS     USART_CR3_CTSE
#define UART_HWCONTROL_RTS_CTS (USART_CR3_RTSE | USART_CR3_CTSE)

#define UART_MODE_RX    USART_CR1_RE
#define UART_MODE_TX    USART_CR1_TE
#define UART_MODE_TX_RX (USART_CR1_TE | USART_CR1_RE)

#define UART_STATE_DISABLE 0x00000000U
#define UART_STATE_ENABLE  USART_CR1_UE

#define UART_OVERSAMPLING_16 0x00000000U
#define UART_OVERSAMPLING_8  USART_CR1_OVER8

#define UART_ONE_BIT_SAMPLE_DISABLE 0x00000000U
#define UART_ONE_BIT_SAMPLE_ENABLE  USART_CR3_ONEBIT

#define UART_ADVFEATURE_NO_INIT              0x00000000U
#define UART_ADVFEATURE_TXINVERT_INIT        0x00000001U
#define UART_ADVFEATURE_RXINVERT_INIT        0x00000002U
#define UART_ADVFEATURE_DATAINVERT_INIT      0x00000004U
#define UART_ADVFEATURE_SWAP_INIT            0x00000008U
#define UART_ADVFEATURE_RXOVERRUNDISABLE_INIT 0x00000010U
#define UART_ADVFEATURE_DMADISABLEONERROR_INIT 0x00000020U
#define UART_ADVFEATURE_AUTOBAUDRATE_INIT    0x00000040U
#define UART_ADVFEATURE_MSBFIRST_INIT        0x00000080U
#define UART_ADVFEATURE_OVERRUN_ENABLE       0x00000000U
#define UART_ADVFEATURE_OVERRUN_DISABLE      USART_CR3_OVRDIS
#define UART_ADVFEATURE_DMA_ENABLEONRXERROR  0x00000000U
#define UART_ADVFEATURE_DMA_DISABLEONRXERROR USART_CR3_DDRE

#define UART_FLAG_REACK USART_ISR_REACK
#define UART_FLAG_TEACK USART_ISR_TEACK
#define UART_FLAG_WUF   USART_ISR_WUF
#define UART_FLAG_RWU   USART_ISR_RWU
#define UART_FLAG_SBKF  USART_ISR_SBKF
#define UART_FLAG_CMF   USART_ISR_CMF
#define UART_FLAG_BUSY  USART_ISR_BUSY
#define UART_FLAG_ABRF  USART_ISR_ABRF
#define UART_FLAG_ABRE  USART_ISR_ABRE
#define UART_FLAG_RTOF  USART_ISR_RTOF
#define UART_FLAG_CTS   USART_ISR_CTS
#define UART_FLAG_CTSIF USART_ISR_CTSIF
#define UART_FLAG_LBDF  USART_ISR_LBDF
#define UART_FLAG_TXE   USART_ISR_TXE
#define UART_FLAG_TC    USART_ISR_TC
#define UART_FLAG_RXNE  USART_ISR_RXNE
#define UART_FLAG_IDLE  USART_ISR_IDLE
#define UART_FLAG_ORE   USART_ISR_ORE
#define UART_FLAG_NE    USART_ISR_NE
#define UART_FLAG_FE    USART_ISR_FE
#define UART_FLAG_PE    USART_ISR_PE

/* Interrupt identifiers: bits 7-5 select CR1 (1), CR2 (2) or CR3 (3), bits 4-0 the
 * bit in that register; bits 15-8 the matching ISR bit. */
#define UART_IT_PE    0x0028U
#define UART_IT_TXE   0x0727U
#define UART_IT_TC    0x0626U
#define UART_IT_RXNE  0x0525U
#define UART_IT_IDLE  0x0424U
#define UART_IT_LBD   0x0846U
#define UART_IT_CTS   0x096AU
#define UART_IT_CM    0x112EU
#define UART_IT_WUF   0x1476U
#define UART_IT_RTO   0x0B3AU
#define UART_IT_ERR   0x0060U
#define UART_IT_ORE   0x0300U
#define UART_IT_NE    0x0200U
#define UART_IT_FE    0x0100U
#define UART_IT_MASK  0x001FU

#define UART_CLEAR_PEF    USART_ICR_PECF
#define UART_CLEAR_FEF    USART_ICR_FECF
#define UART_CLEAR_NEF    USART_ICR_NCF
#define UART_CLEAR_OREF   USART_ICR_ORECF
#define UART_CLEAR_IDLEF  USART_ICR_IDLECF
#define UART_CLEAR_TCF    USART_ICR_TCCF
#define UART_CLEAR_LBDF   USART_ICR_LBDCF
#define UART_CLEAR_CTSF   USART_ICR_CTSCF
#define UART_CLEAR_CMF    USART_ICR_CMCF
#define UART_CLEAR_WUF    USART_ICR_WUCF
#define UART_CLEAR_RTOF   USART_ICR_RTOCF

#define UART_RXDATA_FLUSH_REQUEST USART_RQR_RXFRQ
#define UART_TXDATA_FLUSH_REQUEST USART_RQR_TXFRQ

#define __HAL_UART_RESET_HANDLE_STATE(__HANDLE__) \
  do {                                            \
    (__HANDLE__)->gState = HAL_UART_STATE_RESET;  \
    (__HANDLE__)->RxState = HAL_UART_STATE_RESET; \
  } while (0U)
#define __HAL_UART_FLUSH_DRREGISTER(__HANDLE__)                                   \
  do {                                                                            \
    SET_BIT((__HANDLE__)->Instance->RQR, UART_RXDATA_FLUSH_REQUEST);              \
    SET_BIT((__HANDLE__)->Instance->RQR, UART_TXDATA_FLUSH_REQUEST);              \
  } while (0U)
#define __HAL_UART_CLEAR_FLAG(__HANDLE__, __FLAG__) ((__HANDLE__)->Instance->ICR = (__FLAG__))
#define __HAL_UART_CLEAR_PEFLAG(__HANDLE__)   __HAL_UART_CLEAR_FLAG((__HANDLE__), UART_CLEAR_PEF)
#define __HAL_UART_CLEAR_FEFLAG(__HANDLE__)   __HAL_UART_CLEAR_FLAG((__HANDLE__), UART_CLEAR_FEF)
#define __HAL_UART_CLEAR_NEFLAG(__HANDLE__)   __HAL_UART_CLEAR_FLAG((__HANDLE__), UART_CLEAR_NEF)
#define __HAL_UART_CLEAR_OREFLAG(__HANDLE__)  __HAL_UART_CLEAR_FLAG((__HANDLE__), UART_CLEAR_OREF)
#define __HAL_UART_CLEAR_IDLEFLAG(__HANDLE__) __HAL_UART_CLEAR_FLAG((__HANDLE__), UART_CLEAR_IDLEF)
#define __HAL_UART_GET_FLAG(__HANDLE__, __FLAG__) (((__HANDLE__)->Instance->ISR & (__FLAG__)) == (__FLAG__))
#define __HAL_UART_ENABLE_IT(__HANDLE__, __INTERRUPT__)                                                   \
  (((((uint8_t)(__INTERRUPT__)) >> 5U) == 1U)   ? ((__HANDLE__)->Instance->CR1 |= (1UL << ((__INTERRUPT__) & UART_IT_MASK))) \
   : ((((uint8_t)(__INTERRUPT__)) >> 5U) == 2U) ? ((__HANDLE__)->Instance->CR2 |= (1UL << ((__INTERRUPT__) & UART_IT_MASK))) \
                                                : ((__HANDLE__)->Instance->CR3 |= (1UL << ((__INTERRUPT__) & UART_IT_MASK))))
#define __HAL_UART_DISABLE_IT(__HANDLE__, __INTERRUPT__)                                                  \
  (((((uint8_t)(__INTERRUPT__)) >> 5U) == 1U)   ? ((__HANDLE__)->Instance->CR1 &= ~(1UL << ((__INTERRUPT__) & UART_IT_MASK))) \
   : ((((uint8_t)(__INTERRUPT__)) >> 5U) == 2U) ? ((__HANDLE__)->Instance->CR2 &= ~(1UL << ((__INTERRUPT__) & UART_IT_MASK))) \
                                                : ((__HANDLE__)->Instance->CR3 &= ~(1UL << ((__INTERRUPT__) & UART_IT_MASK))))
#define __HAL_UART_GET_IT(__HANDLE__, __INTERRUPT__) \
  ((((__HANDLE__)->Instance->ISR & (1UL << ((__INTERRUPT__) >> 8U))) != 0U) ? SET : RESET)
#define __HAL_UART_ENABLE(__HANDLE__)  ((__HANDLE__)->Instance->CR1 |= USART_CR1_UE)
#define __HAL_UART_DISABLE(__HANDLE__) ((__HANDLE__)->Instance->CR1 &= ~USART_CR1_UE)

HAL_StatusTypeDef HAL_UART_Init(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_HalfDuplex_Init(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_DeInit(UART_HandleTypeDef* huart);
void HAL_UART_MspInit(UART_HandleTypeDef* huart);
void HAL_UART_MspDeInit(UART_HandleTypeDef* huart);

/* Blocking transfers. A handle that is not initialised or already transferring in
 * the same direction answers HAL_BUSY (so a message sent before the port is set up
 * is refused); a time-out answers HAL_TIMEOUT. */
HAL_StatusTypeDef HAL_UART_Transmit(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size,
                                    uint32_t Timeout);
HAL_StatusTypeDef HAL_UART_Receive(UART_HandleTypeDef* huart, uint8_t* pData, uint16_t Size,
                                   uint32_t Timeout);
HAL_StatusTypeDef HAL_UART_Transmit_IT(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size);
HAL_StatusTypeDef HAL_UART_Receive_IT(UART_HandleTypeDef* huart, uint8_t* pData, uint16_t Size);
HAL_StatusTypeDef HAL_UART_Transmit_DMA(UART_HandleTypeDef* huart, const uint8_t* pData, uint16_t Size);
/* Starts a DMA reception. While a reception runs (RxState not READY; in circular
 * mode that is for ever) the call answers HAL_BUSY and changes nothing. Completion
 * and half-completion callbacks come from the receive DMA channel's interrupt. */
HAL_StatusTypeDef HAL_UART_Receive_DMA(UART_HandleTypeDef* huart, uint8_t* pData, uint16_t Size);
HAL_StatusTypeDef HAL_UART_DMAPause(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_DMAResume(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_DMAStop(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_Abort(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_AbortTransmit(UART_HandleTypeDef* huart);
HAL_StatusTypeDef HAL_UART_AbortReceive(UART_HandleTypeDef* huart);

void HAL_UART_IRQHandler(UART_HandleTypeDef* huart);
void HAL_UART_TxHalfCpltCallback(UART_HandleTypeDef* huart);
void HAL_UART_TxCpltCallback(UART_HandleTypeDef* huart);
void HAL_UART_RxHalfCpltCallback(UART_HandleTypeDef* huart);
void HAL_UART_RxCpltCallback(UART_HandleTypeDef* huart);
void HAL_UART_ErrorCallback(UART_HandleTypeDef* huart);
void HAL_UART_AbortCpltCallback(UART_HandleTypeDef* huart);
void HAL_UART_AbortTransmitCpltCallback(UART_HandleTypeDef* huart);
void HAL_UART_AbortReceiveCpltCallback(UART_HandleTypeDef* huart);

HAL_UART_StateTypeDef HAL_UART_GetState(const UART_HandleTypeDef* huart);
uint32_t HAL_UART_GetError(const UART_HandleTypeDef* huart);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_UART_H */
