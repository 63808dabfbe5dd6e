// The seam's register macros act on the instance objects exactly as on the chip:
// the right register, the right bits, nothing else. The objects are plain memory
// here (this test defines them itself and links no backend).
#include <gtest/gtest.h>

#include "stm32l4xx_hal.h"

#define PERIPH(type, name, address) type name##_regs{};
#include "stm32l431xx_instances.def"
#undef PERIPH

namespace {

template <typename T>
void clear(T& regs) {
  regs = T{};
}

TEST(SeamTim, AutoreloadCompareAndCounterTouchOnlyTheirRegisters) {
  clear(TIM2_regs);
  TIM_HandleTypeDef htim{};
  htim.Instance = TIM2;
  __HAL_TIM_SET_AUTORELOAD(&htim, 99999U);
  EXPECT_EQ(TIM2->ARR, 99999U);
  EXPECT_EQ(htim.Init.Period, 99999U);  // the handle keeps up with the register

  __HAL_TIM_SET_COMPARE(&htim, TIM_CHANNEL_1, 11U);
  __HAL_TIM_SET_COMPARE(&htim, TIM_CHANNEL_2, 22U);
  __HAL_TIM_SET_COMPARE(&htim, TIM_CHANNEL_3, 33U);
  __HAL_TIM_SET_COMPARE(&htim, TIM_CHANNEL_4, 44U);
  EXPECT_EQ(TIM2->CCR1, 11U);
  EXPECT_EQ(TIM2->CCR2, 22U);
  EXPECT_EQ(TIM2->CCR3, 33U);
  EXPECT_EQ(TIM2->CCR4, 44U);
  EXPECT_EQ(__HAL_TIM_GET_COMPARE(&htim, TIM_CHANNEL_3), 33U);

  __HAL_TIM_SET_PRESCALER(&htim, 47U);
  __HAL_TIM_SET_COUNTER(&htim, 1234U);
  EXPECT_EQ(TIM2->PSC, 47U);
  EXPECT_EQ(__HAL_TIM_GET_COUNTER(&htim), 1234U);
  EXPECT_EQ(TIM2->ARR, 99999U);
}

TEST(SeamTim, FlagClearWritesZeroToTheFlagOnlyAndDisableRespectsOutputs) {
  clear(TIM7_regs);
  TIM_HandleTypeDef htim{};
  htim.Instance = TIM7;
  __HAL_TIM_CLEAR_IT(&htim, TIM_IT_UPDATE);
  // SR bits clear on 0 and ignore 1: the write is all ones but bit 0, 32 bits wide.
  EXPECT_EQ(TIM7->SR, 0xFFFFFFFEU);

  __HAL_TIM_ENABLE_IT(&htim, TIM_IT_UPDATE);
  EXPECT_EQ(TIM7->DIER, 1U);
  __HAL_TIM_ENABLE(&htim);
  TIM7->CCER = TIM_CCER_CC1E;
  __HAL_TIM_DISABLE(&htim);
  EXPECT_EQ(TIM7->CR1 & TIM_CR1_CEN, TIM_CR1_CEN) << "a running output keeps the counter on";
  TIM7->CCER = 0U;
  __HAL_TIM_DISABLE(&htim);
  EXPECT_EQ(TIM7->CR1 & TIM_CR1_CEN, 0U);
}

TEST(SeamRcc, ClockEnablesSetTheDocumentedBitAndNothingElse) {
  struct Case {
    void (*enable)();
    volatile uint32_t* reg;
    uint32_t bit;
  };
  const Case cases[] = {
      {[] { __HAL_RCC_GPIOA_CLK_ENABLE(); }, &RCC->AHB2ENR, 1U << 0},
      {[] { __HAL_RCC_GPIOB_CLK_ENABLE(); }, &RCC->AHB2ENR, 1U << 1},
      {[] { __HAL_RCC_GPIOH_CLK_ENABLE(); }, &RCC->AHB2ENR, 1U << 7},
      {[] { __HAL_RCC_ADC_CLK_ENABLE(); }, &RCC->AHB2ENR, 1U << 13},
      {[] { __HAL_RCC_DMA1_CLK_ENABLE(); }, &RCC->AHB1ENR, 1U << 0},
      {[] { __HAL_RCC_QSPI_CLK_ENABLE(); }, &RCC->AHB3ENR, 1U << 8},
      {[] { __HAL_RCC_TIM2_CLK_ENABLE(); }, &RCC->APB1ENR1, 1U << 0},
      {[] { __HAL_RCC_TIM7_CLK_ENABLE(); }, &RCC->APB1ENR1, 1U << 5},
      {[] { __HAL_RCC_USART3_CLK_ENABLE(); }, &RCC->APB1ENR1, 1U << 18},
      {[] { __HAL_RCC_I2C1_CLK_ENABLE(); }, &RCC->APB1ENR1, 1U << 21},
      {[] { __HAL_RCC_I2C2_CLK_ENABLE(); }, &RCC->APB1ENR1, 1U << 22},
      {[] { __HAL_RCC_PWR_CLK_ENABLE(); }, &RCC->APB1ENR1, 1U << 28},
      {[] { __HAL_RCC_SYSCFG_CLK_ENABLE(); }, &RCC->APB2ENR, 1U << 0},
      {[] { __HAL_RCC_USART1_CLK_ENABLE(); }, &RCC->APB2ENR, 1U << 14},
  };
  for (const Case& c : cases) {
    clear(RCC_regs);
    *c.reg = 0x80000000U >> 1;  // an unrelated bit already set must stay
    c.enable();
    EXPECT_EQ(*c.reg, c.bit | (0x80000000U >> 1));
    const volatile uint32_t* word = &RCC->CR;
    for (size_t i = 0; i < sizeof(RCC_TypeDef) / sizeof(uint32_t); ++i) {
      if (&word[i] != c.reg) {
        EXPECT_EQ(word[i], 0U) << "RCC register at offset " << 4 * i << " changed";
      }
    }
  }
  __HAL_RCC_USART1_CLK_DISABLE();
  EXPECT_EQ(RCC->APB2ENR & RCC_APB2ENR_USART1EN, 0U);
}

TEST(SeamRcc, FlagsReadTheirOwnRegisterAndLseDriveKeepsTheRest) {
  clear(RCC_regs);
  RCC->CR = RCC_CR_HSERDY;
  EXPECT_EQ(__HAL_RCC_GET_FLAG(RCC_FLAG_HSERDY), 1U);
  EXPECT_EQ(__HAL_RCC_GET_FLAG(RCC_FLAG_PLLRDY), 0U);
  EXPECT_EQ(__HAL_RCC_GET_FLAG(RCC_FLAG_LSERDY), 0U) << "bit 17 of CR is not LSERDY";
  RCC->BDCR = RCC_BDCR_LSERDY;
  EXPECT_EQ(__HAL_RCC_GET_FLAG(RCC_FLAG_LSERDY), 1U);
  RCC->CSR = RCC_CSR_PINRSTF;
  EXPECT_EQ(__HAL_RCC_GET_FLAG(RCC_FLAG_PINRST), 1U);
  EXPECT_EQ(__HAL_RCC_GET_FLAG(RCC_FLAG_SFTRST), 0U);

  RCC->BDCR = RCC_BDCR_LSEON | RCC_BDCR_LSEDRV | RCC_BDCR_RTCEN;
  __HAL_RCC_LSEDRIVE_CONFIG(RCC_LSEDRIVE_LOW);
  EXPECT_EQ(RCC->BDCR, RCC_BDCR_LSEON | RCC_BDCR_RTCEN);
  __HAL_RCC_RTC_CONFIG(RCC_RTCCLKSOURCE_LSE);
  EXPECT_EQ(__HAL_RCC_GET_RTC_SOURCE(), RCC_RTCCLKSOURCE_LSE);
}

TEST(SeamUart, InterruptIdsSelectTheirControlRegister) {
  clear(USART1_regs);
  UART_HandleTypeDef huart{};
  huart.Instance = USART1;
  __HAL_UART_ENABLE_IT(&huart, UART_IT_RXNE);
  __HAL_UART_ENABLE_IT(&huart, UART_IT_LBD);
  __HAL_UART_ENABLE_IT(&huart, UART_IT_ERR);
  EXPECT_EQ(USART1->CR1, USART_CR1_RXNEIE);
  EXPECT_EQ(USART1->CR2, USART_CR2_LBDIE);
  EXPECT_EQ(USART1->CR3, USART_CR3_EIE);
  __HAL_UART_DISABLE_IT(&huart, UART_IT_RXNE);
  EXPECT_EQ(USART1->CR1, 0U);

  USART1->ISR = USART_ISR_TXE | USART_ISR_TC;
  EXPECT_TRUE(__HAL_UART_GET_FLAG(&huart, UART_FLAG_TC));
  EXPECT_FALSE(__HAL_UART_GET_FLAG(&huart, UART_FLAG_RXNE));
  EXPECT_EQ(__HAL_UART_GET_IT(&huart, UART_IT_TXE), SET);
  EXPECT_EQ(__HAL_UART_GET_IT(&huart, UART_IT_RXNE), RESET);
  __HAL_UART_CLEAR_OREFLAG(&huart);
  EXPECT_EQ(USART1->ICR, USART_ICR_ORECF);
}

TEST(SeamDma, CounterIsTheChannelsCndtrAndFlagsFollowTheChannel) {
  clear(DMA1_Channel5_regs);
  clear(DMA1_regs);
  DMA_HandleTypeDef hdma{};
  hdma.Instance = DMA1_Channel5;
  DMA1_Channel5->CNDTR = 37U;
  EXPECT_EQ(__HAL_DMA_GET_COUNTER(&hdma), 37U);
  EXPECT_EQ(__HAL_DMA_GET_TC_FLAG_INDEX(&hdma), DMA_FLAG_TC5);
  EXPECT_EQ(__HAL_DMA_GET_HT_FLAG_INDEX(&hdma), DMA_FLAG_HT5);
  hdma.Instance = DMA1_Channel1;
  EXPECT_EQ(__HAL_DMA_GET_TE_FLAG_INDEX(&hdma), DMA_FLAG_TE1);
  hdma.Instance = DMA1_Channel7;
  EXPECT_EQ(__HAL_DMA_GET_GI_FLAG_INDEX(&hdma), DMA_FLAG_GL7);
  __HAL_DMA_CLEAR_FLAG(&hdma, DMA_FLAG_TC3);
  EXPECT_EQ(DMA1->IFCR, DMA_FLAG_TC3);

  UART_HandleTypeDef huart{};
  __HAL_LINKDMA(&huart, hdmarx, hdma);
  EXPECT_EQ(huart.hdmarx, &hdma);
  EXPECT_EQ(hdma.Parent, &huart);
}

TEST(SeamFlash, SizeComesFromTheFactoryValueWithTheUnprogrammedDefault) {
  const_cast<uint16_t&>(FLASHSIZE->SIZE_KB) = 256U;
  EXPECT_EQ(FLASH_SIZE, 256U * 1024U);
  const_cast<uint16_t&>(FLASHSIZE->SIZE_KB) = 128U;
  EXPECT_EQ(FLASH_SIZE, 128U * 1024U);
  const_cast<uint16_t&>(FLASHSIZE->SIZE_KB) = 0xFFFFU;
  EXPECT_EQ(FLASH_SIZE, 256U * 1024U);
  EXPECT_EQ(*reinterpret_cast<const volatile uint16_t*>(FLASHSIZE_BASE), 0xFFFFU);
  // The last two pages of a 256 KB part.
  EXPECT_EQ(FLASH_BASE + 256U * 1024U - 0x1000U, 0x0803F000U);
  EXPECT_EQ(256U * 1024U / FLASH_PAGE_SIZE - 2U, 126U);
}

TEST(SeamFlash, ClearFlagWritesStatusBitsToSrAndEccBitsToEccr) {
  clear(FLASH_regs);
  __HAL_FLASH_CLEAR_FLAG(FLASH_FLAG_EOP | FLASH_FLAG_WRPERR | FLASH_FLAG_PGAERR);
  EXPECT_EQ(FLASH->SR, 0x31U);  // bits 0, 4 and 5
  EXPECT_EQ(FLASH->ECCR, 0U);
  // A flag already set is written back as 1 too, which clears it on the chip.
  FLASH->SR = FLASH_SR_PROGERR;
  __HAL_FLASH_CLEAR_FLAG(FLASH_FLAG_EOP | FLASH_FLAG_WRPERR | FLASH_FLAG_PGAERR);
  EXPECT_EQ(FLASH->SR, 0x31U | FLASH_SR_PROGERR);
  clear(FLASH_regs);
  __HAL_FLASH_CLEAR_FLAG(FLASH_FLAG_ECCD);
  EXPECT_EQ(FLASH->SR, 0U);
  EXPECT_EQ(FLASH->ECCR, FLASH_ECCR_ECCD);

  FLASH->SR = FLASH_SR_BSY | FLASH_SR_PGSERR;
  EXPECT_TRUE(__HAL_FLASH_GET_FLAG(FLASH_FLAG_PGSERR));
  EXPECT_FALSE(__HAL_FLASH_GET_FLAG(FLASH_FLAG_PROGERR));
  EXPECT_FALSE(__HAL_FLASH_GET_FLAG(FLASH_FLAG_ECCC));
  __HAL_FLASH_SET_LATENCY(FLASH_LATENCY_2);
  EXPECT_EQ(__HAL_FLASH_GET_LATENCY(), 2U);
}

TEST(SeamPwr, FlagsSelectSr1OrSr2AndWakeUpClearsAllFive) {
  clear(PWR_regs);
  PWR->SR1 = PWR_SR1_SBF;
  PWR->SR2 = PWR_SR2_VOSF;
  EXPECT_EQ(__HAL_PWR_GET_FLAG(PWR_FLAG_SB), 1U);
  EXPECT_EQ(__HAL_PWR_GET_FLAG(PWR_FLAG_VOSF), 1U);
  EXPECT_EQ(__HAL_PWR_GET_FLAG(PWR_FLAG_REGLPF), 0U);
  EXPECT_EQ(__HAL_PWR_GET_FLAG(PWR_FLAG_WU1), 0U);
  __HAL_PWR_CLEAR_FLAG(PWR_FLAG_WU);
  EXPECT_EQ(PWR->SCR, PWR_SCR_CWUF);
  __HAL_PWR_CLEAR_FLAG(PWR_FLAG_WU2);
  EXPECT_EQ(PWR->SCR, PWR_SCR_CWUF2);
  __HAL_PWR_CLEAR_FLAG(PWR_FLAG_SB);
  EXPECT_EQ(PWR->SCR, PWR_SCR_CSBF);
  EXPECT_EQ(PWR_WAKEUP_PIN1_LOW & PWR_CR3_EWUP, PWR_CR3_EWUP1);
  EXPECT_EQ(PWR_WAKEUP_PIN1_LOW >> PWR_WUP_POLARITY_SHIFT, PWR_CR4_WP1);
}

TEST(SeamAdc, ChannelIdsCarryNumberSamplingFieldAndBit) {
  for (uint32_t n = 0; n <= 18U; ++n) {
    const uint32_t id = ADC_CHANNEL_ENCODE(n);
    EXPECT_EQ(__HAL_ADC_CHANNEL_TO_DECIMAL_NB(id), n);
    EXPECT_EQ(id & 0x7FFFFU, 1U << n) << n;
    const uint32_t smpr2 = (id >> 25) & 1U;
    const uint32_t field = (id >> 20) & 0x1FU;
    EXPECT_EQ(smpr2, n >= 10U ? 1U : 0U) << n;
    EXPECT_EQ(field, 3U * (n % 10U)) << n;
  }
  EXPECT_EQ(ADC_CHANNEL_6, ADC_CHANNEL_ENCODE(6U));
  EXPECT_NE(ADC_CHANNEL_VREFINT, ADC_CHANNEL_0);
  EXPECT_EQ(__HAL_ADC_CHANNEL_TO_DECIMAL_NB(ADC_CHANNEL_VREFINT), 0U);
}

TEST(SeamCortex, PriorityEncodingFollowsTheGrouping) {
  // 4 pre-emption bits, no sub-priority: the priority is the pre-emption level.
  for (uint32_t p = 0; p < 16U; ++p) {
    EXPECT_EQ(NVIC_EncodePriority(NVIC_PRIORITYGROUP_4, p, 7U), p);
  }
  // 2 + 2 bits.
  EXPECT_EQ(NVIC_EncodePriority(NVIC_PRIORITYGROUP_2, 2U, 1U), (2U << 2) | 1U);
  // No pre-emption bits: only the sub-priority counts.
  EXPECT_EQ(NVIC_EncodePriority(NVIC_PRIORITYGROUP_0, 3U, 5U), 5U);
  for (uint32_t group = NVIC_PRIORITYGROUP_4; group <= NVIC_PRIORITYGROUP_0; ++group) {
    for (uint32_t prio = 0; prio < 16U; ++prio) {
      uint32_t pre = 99U;
      uint32_t sub = 99U;
      NVIC_DecodePriority(prio, group, &pre, &sub);
      EXPECT_EQ(NVIC_EncodePriority(group, pre, sub), prio) << group << " " << prio;
    }
  }
}

HAL_StatusTypeDef locked_call(TIM_HandleTypeDef* htim) {
  __HAL_LOCK(htim);
  return HAL_OK;
}

TEST(SeamDef, LockRefusesASecondEntryUntilUnlocked) {
  TIM_HandleTypeDef htim{};
  EXPECT_EQ(locked_call(&htim), HAL_OK);
  EXPECT_EQ(locked_call(&htim), HAL_BUSY);
  __HAL_UNLOCK(&htim);
  EXPECT_EQ(locked_call(&htim), HAL_OK);
  EXPECT_TRUE(HAL_IS_BIT_SET(0x30U, 0x10U));
  EXPECT_FALSE(HAL_IS_BIT_SET(0x30U, 0x11U));
  EXPECT_TRUE(HAL_IS_BIT_CLR(0x30U, 0x0FU));
}

TEST(SeamGpio, PortIndexAndExtiClear) {
  EXPECT_EQ(GPIO_GET_INDEX(GPIOA), 0U);
  EXPECT_EQ(GPIO_GET_INDEX(GPIOB), 1U);
  EXPECT_EQ(GPIO_GET_INDEX(GPIOH), 7U);
  clear(EXTI_regs);
  __HAL_GPIO_EXTI_CLEAR_IT(GPIO_PIN_12);
  EXPECT_EQ(EXTI->PR1, static_cast<uint32_t>(GPIO_PIN_12));
}

}  // namespace
