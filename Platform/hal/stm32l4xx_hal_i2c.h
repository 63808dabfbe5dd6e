/* HAL I2C module (I2C v2 peripheral with the TIMINGR register). */
#ifndef STM32L4xx_HAL_I2C_H
#define STM32L4xx_HAL_I2C_H

#include "stm32l4xx_hal_def.h"
#include "stm32l4xx_hal_dma.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint32_t Timing;           /* TIMINGR value */
  uint32_t OwnAddress1;
  uint32_t AddressingMode;   /* I2C_ADDRESSINGMODE_7BIT / 10BIT */
  uint32_t DualAddressMode;
  uint32_t OwnAddress2;
  uint32_t OwnAddress2Masks;
  uint32_t GeneralCallMode;
  uint32_t NoStretchMode;
} I2C_InitTypeDef;

typedef enum {
  HAL_I2C_STATE_RESET = 0x00U,
  HAL_I2C_STATE_READY = 0x20U,
  HAL_I2C_STATE_BUSY = 0x24U,
  HAL_I2C_STATE_BUSY_TX = 0x21U,
  HAL_I2C_STATE_BUSY_RX = 0x22U,
  HAL_I2C_STATE_LISTEN = 0x28U,
  HAL_I2C_STATE_BUSY_TX_LISTEN = 0x29U,
  HAL_I2C_STATE_BUSY_RX_LISTEN = 0x2AU,
  HAL_I2C_STATE_ABORT = 0x60U
} HAL_I2C_StateTypeDef;

typedef enum {
  HAL_I2C_MODE_NONE = 0x00U,
  HAL_I2C_MODE_MASTER = 0x10U,
  HAL_I2C_MODE_SLAVE = 0x20U,
  HAL_I2C_MODE_MEM = 0x40U
} HAL_I2C_ModeTypeDef;

typedef struct __I2C_HandleTypeDef {
  I2C_TypeDef* Instance;
  I2C_InitTypeDef Init;
  uint8_t* pBuffPtr;
  uint16_t XferSize;
  __IO uint16_t XferCount;
  __IO uint32_t XferOptions;
  __IO uint32_t PreviousState;
  HAL_StatusTypeDef (*XferISR)(struct __I2C_HandleTypeDef* hi2c, uint32_t ITFlags, uint32_t ITSources);
  DMA_HandleTypeDef* hdmatx;
  DMA_HandleTypeDef* hdmarx;
  HAL_LockTypeDef Lock;
  __IO HAL_I2C_StateTypeDef State;
  __IO HAL_I2C_ModeTypeDef Mode;
  __IO uint32_t ErrorCode; /* HAL_I2C_ERROR_x */
  __IO uint32_t AddrEventCount;
  __IO uint32_t Devaddress;
  __IO uint32_t Memaddress;
} I2C_HandleTypeDef;

#define HAL_I2C_ERROR_NONE          0x00000000U
#define HAL_I2C_ERROR_BERR          0x00000001U
#define HAL_I2C_ERROR_ARLO          0x00000002U
#define HAL_I2C_ERROR_AF            0x00000004U /* no acknowledge */
#define HAL_I2C_ERROR_OVR           0x00000008U
#define HAL_I2C_ERROR_DMA           0x00000010U
#define HAL_I2C_ERROR_TIMEOUT       0x00000020U
#define HAL_I2C_ERROR_SIZE          0x00000040U
#define HAL_I2C_ERROR_DMA_PARAM     0x00000080U
#define HAL_I2C_ERROR_INVALID_PARAM 0x00000200U

#define I2C_ADDRESSINGMODE_7BIT  0x00000001U
#define I2C_ADDRESSINGMODE_10BIT 0x00000002U
#define I2C_DUALADDRESS_DISABLE  0x00000000U
#define I2C_DUALADDRESS_ENABLE   I2C_OAR2_OA2EN
#define I2C_OA2_NOMASK ((uint8_t)0x00U)
#define I2C_OA2_MASK01 ((uint8_t)0x01U)
#define I2C_OA2_MASK02 ((uint8_t)0x02U)
#define I2C_OA2_MASK03 ((uint8_t)0x03U)
#define I2C_OA2_MASK04 ((uint8_t)0x04U)
#define I2C_OA2_MASK05 ((uint8_t)0x05U)
#define I2C_OA2_MASK06 ((uint8_t)0x06U)
#define I2C_OA2_MASK07 ((uint8_t)0x07U)
#define I2C_GENERALCALL_DISABLE 0x00000000U
#define I2C_GENERALCALL_ENABLE  I2C_CR1_GCEN
#define I2C_NOSTRETCH_DISABLE   0x00000000U
#define I2C_NOSTRETCH_ENABLE    I2C_CR1_NOSTRETCH

#define I2C_MEMADD_SIZE_8BIT  0x00000001U
#define I2C_MEMADD_SIZE_16BIT 0x00000002U

#define I2C_FLAG_TXE     I2C_ISR_TXE
#define I2C_FLAG_TXIS    I2C_ISR_TXIS
#define I2C_FLAG_RXNE    I2C_ISR_RXNE
#define I2C_FLAG_ADDR    I2C_ISR_ADDR
#define I2C_FLAG_AF      I2C_ISR_NACKF
#define I2C_FLAG_STOPF   I2C_ISR_STOPF
#define I2C_FLAG_TC      I2C_ISR_TC
#define I2C_FLAG_TCR     I2C_ISR_TCR
#define I2C_FLAG_BERR    I2C_ISR_BERR
#define I2C_FLAG_ARLO    I2C_ISR_ARLO
#define I2C_FLAG_OVR     I2C_ISR_OVR
#define I2C_FLAG_BUSY    I2C_ISR_BUSY
#define I2C_FLAG_DIR     I2C_ISR_DIR

#define I2C_IT_ERRI  I2C_CR1_ERRIE
#define I2C_IT_TCI   I2C_CR1_TCIE
#define I2C_IT_STOPI I2C_CR1_STOPIE
#define I2C_IT_NACKI I2C_CR1_NACKIE
#define I2C_IT_ADDRI I2C_CR1_ADDRIE
#define I2C_IT_RXI   I2C_CR1_RXIE
#define I2C_IT_TXI   I2C_CR1_TXIE

#define __HAL_I2C_RESET_HANDLE_STATE(__HANDLE__) ((__HANDLE__)->State = HAL_I2C_STATE_RESET)
#define __HAL_I2C_ENABLE_IT(__HANDLE__, __INTERRUPT__) ((__HANDLE__)->Instance->CR1 |= (__INTERRUPT__))
#define __HAL_I2C_DISABLE_IT(__HANDLE__, __INTERRUPT__) ((__HANDLE__)->Instance->CR1 &= (~(__INTERRUPT__)))
#define __HAL_I2C_GET_IT_SOURCE(__HANDLE__, __INTERRUPT__) \
  ((((__HANDLE__)->Instance->CR1 & (__INTERRUPT__)) == (__INTERRUPT__)) ? SET : RESET)
#define __HAL_I2C_GET_FLAG(__HANDLE__, __FLAG__) \
  (((((__HANDLE__)->Instance->ISR) & (__FLAG__)) == (__FLAG__)) ? SET : RESET)
#define __HAL_I2C_CLEAR_FLAG(__HANDLE__, __FLAG__)                                         \
  (((__FLAG__) == I2C_FLAG_TXE) ? ((__HANDLE__)->Instance->ISR |= (__FLAG__))              \
                                : ((__HANDLE__)->Instance->ICR = (__FLAG__)))
#define __HAL_I2C_ENABLE(__HANDLE__) (SET_BIT((__HANDLE__)->Instance->CR1, I2C_CR1_PE))
#define __HAL_I2C_DISABLE(__HANDLE__) (CLEAR_BIT((__HANDLE__)->Instance->CR1, I2C_CR1_PE))
#define __HAL_I2C_GENERATE_NACK(__HANDLE__) (SET_BIT((__HANDLE__)->Instance->CR2, I2C_CR2_NACK))

#include "stm32l4xx_hal_i2c_ex.h"

HAL_StatusTypeDef HAL_I2C_Init(I2C_HandleTypeDef* hi2c);
HAL_StatusTypeDef HAL_I2C_DeInit(I2C_HandleTypeDef* hi2c);
void HAL_I2C_MspInit(I2C_HandleTypeDef* hi2c);
void HAL_I2C_MspDeInit(I2C_HandleTypeDef* hi2c);

/* Blocking transfers. DevAddress is the 7-bit address shifted left by one (0xD0
 * for a device at 0x68). An unacknowledged address or byte answers HAL_ERROR with
 * HAL_I2C_ERROR_AF; a busy handle answers HAL_BUSY; Timeout is in ms. */
HAL_StatusTypeDef HAL_I2C_Master_Transmit(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint8_t* pData,
                                          uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_Master_Receive(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint8_t* pData,
                                         uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_Slave_Transmit(I2C_HandleTypeDef* hi2c, uint8_t* pData, uint16_t Size,
                                         uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_Slave_Receive(I2C_HandleTypeDef* hi2c, uint8_t* pData, uint16_t Size,
                                        uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_Mem_Write(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                    uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_Mem_Read(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                   uint16_t MemAddSize, uint8_t* pData, uint16_t Size, uint32_t Timeout);
HAL_StatusTypeDef HAL_I2C_IsDeviceReady(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint32_t Trials,
                                        uint32_t Timeout);

/* Interrupt-driven transfers. */
HAL_StatusTypeDef HAL_I2C_Master_Transmit_IT(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint8_t* pData,
                                             uint16_t Size);
HAL_StatusTypeDef HAL_I2C_Master_Receive_IT(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint8_t* pData,
                                            uint16_t Size);
HAL_StatusTypeDef HAL_I2C_Mem_Write_IT(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                       uint16_t MemAddSize, uint8_t* pData, uint16_t Size);
HAL_StatusTypeDef HAL_I2C_Mem_Read_IT(I2C_HandleTypeDef* hi2c, uint16_t DevAddress, uint16_t MemAddress,
                                      uint16_t MemAddSize, uint8_t* pData, uint16_t Size);

void HAL_I2C_EV_IRQHandler(I2C_HandleTypeDef* hi2c);
void HAL_I2C_ER_IRQHandler(I2C_HandleTypeDef* hi2c);
void HAL_I2C_MasterTxCpltCallback(I2C_HandleTypeDef* hi2c);
void HAL_I2C_MasterRxCpltCallback(I2C_HandleTypeDef* hi2c);
void HAL_I2C_SlaveTxCpltCallback(I2C_HandleTypeDef* hi2c);
void HAL_I2C_SlaveRxCpltCallback(I2C_HandleTypeDef* hi2c);
void HAL_I2C_MemTxCpltCallback(I2C_HandleTypeDef* hi2c);
void HAL_I2C_MemRxCpltCallback(I2C_HandleTypeDef* hi2c);
void HAL_I2C_ErrorCallback(I2C_HandleTypeDef* hi2c);
void HAL_I2C_AbortCpltCallback(I2C_HandleTypeDef* hi2c);

HAL_I2C_StateTypeDef HAL_I2C_GetState(const I2C_HandleTypeDef* hi2c);
HAL_I2C_ModeTypeDef HAL_I2C_GetMode(const I2C_HandleTypeDef* hi2c);
uint32_t HAL_I2C_GetError(const I2C_HandleTypeDef* hi2c);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_I2C_H */
