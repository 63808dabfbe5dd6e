/* STM32L431 device header: interrupt numbers, core configuration, peripheral
 * register blocks with the chip's layout, bus addresses, instances and the register
 * bits the HAL macros and the firmware use.
 *
 * Instances are objects, not casts of addresses: `GPIOA` is `(&GPIOA_regs)`. The
 * list of objects lives in stm32l431xx_instances.def and the simulator owns them (on
 * the board the images use the vendor's own device header). */
#ifndef __STM32L431xx_H
#define __STM32L431xx_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  /* Cortex-M4 exceptions */
  NonMaskableInt_IRQn = -14,
  HardFault_IRQn = -13,
  MemoryManagement_IRQn = -12,
  BusFault_IRQn = -11,
  UsageFault_IRQn = -10,
  SVCall_IRQn = -5,
  DebugMonitor_IRQn = -4,
  PendSV_IRQn = -2,
  SysTick_IRQn = -1,
  /* STM32L431 interrupts */
  WWDG_IRQn = 0,
  PVD_PVM_IRQn = 1,
  TAMP_STAMP_IRQn = 2,
  RTC_WKUP_IRQn = 3,
  FLASH_IRQn = 4,
  RCC_IRQn = 5,
  EXTI0_IRQn = 6,
  EXTI1_IRQn = 7,
  EXTI2_IRQn = 8,
  EXTI3_IRQn = 9,
  EXTI4_IRQn = 10,
  DMA1_Channel1_IRQn = 11,
  DMA1_Channel2_IRQn = 12,
  DMA1_Channel3_IRQn = 13,
  DMA1_Channel4_IRQn = 14,
  DMA1_Channel5_IRQn = 15,
  DMA1_Channel6_IRQn = 16,
  DMA1_Channel7_IRQn = 17,
  ADC1_IRQn = 18,
  CAN1_TX_IRQn = 19,
  CAN1_RX0_IRQn = 20,
  CAN1_RX1_IRQn = 21,
  CAN1_SCE_IRQn = 22,
  EXTI9_5_IRQn = 23,
  TIM1_BRK_TIM15_IRQn = 24,
  TIM1_UP_TIM16_IRQn = 25,
  TIM1_TRG_COM_IRQn = 26,
  TIM1_CC_IRQn = 27,
  TIM2_IRQn = 28,
  I2C1_EV_IRQn = 31,
  I2C1_ER_IRQn = 32,
  I2C2_EV_IRQn = 33,
  I2C2_ER_IRQn = 34,
  SPI1_IRQn = 35,
  SPI2_IRQn = 36,
  USART1_IRQn = 37,
  USART2_IRQn = 38,
  USART3_IRQn = 39,
  EXTI15_10_IRQn = 40,
  RTC_Alarm_IRQn = 41,
  SDMMC1_IRQn = 49,
  SPI3_IRQn = 51,
  TIM6_DAC_IRQn = 54,
  TIM7_IRQn = 55,
  DMA2_Channel1_IRQn = 56,
  DMA2_Channel2_IRQn = 57,
  DMA2_Channel3_IRQn = 58,
  DMA2_Channel4_IRQn = 59,
  DMA2_Channel5_IRQn = 60,
  COMP_IRQn = 64,
  LPTIM1_IRQn = 65,
  LPTIM2_IRQn = 66,
  DMA2_Channel6_IRQn = 68,
  DMA2_Channel7_IRQn = 69,
  LPUART1_IRQn = 70,
  QUADSPI_IRQn = 71,
  I2C3_EV_IRQn = 72,
  I2C3_ER_IRQn = 73,
  SAI1_IRQn = 74,
  SWPMI1_IRQn = 76,
  TSC_IRQn = 77,
  RNG_IRQn = 80,
  FPU_IRQn = 81,
  CRS_IRQn = 82
} IRQn_Type;

#define __CM4_REV              0x0001U
#define __MPU_PRESENT          1U
#define __NVIC_PRIO_BITS       4U
#define __Vendor_SysTickConfig 0U
#define __FPU_PRESENT          1U

#include "core_cm4.h"
#include "system_stm32l4xx.h"

/* ---- Register blocks --------------------------------------------------------- */

typedef struct {
  __IO uint32_t MODER;   /* 0x00 */
  __IO uint32_t OTYPER;  /* 0x04 */
  __IO uint32_t OSPEEDR; /* 0x08 */
  __IO uint32_t PUPDR;   /* 0x0C */
  __IO uint32_t IDR;     /* 0x10 */
  __IO uint32_t ODR;     /* 0x14 */
  __IO uint32_t BSRR;    /* 0x18 */
  __IO uint32_t LCKR;    /* 0x1C */
  __IO uint32_t AFR[2];  /* 0x20 */
  __IO uint32_t BRR;     /* 0x28 */
} GPIO_TypeDef;

typedef struct {
  __IO uint32_t CR1;  /* 0x00 */
  __IO uint32_t CR2;  /* 0x04 */
  __IO uint32_t CR3;  /* 0x08 */
  __IO uint32_t BRR;  /* 0x0C */
  __IO uint16_t GTPR; /* 0x10 */
  uint16_t RESERVED2;
  __IO uint32_t RTOR; /* 0x14 */
  __IO uint16_t RQR;  /* 0x18 */
  uint16_t RESERVED3;
  __IO uint32_t ISR;  /* 0x1C */
  __IO uint32_t ICR;  /* 0x20 */
  __IO uint16_t RDR;  /* 0x24 */
  uint16_t RESERVED4;
  __IO uint16_t TDR;  /* 0x28 */
  uint16_t RESERVED5;
} USART_TypeDef;

typedef struct {
  __IO uint32_t CR1;   /* 0x00 */
  __IO uint32_t CR2;   /* 0x04 */
  __IO uint32_t SMCR;  /* 0x08 */
  __IO uint32_t DIER;  /* 0x0C */
  __IO uint32_t SR;    /* 0x10 */
  __IO uint32_t EGR;   /* 0x14 */
  __IO uint32_t CCMR1; /* 0x18 */
  __IO uint32_t CCMR2; /* 0x1C */
  __IO uint32_t CCER;  /* 0x20 */
  __IO uint32_t CNT;   /* 0x24 */
  __IO uint32_t PSC;   /* 0x28 */
  __IO uint32_t ARR;   /* 0x2C */
  __IO uint32_t RCR;   /* 0x30 */
  __IO uint32_t CCR1;  /* 0x34 */
  __IO uint32_t CCR2;  /* 0x38 */
  __IO uint32_t CCR3;  /* 0x3C */
  __IO uint32_t CCR4;  /* 0x40 */
  __IO uint32_t BDTR;  /* 0x44 */
  __IO uint32_t DCR;   /* 0x48 */
  __IO uint32_t DMAR;  /* 0x4C */
  __IO uint32_t OR1;   /* 0x50 */
  __IO uint32_t CCMR3; /* 0x54 */
  __IO uint32_t CCR5;  /* 0x58 */
  __IO uint32_t CCR6;  /* 0x5C */
  __IO uint32_t OR2;   /* 0x60 */
  __IO uint32_t OR3;   /* 0x64 */
} TIM_TypeDef;

typedef struct {
  __IO uint32_t CCR;   /* 0x00 */
  __IO uint32_t CNDTR; /* 0x04 */
  __IO uint32_t CPAR;  /* 0x08 */
  __IO uint32_t CMAR;  /* 0x0C */
} DMA_Channel_TypeDef;

typedef struct {
  __IO uint32_t ISR;  /* 0x00 */
  __IO uint32_t IFCR; /* 0x04 */
} DMA_TypeDef;

typedef struct {
  __IO uint32_t CSELR; /* 0xA8 from the controller base */
} DMA_Request_TypeDef;

typedef struct {
  __IO uint32_t CR1;      /* 0x00 */
  __IO uint32_t CR2;      /* 0x04 */
  __IO uint32_t OAR1;     /* 0x08 */
  __IO uint32_t OAR2;     /* 0x0C */
  __IO uint32_t TIMINGR;  /* 0x10 */
  __IO uint32_t TIMEOUTR; /* 0x14 */
  __IO uint32_t ISR;      /* 0x18 */
  __IO uint32_t ICR;      /* 0x1C */
  __IO uint32_t PECR;     /* 0x20 */
  __IO uint32_t RXDR;     /* 0x24 */
  __IO uint32_t TXDR;     /* 0x28 */
} I2C_TypeDef;

typedef struct {
  __IO uint32_t ISR;    /* 0x00 */
  __IO uint32_t IER;    /* 0x04 */
  __IO uint32_t CR;     /* 0x08 */
  __IO uint32_t CFGR;   /* 0x0C */
  __IO uint32_t CFGR2;  /* 0x10 */
  __IO uint32_t SMPR1;  /* 0x14 */
  __IO uint32_t SMPR2;  /* 0x18 */
  uint32_t RESERVED1;   /* 0x1C */
  __IO uint32_t TR1;    /* 0x20 */
  __IO uint32_t TR2;    /* 0x24 */
  __IO uint32_t TR3;    /* 0x28 */
  uint32_t RESERVED2;   /* 0x2C */
  __IO uint32_t SQR1;   /* 0x30 */
  __IO uint32_t SQR2;   /* 0x34 */
  __IO uint32_t SQR3;   /* 0x38 */
  __IO uint32_t SQR4;   /* 0x3C */
  __IO uint32_t DR;     /* 0x40 */
  uint32_t RESERVED3;   /* 0x44 */
  uint32_t RESERVED4;   /* 0x48 */
  __IO uint32_t JSQR;   /* 0x4C */
  uint32_t RESERVED5[4];/* 0x50 */
  __IO uint32_t OFR1;   /* 0x60 */
  __IO uint32_t OFR2;   /* 0x64 */
  __IO uint32_t OFR3;   /* 0x68 */
  __IO uint32_t OFR4;   /* 0x6C */
  uint32_t RESERVED6[4];/* 0x70 */
  __IO uint32_t JDR1;   /* 0x80 */
  __IO uint32_t JDR2;   /* 0x84 */
  __IO uint32_t JDR3;   /* 0x88 */
  __IO uint32_t JDR4;   /* 0x8C */
  uint32_t RESERVED7[4];/* 0x90 */
  __IO uint32_t AWD2CR; /* 0xA0 */
  __IO uint32_t AWD3CR; /* 0xA4 */
  uint32_t RESERVED8;   /* 0xA8 */
  uint32_t RESERVED9;   /* 0xAC */
  __IO uint32_t DIFSEL; /* 0xB0 */
  __IO uint32_t CALFACT;/* 0xB4 */
} ADC_TypeDef;

/* ADC common registers (offset 0x300 from ADC1); a single ADC has only CCR. */
typedef struct {
  uint32_t RESERVED1;  /* 0x00 */
  uint32_t RESERVED2;  /* 0x04 */
  __IO uint32_t CCR;   /* 0x08 */
  uint32_t RESERVED3;  /* 0x0C */
} ADC_Common_TypeDef;

typedef struct {
  __IO uint32_t TR;       /* 0x00 */
  __IO uint32_t DR;       /* 0x04 */
  __IO uint32_t CR;       /* 0x08 */
  __IO uint32_t ISR;      /* 0x0C */
  __IO uint32_t PRER;     /* 0x10 */
  __IO uint32_t WUTR;     /* 0x14 */
  uint32_t reserved;      /* 0x18 */
  __IO uint32_t ALRMAR;   /* 0x1C */
  __IO uint32_t ALRMBR;   /* 0x20 */
  __IO uint32_t WPR;      /* 0x24 */
  __IO uint32_t SSR;      /* 0x28 */
  __IO uint32_t SHIFTR;   /* 0x2C */
  __IO uint32_t TSTR;     /* 0x30 */
  __IO uint32_t TSDR;     /* 0x34 */
  __IO uint32_t TSSSR;    /* 0x38 */
  __IO uint32_t CALR;     /* 0x3C */
  __IO uint32_t TAMPCR;   /* 0x40 */
  __IO uint32_t ALRMASSR; /* 0x44 */
  __IO uint32_t ALRMBSSR; /* 0x48 */
  __IO uint32_t OR;       /* 0x4C */
  __IO uint32_t BKP0R;    /* 0x50 */
  __IO uint32_t BKP1R;
  __IO uint32_t BKP2R;
  __IO uint32_t BKP3R;
  __IO uint32_t BKP4R;
  __IO uint32_t BKP5R;
  __IO uint32_t BKP6R;
  __IO uint32_t BKP7R;
  __IO uint32_t BKP8R;
  __IO uint32_t BKP9R;
  __IO uint32_t BKP10R;
  __IO uint32_t BKP11R;
  __IO uint32_t BKP12R;
  __IO uint32_t BKP13R;
  __IO uint32_t BKP14R;
  __IO uint32_t BKP15R;
  __IO uint32_t BKP16R;
  __IO uint32_t BKP17R;
  __IO uint32_t BKP18R;
  __IO uint32_t BKP19R;
  __IO uint32_t BKP20R;
  __IO uint32_t BKP21R;
  __IO uint32_t BKP22R;
  __IO uint32_t BKP23R;
  __IO uint32_t BKP24R;
  __IO uint32_t BKP25R;
  __IO uint32_t BKP26R;
  __IO uint32_t BKP27R;
  __IO uint32_t BKP28R;
  __IO uint32_t BKP29R;
  __IO uint32_t BKP30R;
  __IO uint32_t BKP31R; /* 0xCC */
} RTC_TypeDef;

typedef struct {
  __IO uint32_t CR;    /* 0x00 */
  __IO uint32_t DCR;   /* 0x04 */
  __IO uint32_t SR;    /* 0x08 */
  __IO uint32_t FCR;   /* 0x0C */
  __IO uint32_t DLR;   /* 0x10 */
  __IO uint32_t CCR;   /* 0x14 */
  __IO uint32_t AR;    /* 0x18 */
  __IO uint32_t ABR;   /* 0x1C */
  __IO uint32_t DR;    /* 0x20: byte, half-word and word accesses mean different things */
  __IO uint32_t PSMKR; /* 0x24 */
  __IO uint32_t PSMAR; /* 0x28 */
  __IO uint32_t PIR;   /* 0x2C */
  __IO uint32_t LPTR;  /* 0x30 */
} QUADSPI_TypeDef;

typedef struct {
  __IO uint32_t ACR;      /* 0x00 */
  __IO uint32_t PDKEYR;   /* 0x04 */
  __IO uint32_t KEYR;     /* 0x08 */
  __IO uint32_t OPTKEYR;  /* 0x0C */
  __IO uint32_t SR;       /* 0x10 */
  __IO uint32_t CR;       /* 0x14 */
  __IO uint32_t ECCR;     /* 0x18 */
  __IO uint32_t RESERVED1; /* 0x1C */
  __IO uint32_t OPTR;     /* 0x20 */
  __IO uint32_t PCROP1SR; /* 0x24 */
  __IO uint32_t PCROP1ER; /* 0x28 */
  __IO uint32_t WRP1AR;   /* 0x2C */
  __IO uint32_t WRP1BR;   /* 0x30 */
} FLASH_TypeDef;

typedef struct {
  __IO uint32_t CR;          /* 0x00 */
  __IO uint32_t ICSCR;       /* 0x04 */
  __IO uint32_t CFGR;        /* 0x08 */
  __IO uint32_t PLLCFGR;     /* 0x0C */
  __IO uint32_t PLLSAI1CFGR; /* 0x10 */
  uint32_t RESERVED;         /* 0x14 */
  __IO uint32_t CIER;        /* 0x18 */
  __IO uint32_t CIFR;        /* 0x1C */
  __IO uint32_t CICR;        /* 0x20 */
  uint32_t RESERVED0;        /* 0x24 */
  __IO uint32_t AHB1RSTR;    /* 0x28 */
  __IO uint32_t AHB2RSTR;    /* 0x2C */
  __IO uint32_t AHB3RSTR;    /* 0x30 */
  uint32_t RESERVED1;        /* 0x34 */
  __IO uint32_t APB1RSTR1;   /* 0x38 */
  __IO uint32_t APB1RSTR2;   /* 0x3C */
  __IO uint32_t APB2RSTR;    /* 0x40 */
  uint32_t RESERVED2;        /* 0x44 */
  __IO uint32_t AHB1ENR;     /* 0x48 */
  __IO uint32_t AHB2ENR;     /* 0x4C */
  __IO uint32_t AHB3ENR;     /* 0x50 */
  uint32_t RESERVED3;        /* 0x54 */
  __IO uint32_t APB1ENR1;    /* 0x58 */
  __IO uint32_t APB1ENR2;    /* 0x5C */
  __IO uint32_t APB2ENR;     /* 0x60 */
  uint32_t RESERVED4;        /* 0x64 */
  __IO uint32_t AHB1SMENR;   /* 0x68 */
  __IO uint32_t AHB2SMENR;   /* 0x6C */
  __IO uint32_t AHB3SMENR;   /* 0x70 */
  uint32_t RESERVED5;        /* 0x74 */
  __IO uint32_t APB1SMENR1;  /* 0x78 */
  __IO uint32_t APB1SMENR2;  /* 0x7C */
  __IO uint32_t APB2SMENR;   /* 0x80 */
  uint32_t RESERVED6;        /* 0x84 */
  __IO uint32_t CCIPR;       /* 0x88 */
  uint32_t RESERVED7;        /* 0x8C */
  __IO uint32_t BDCR;        /* 0x90 */
  __IO uint32_t CSR;         /* 0x94 */
  __IO uint32_t CRRCR;       /* 0x98 */
} RCC_TypeDef;

typedef struct {
  __IO uint32_t CR1;   /* 0x00 */
  __IO uint32_t CR2;   /* 0x04 */
  __IO uint32_t CR3;   /* 0x08 */
  __IO uint32_t CR4;   /* 0x0C */
  __IO uint32_t SR1;   /* 0x10 */
  __IO uint32_t SR2;   /* 0x14 */
  __IO uint32_t SCR;   /* 0x18 */
  uint32_t RESERVED;   /* 0x1C */
  __IO uint32_t PUCRA; /* 0x20 */
  __IO uint32_t PDCRA; /* 0x24 */
  __IO uint32_t PUCRB; /* 0x28 */
  __IO uint32_t PDCRB; /* 0x2C */
  __IO uint32_t PUCRC; /* 0x30 */
  __IO uint32_t PDCRC; /* 0x34 */
  __IO uint32_t PUCRD; /* 0x38 */
  __IO uint32_t PDCRD; /* 0x3C */
  __IO uint32_t PUCRE; /* 0x40 */
  __IO uint32_t PDCRE; /* 0x44 */
  uint32_t RESERVED1;  /* 0x48 */
  uint32_t RESERVED2;  /* 0x4C */
  uint32_t RESERVED3;  /* 0x50 */
  uint32_t RESERVED4;  /* 0x54 */
  __IO uint32_t PUCRH; /* 0x58 */
  __IO uint32_t PDCRH; /* 0x5C */
} PWR_TypeDef;

typedef struct {
  __IO uint32_t MEMRMP;    /* 0x00 */
  __IO uint32_t CFGR1;     /* 0x04 */
  __IO uint32_t EXTICR[4]; /* 0x08 */
  __IO uint32_t SCSR;      /* 0x18 */
  __IO uint32_t CFGR2;     /* 0x1C */
  __IO uint32_t SWPR;      /* 0x20 */
  __IO uint32_t SKR;       /* 0x24 */
} SYSCFG_TypeDef;

typedef struct {
  __IO uint32_t IMR1;  /* 0x00 */
  __IO uint32_t EMR1;  /* 0x04 */
  __IO uint32_t RTSR1; /* 0x08 */
  __IO uint32_t FTSR1; /* 0x0C */
  __IO uint32_t SWIER1;/* 0x10 */
  __IO uint32_t PR1;   /* 0x14 */
  uint32_t RESERVED1;  /* 0x18 */
  uint32_t RESERVED2;  /* 0x1C */
  __IO uint32_t IMR2;  /* 0x20 */
  __IO uint32_t EMR2;  /* 0x24 */
  __IO uint32_t RTSR2; /* 0x28 */
  __IO uint32_t FTSR2; /* 0x2C */
  __IO uint32_t SWIER2;/* 0x30 */
  __IO uint32_t PR2;   /* 0x34 */
} EXTI_TypeDef;

typedef struct {
  __IO uint32_t IDCODE;  /* 0x00 */
  __IO uint32_t CR;      /* 0x04 */
  __IO uint32_t APB1FZR1;/* 0x08 */
  __IO uint32_t APB1FZR2;/* 0x0C */
  __IO uint32_t APB2FZ;  /* 0x10 */
} DBGMCU_TypeDef;

/* Factory-programmed flash size in KB (a 16-bit value in system memory). */
typedef struct {
  __I uint16_t SIZE_KB; /* 0x1FFF75E0 */
  uint16_t RESERVED;
} FLASHSIZE_TypeDef;

/* Factory-programmed 96-bit unique device identifier. */
typedef struct {
  __I uint32_t W[3]; /* 0x1FFF7590 */
} UID_TypeDef;

/* ---- Memory map ---------------------------------------------------------------- */

/* Memories sit at the chip's addresses on the host too: the simulator maps its
 * internal flash image at FLASH_BASE, so that addresses computed from it are the
 * addresses the flash HAL calls take (32-bit, as on the chip). */
#define FLASH_BASE       (0x08000000UL)
#define FLASH_END        (0x0803FFFFUL)
#define SRAM1_BASE       (0x20000000UL)
#define SRAM2_BASE       (0x10000000UL)
#define SRAM1_SIZE_MAX   (0x0000C000UL)
#define SRAM2_SIZE       (0x00004000UL)
#define PERIPH_BASE      (0x40000000UL)
#define QSPI_BASE        (0x90000000UL)
#define QSPI_R_BASE      (0xA0001000UL)
#define APB1PERIPH_BASE  PERIPH_BASE
#define APB2PERIPH_BASE  (PERIPH_BASE + 0x00010000UL)
#define AHB1PERIPH_BASE  (PERIPH_BASE + 0x00020000UL)
#define AHB2PERIPH_BASE  (PERIPH_BASE + 0x08000000UL)

/* Factory values in system memory: objects like every register block. */
#define FLASHSIZE_BASE   ((uintptr_t)&FLASHSIZE_regs)
#define UID_BASE         ((uintptr_t)&UID_regs)
#define PACKAGE_BASE     (0x1FFF7500UL)

/* ---- Instances ------------------------------------------------------------------ */

#define PERIPH(type, name, address) extern type name##_regs;
#include "stm32l431xx_instances.def"
#undef PERIPH

#define TIM2          (&TIM2_regs)
#define TIM6          (&TIM6_regs)
#define TIM7          (&TIM7_regs)
#define RTC           (&RTC_regs)
#define USART2        (&USART2_regs)
#define USART3        (&USART3_regs)
#define I2C1          (&I2C1_regs)
#define I2C2          (&I2C2_regs)
#define I2C3          (&I2C3_regs)
#define PWR           (&PWR_regs)
#define SYSCFG        (&SYSCFG_regs)
#define EXTI          (&EXTI_regs)
#define TIM1          (&TIM1_regs)
#define USART1        (&USART1_regs)
#define TIM15         (&TIM15_regs)
#define TIM16         (&TIM16_regs)
#define DMA1          (&DMA1_regs)
#define DMA1_Channel1 (&DMA1_Channel1_regs)
#define DMA1_Channel2 (&DMA1_Channel2_regs)
#define DMA1_Channel3 (&DMA1_Channel3_regs)
#define DMA1_Channel4 (&DMA1_Channel4_regs)
#define DMA1_Channel5 (&DMA1_Channel5_regs)
#define DMA1_Channel6 (&DMA1_Channel6_regs)
#define DMA1_Channel7 (&DMA1_Channel7_regs)
#define DMA1_CSELR    (&DMA1_CSELR_regs)
#define RCC           (&RCC_regs)
#define FLASH         (&FLASH_regs)
#define GPIOA         (&GPIOA_regs)
#define GPIOB         (&GPIOB_regs)
#define GPIOC         (&GPIOC_regs)
#define GPIOD         (&GPIOD_regs)
#define GPIOE         (&GPIOE_regs)
#define GPIOH         (&GPIOH_regs)
#define ADC1          (&ADC1_regs)
#define ADC1_COMMON   (&ADC1_COMMON_regs)
#define QUADSPI       (&QUADSPI_regs)
#define DBGMCU        (&DBGMCU_regs)
#define SysTick       (&SysTick_regs)
#define NVIC          (&NVIC_regs)
#define SCB           (&SCB_regs)

#define IS_GPIO_ALL_INSTANCE(x) \
  (((x) == GPIOA) || ((x) == GPIOB) || ((x) == GPIOC) || ((x) == GPIOD) || ((x) == GPIOE) || ((x) == GPIOH))
#define IS_UART_INSTANCE(x) (((x) == USART1) || ((x) == USART2) || ((x) == USART3))
#define IS_I2C_ALL_INSTANCE(x) (((x) == I2C1) || ((x) == I2C2) || ((x) == I2C3))
#define IS_TIM_INSTANCE(x) \
  (((x) == TIM1) || ((x) == TIM2) || ((x) == TIM6) || ((x) == TIM7) || ((x) == TIM15) || ((x) == TIM16))
#define IS_DMA_ALL_INSTANCE(x)                                                              \
  (((x) == DMA1_Channel1) || ((x) == DMA1_Channel2) || ((x) == DMA1_Channel3) ||            \
   ((x) == DMA1_Channel4) || ((x) == DMA1_Channel5) || ((x) == DMA1_Channel6) ||            \
   ((x) == DMA1_Channel7))

#include "stm32l431xx_bits.h"

#ifdef __cplusplus
}
#endif

/* Intrinsics and the NVIC/SysTick access functions: simulator functions on the host
 * (host/seam_intrinsics.h). */
#include "seam_intrinsics.h"

#endif /* __STM32L431xx_H */
