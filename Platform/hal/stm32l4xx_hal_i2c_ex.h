/* HAL I2C extension: noise filters, wake-up from stop, fast mode plus. Included
 * by stm32l4xx_hal_i2c.h. */
#ifndef STM32L4xx_HAL_I2C_EX_H
#define STM32L4xx_HAL_I2C_EX_H

#ifdef __cplusplus
extern "C" {
#endif

#define I2C_ANALOGFILTER_ENABLE  0x00000000U
#define I2C_ANALOGFILTER_DISABLE I2C_CR1_ANFOFF

#define I2C_FASTMODEPLUS_PB6 (0x1U << 16U)
#define I2C_FASTMODEPLUS_PB7 (0x1U << 17U)
#define I2C_FASTMODEPLUS_PB8 (0x1U << 18U)
#define I2C_FASTMODEPLUS_PB9 (0x1U << 19U)
#define I2C_FASTMODEPLUS_I2C1 (0x1U << 20U)
#define I2C_FASTMODEPLUS_I2C2 (0x1U << 21U)
#define I2C_FASTMODEPLUS_I2C3 (0x1U << 22U)

/* Both only while the peripheral is idle (READY); otherwise HAL_BUSY. */
HAL_StatusTypeDef HAL_I2CEx_ConfigAnalogFilter(I2C_HandleTypeDef* hi2c, uint32_t AnalogFilter);
HAL_StatusTypeDef HAL_I2CEx_ConfigDigitalFilter(I2C_HandleTypeDef* hi2c, uint32_t DigitalFilter);
HAL_StatusTypeDef HAL_I2CEx_EnableWakeUp(I2C_HandleTypeDef* hi2c);
HAL_StatusTypeDef HAL_I2CEx_DisableWakeUp(I2C_HandleTypeDef* hi2c);
void HAL_I2CEx_EnableFastModePlus(uint32_t ConfigFastModePlus);
void HAL_I2CEx_DisableFastModePlus(uint32_t ConfigFastModePlus);

#ifdef __cplusplus
}
#endif

#endif /* STM32L4xx_HAL_I2C_EX_H */
