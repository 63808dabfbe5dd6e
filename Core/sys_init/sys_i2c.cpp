// The I2C buses.
#include "sys_i2c.h"

#include "sys_error_handler.h"

I2C_HandleTypeDef hi2c1;
I2C_HandleTypeDef hi2c2;

int sys_i2c_setup(I2C_HandleTypeDef *hi2c, I2C_TypeDef *instance) {
    hi2c->Instance = instance;
    hi2c->Init.Timing = 0x00506682;
    hi2c->Init.OwnAddress1 = 0;
    hi2c->Init.AddressingMode = I2C_ADDRESSINGMODE_7BIT;
    hi2c->Init.DualAddressMode = I2C_DUALADDRESS_DISABLE;
    hi2c->Init.OwnAddress2 = 0;
    hi2c->Init.OwnAddress2Masks = I2C_OA2_NOMASK;
    hi2c->Init.GeneralCallMode = I2C_GENERALCALL_DISABLE;
    hi2c->Init.NoStretchMode = I2C_NOSTRETCH_DISABLE;
    if (HAL_I2C_Init(hi2c) != HAL_OK)
        return 1;
    if (HAL_I2CEx_ConfigAnalogFilter(hi2c, I2C_ANALOGFILTER_ENABLE) != HAL_OK)
        return 2;
    if (HAL_I2CEx_ConfigDigitalFilter(hi2c, 0) != HAL_OK)
        return 3;
    return 0;
}

int sys_i2c_init_x(I2C_HandleTypeDef *hi2c, I2C_TypeDef *instance) {
    const int step = sys_i2c_setup(hi2c, instance);
    if (step != 0)
        sys_error_handler("i2c", step);
    return 0;
}

int sys_i2c_init(void) {
    sys_i2c_init_x(&hi2c1, I2C1);
    sys_i2c_init_x(&hi2c2, I2C2);
    return 0;
}
