/* HAL QSPI module: indirect mode commands and data phases, status polling, and
 * the 16-bit data phase this firmware adds. */
#ifndef STM32L4xx_HAL_QSPI_H
#define STM32L4xx_HAL_QSPI_H

#include "stm32l4xx_hal_def.h"
#include "stm32l4xx_hal_dma.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t ClockPrescaler;     /* 0..255: serial clock = HCLK / (ClockPrescaler + 1) */
  uint32_t FifoThreshold;      /* 1..16 */
  uint32_t SampleShifting;     /* QSPI_SAMPLE_SHIFTING_x */
  uint32_t FlashSize;          /* 0..31: 2^(FlashSize+1) bytes addressable */
  uint32_t ChipSelectHighTime; /* QSPI_CS_HIGH_TIME_x */
  uint32_t ClockMode;          /* QSPI_CLOCK_MODE_0 / _3 */
  uint32_t FlashID;            /* QSPI_FLASH_ID_1 / _2 */
  uint32_t DualFlash;          /* QSPI_DUALFLASH_x */
} QSPI_InitTypeDef;

typedef enum {
  HAL_QSPI_STATE_RESET = 0x00U,
  HAL_QSPI_STATE_READY = 0x01U,
  HAL_QSPI_STATE_BUSY = 0x02U,
  HAL_QSPI_STATE_BUSY_INDIRECT_TX = 0x12U,
  HAL_QSPI_STATE_BUSY_INDIRECT_RX = 0x22U,
  HAL_QSPI_STATE_BUSY_AUTO_POLLING = 0x42U,
  HAL_QSPI_STATE_BUSY_MEM_MAPPED = 0x82U,
  HAL_QSPI_STATE_ABORT = 0x08U,
  HAL_QSPI_STATE_ERROR = 0x04U
} HAL_QSPI_StateTypeDef;

typedef struct {
  QUADSPI_TypeDef* Instance;
  QSPI_InitTypeDef Init;
  uint8_t* pTxBuffPtr;
  __IO uint32_t TxXferSize;
  __IO uint32_t TxXferCount;
  uint8_t* pRxBuffPtr;
  __IO uint32_t RxXferSize;
  __IO uint32_t RxXferCount;
  DMA_HandleTypeDef* hdma;
  __IO HAL_LockTypeDef Lock;
  __IO HAL_QSPI_StateTypeDef State;
  __IO uint32_t ErrorCode; /* HAL_QSPI_ERROR_x */
  uint32_t Timeout;
} QSPI_HandleTypeDef;

typedef struct {
  uint32_t Instruction;        /* 8-bit instruction */
  uint32_t Address;            /* up to 32 bits */
  uint32_t AlternateBytes;
  uint32_t AddressSize;        /* QSPI_ADDRESS_x_BITS */
  uint32_t AlternateBytesSize; /* QSPI_ALTERNATE_BYTES_x_BITS */
  uint32_t DummyCycles;        /* 0..31 */
  uint32_t InstructionMode;    /* QSPI_INSTRUCTION_x */
  uint32_t AddressMode;        /* QSPI_ADDRESS_x */
  uint32_t AlternateByteMode;  /* QSPI_ALTERNATE_BYTES_x */
  uint32_t DataMode;           /* QSPI_DATA_x */
  uint32_t NbData;             /* bytes of the data phase; 0 = undefined length */
  uint32_t DdrMode;            /* QSPI_DDR_MODE_x */
  uint32_t DdrHoldHalfCycle;   /* QSPI_DDR_HHC_x */
  uint32_t SIOOMode;           /* QSPI_SIOO_x */
} QSPI_CommandTypeDef;

typedef struct {
  uint32_t Match;
  uint32_t Mask;
  uint32_t Interval;        /* clock cycles between two reads */
  uint32_t StatusBytesSize; /* 1..4 */
  uint32_t MatchMode;       /* QSPI_MATCH_MODE_AND / OR */
  uint32_t AutomaticStop;   /* QSPI_AUTOMATIC_STOP_x */
} QSPI_AutoPollingTypeDef;

typedef struct {
  uint32_t TimeOutPeriod;
  uint32_t TimeOutActivation; /* QSPI_TIMEOUT_COUNTER_x */
} QSPI_MemoryMappedTypeDef;

#define HAL_QSPI_ERROR_NONE          0x00000000U
#define HAL_QSPI_ERROR_TIMEOUT       0x00000001U
#define HAL_QSPI_ERROR_TRANSFER      0x00000002U
#define HAL_QSPI_ERROR_DMA           0x00000004U
#define HAL_QSPI_ERROR_INVALID_PARAM 0x00000008U

#define HAL_QSPI_TIMEOUT_DEFAULT_VALUE 5000U /* ms */

#define QSPI_SAMPLE_SHIFTING_NONE      0x00000000U
#define QSPI_SAMPLE_SHIFTING_HALFCYCLE QUADSPI_CR_SSHIFT

#define QSPI_CS_HIGH_TIME_1_CYCLE 0x00000000U
#define QSPI_CS_HIGH_TIME_2_CYCLE QUADSPI_DCR_CSHT_0
#define QSPI_CS_HIGH_TIME_3_CYCLE QUADSPI_DCR_CSHT_1
#define QSPI_CS_HIGH_TIME_4_CYCLE (QUADSPI_DCR_CSHT_0 | QUADSPI_DCR_CSHT_1)
#define QSPI_CS_HIGH_TIME_5_CYCLE QUADSPI_DCR_CSHT_2
#define QSPI_CS_HIGH_TIME_6_CYCLE (QUADSPI_DCR_CSHT_2 | QUADSPI_DCR_CSHT_0)
#define QSPI_CS_HIGH_TIME_7_CYCLE (QUADSPI_DCR_CSHT_2 | QUADSPI_DCR_CSHT_1)
#define QSPI_CS_HIGH_TIME_8_CYCLE QUADSPI_DCR_CSHT

#define QSPI_CLOCK_MODE_0 0x00000000U
#define QSPI_CLOCK_MODE_3 QUADSPI_DCR_CKMODE

#define QSPI_FLASH_ID_1 0x00000000U
#define QSPI_FLASH_ID_2 QUADSPI_CR_FSEL
#define QSPI_DUALFLASH_ENABLE  QUADSPI_CR_DFM
#define QSPI_DUALFLASH_DISABLE 0x00000000U

#define QSPI_ADDRESS_8_BITS  0x00000000U
#define QSPI_ADDRESS_16_BITS QUADSPI_CCR_ADSIZE_0
#define QSPI_ADDRESS_24_BITS QUADSPI_CCR_ADSIZE_1
#define QSPI_ADDRESS_32_BITS QUADSPI_CCR_ADSIZE

#define QSPI_ALTERNATE_BYTES_8_BITS  0x00000000U
#define QSPI_ALTERNATE_BYTES_16_BITS QUADSPI_CCR_ABSIZE_0
#define QSPI_ALTERNATE_BYTES_24_BITS QUADSPI_CCR_ABSIZE_1
#define QSPI_ALTERNATE_BYTES_32_BITS QUADSPI_CCR_ABSIZE

#define QSPI_INSTRUCTION_NONE    0x00000000U
#define QSPI_INSTRUCTION_1_LINE  QUADSPI_CCR_IMODE_0
#define QSPI_INSTRUCTION_2_LINES QUADSPI_CCR_IMODE_1
#define QSPI_INSTRUCTION_4_LINES QUADSPI_CCR_IMODE

#define QSPI_ADDRESS_NONE    0x00000000U
#define QSPI_ADDRESS_1_LINE  QUADSPI_CCR_ADMODE_0
#define QSPI_ADDRESS_2_LINES QUADSPI_CCR_ADMODE_1
#define QSPI_ADDRESS_4_LINES QUADSPI_CCR_ADMODE

#define QSPI_ALTERNATE_BYTES_NONE    0x00000000U
#define QSPI_ALTERNATE_BYTES_1_LINE  QUADSPI_CCR_ABMODE_0
#define QSPI_ALTERNATE_BYTES_2_LINES QUADSPI_CCR_ABMODE_1
#define QSPI_ALTERNATE_BYTES_4_LINES QUADSPI_CCR_ABMODE

#define QSPI_DATA_NONE    0x00000000U
#define QSPI_DATA_1_LINE  QUADSPI_CCR_DMODE_0
#define QSPI_DATA_2_LINES QUADSPI_CCR_DMODE_1
#define QSPI_DATA_4_LINES QUADSPI_CCR_DMODE

#define QSPI_DDR_MODE_DISABLE 0x00000000U
#define QSPI_DDR_MODE_ENABLE  QUADSPI_CCR_DDRM
#define QSPI_DDR_HHC_ANALOG_DELAY   0x00000000U
#define QSPI_DDR_HHC_HALF_CLK_DELAY QUADSPI_CCR_DHHC
#define QSPI_SIOO_INST_EVERY_CMD     0x00000000U
#define QSPI_SIOO_INST_ONLY_FIRST_CMD QUADSPI_CCR_SIOO

#define QSPI_MATCH_MODE_AND 0x00000000U
#define QSPI_MATCH_MODE_OR  QUADSPI_CR_PMM
#define QSPI_AUTOMATIC_STOP_DISABLE 0x00000000U
#define QSPI_AUTOMATIC_STOP_ENABLE  QUADSPI_CR_APMS
#define QSPI_TIMEOUT_COUNTER_DISABLE 0x00000000U
#define QSPI_TIMEOUT_COUNTER_ENABLE  QUADSPI_CR_TCEN

#define QSPI_FLAG_BUSY QUADSPI_SR_BUSY
#define QSPI_FLAG_TO   QUADSPI_SR_TOF
#define QSPI_FLAG_SM   QUADSPI_SR_SMF
#define QSPI_FLAG_FT   QUADSPI_SR_FTF
#define QSPI_FLAG_TC   QUADSPI_SR_TCF
#define QSPI_FLAG_TE   QUADSPI_SR_TEF

#define QSPI_IT_TO QUADSPI_CR_TOIE
#define QSPI_IT_SM QUADSPI_CR_SMIE
#define QSPI_IT_FT QUADSPI_CR_FTIE
#define QSPI_IT_TC QUADSPI_CR_TCIE
#define QSPI_IT_TE QUADSPI_CR_TEIE

#define __HAL_QSPI_RESET_HANDLE_STATE(__HANDLE__) ((__HANDLE__)->State = HAL_QSPI_STATE_RESET)
#define __HAL_QSPI_ENABLE(__HANDLE__) SET_BIT((__HANDLE__)->Instance->CR, QUADSPI_CR_EN)
#define __HAL_QSPI_DISABLE(__HANDLE__) CLEAR_BIT((__HANDLE__)->Instance->CR, QUADSPI_CR_EN)
#define __HAL_QSPI_ENABLE_IT(__HANDLE__, __INTERRUPT__) SET_BIT((__HANDLE__)->Instance->CR, (__INTERRUPT__))
#define __HAL_QSPI_DISABLE_IT(__HANDLE__, __INTERRUPT__) CLEAR_BIT((__HANDLE__)->Instance->CR, (__INTERRUPT__))
#define __HAL_QSPI_GET_IT_SOURCE(__HANDLE__, __INTERRUPT__) \
  (READ_BIT((__HANDLE__)->Instance->CR, (__INTERRUPT__)) == (__INTERRUPT__))
#define __HAL_QSPI_GET_FLAG(__HANDLE__, __FLAG__) \
  ((READ_BIT((__HANDLE__)->Instance->SR, (__FLAG__)) != 0U) ? SET : RESET)
#define __HAL_QSPI_CLEAR_FLAG(__HANDLE__, __FLAG__) WRITE_REG((__HANDLE__)->Instance->FCR, (__FLAG__))

HAL_StatusTypeDef HAL_QSPI_Init(QSPI_HandleTypeDef* hqspi);
HAL_StatusTypeDef HAL_QSPI_DeInit(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_MspInit(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_MspDeInit(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_IRQHandler(QSPI_HandleTypeDef* hqspi);

/* Indirect mode, blocking. HAL_QSPI_Command sends the instruction, address,
 * alternate bytes and dummy cycles; with a data phase it leaves the transfer open
 * for HAL_QSPI_Transmit or HAL_QSPI_Receive, which move cmd->NbData bytes. A handle
 * that is locked or not READY answers HAL_BUSY (the caller treats that as a bus
 * error); a flag that does not come within Timeout ms answers HAL_TIMEOUT. */
HAL_StatusTypeDef HAL_QSPI_Command(QSPI_HandleTypeDef* hqspi, QSPI_CommandTypeDef* cmd, uint32_t Timeout);
HAL_StatusTypeDef HAL_QSPI_Transmit(QSPI_HandleTypeDef* hqspi, uint8_t* pData, uint32_t Timeout);
HAL_StatusTypeDef HAL_QSPI_Receive(QSPI_HandleTypeDef* hqspi, uint8_t* pData, uint32_t Timeout);

HAL_StatusTypeDef HAL_QSPI_Command_IT(QSPI_HandleTypeDef* hqspi, QSPI_CommandTypeDef* cmd);
HAL_StatusTypeDef HAL_QSPI_Transmit_IT(QSPI_HandleTypeDef* hqspi, uint8_t* pData);
HAL_StatusTypeDef HAL_QSPI_Receive_IT(QSPI_HandleTypeDef* hqspi, uint8_t* pData);
HAL_StatusTypeDef HAL_QSPI_Transmit_DMA(QSPI_HandleTypeDef* hqspi, uint8_t* pData);
HAL_StatusTypeDef HAL_QSPI_Receive_DMA(QSPI_HandleTypeDef* hqspi, uint8_t* pData);

/* Sends the command repeatedly until (status & Mask) matches Match. */
HAL_StatusTypeDef HAL_QSPI_AutoPolling(QSPI_HandleTypeDef* hqspi, QSPI_CommandTypeDef* cmd,
                                       QSPI_AutoPollingTypeDef* cfg, uint32_t Timeout);
HAL_StatusTypeDef HAL_QSPI_AutoPolling_IT(QSPI_HandleTypeDef* hqspi, QSPI_CommandTypeDef* cmd,
                                          QSPI_AutoPollingTypeDef* cfg);
HAL_StatusTypeDef HAL_QSPI_MemoryMapped(QSPI_HandleTypeDef* hqspi, QSPI_CommandTypeDef* cmd,
                                        QSPI_MemoryMappedTypeDef* cfg);

void HAL_QSPI_ErrorCallback(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_AbortCpltCallback(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_FifoThresholdCallback(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_CmdCpltCallback(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_RxCpltCallback(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_TxCpltCallback(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_StatusMatchCallback(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_TimeOutCallback(QSPI_HandleTypeDef* hqspi);

HAL_QSPI_StateTypeDef HAL_QSPI_GetState(const QSPI_HandleTypeDef* hqspi);
uint32_t HAL_QSPI_GetError(const QSPI_HandleTypeDef* hqspi);
HAL_StatusTypeDef HAL_QSPI_Abort(QSPI_HandleTypeDef* hqspi);
HAL_StatusTypeDef HAL_QSPI_Abort_IT(QSPI_HandleTypeDef* hqspi);
void HAL_QSPI_SetTimeout(QSPI_HandleTypeDef* hqspi, uint32_t Timeout);
HAL_StatusTypeDef HAL_QSPI_SetFifoThreshold(QSPI_HandleTypeDef* hqspi, uint32_t Threshold);
uint32_t HAL_QSPI_GetFifoThreshold(const QSPI_HandleTypeDef* hqspi);
HAL_StatusTypeDef HAL_QSPI_SetFlashID(QSPI_HandleTypeDef* hqspi, uint32_t FlashID);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_QSPI_H */
