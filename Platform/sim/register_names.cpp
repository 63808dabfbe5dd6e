// Names for what a firmware loop polls: the peripheral instance and register at an
// address of the register arena, and, where the code that reads it can be
// decoded, the flags it tests. Used by the hang check, whose message should say
// "USART3->ISR (TXE)" rather than only that the firmware spins.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "sim/peripherals.h"
#include "stm32l4xx.h"

namespace sim {

namespace {

struct Named {
    std::size_t offset;
    const char *name;
};
struct Flag {
    std::uint32_t mask;
    const char *name;
};
struct RegisterInfo {
    const Flag *flags;  // null: no flag names
    std::size_t flag_count;
};

#define REG(type, field) \
    { offsetof(type, field), #field }
#define FLAGS(array) array, sizeof array / sizeof array[0]

const Flag kUsartIsr[] = {
    {USART_ISR_PE, "PE"},       {USART_ISR_FE, "FE"},       {USART_ISR_NE, "NE"},
    {USART_ISR_ORE, "ORE"},     {USART_ISR_IDLE, "IDLE"},   {USART_ISR_RXNE, "RXNE"},
    {USART_ISR_TC, "TC"},       {USART_ISR_TXE, "TXE"},     {USART_ISR_BUSY, "BUSY"},
    {USART_ISR_TEACK, "TEACK"}, {USART_ISR_REACK, "REACK"},
};
const Flag kRccCr[] = {
    {RCC_CR_MSIRDY, "MSIRDY"}, {RCC_CR_HSIRDY, "HSIRDY"},         {RCC_CR_HSERDY, "HSERDY"},
    {RCC_CR_PLLRDY, "PLLRDY"}, {RCC_CR_PLLSAI1RDY, "PLLSAI1RDY"},
};
const Flag kRccBdcr[] = {{RCC_BDCR_LSERDY, "LSERDY"}};
const Flag kRccCsr[] = {{RCC_CSR_LSIRDY, "LSIRDY"}};
const Flag kFlashSr[] = {
    {FLASH_SR_EOP, "EOP"},       {FLASH_SR_OPERR, "OPERR"},   {FLASH_SR_PROGERR, "PROGERR"},
    {FLASH_SR_WRPERR, "WRPERR"}, {FLASH_SR_PGAERR, "PGAERR"}, {FLASH_SR_SIZERR, "SIZERR"},
    {FLASH_SR_PGSERR, "PGSERR"}, {FLASH_SR_BSY, "BSY"},
};
const Flag kTimSr[] = {{TIM_SR_UIF, "UIF"},     {TIM_SR_CC1IF, "CC1IF"}, {TIM_SR_CC2IF, "CC2IF"},
                       {TIM_SR_CC3IF, "CC3IF"}, {TIM_SR_CC4IF, "CC4IF"}, {TIM_SR_TIF, "TIF"}};
const Flag kI2cIsr[] = {
    {I2C_ISR_TXE, "TXE"},   {I2C_ISR_TXIS, "TXIS"},   {I2C_ISR_RXNE, "RXNE"},
    {I2C_ISR_ADDR, "ADDR"}, {I2C_ISR_NACKF, "NACKF"}, {I2C_ISR_STOPF, "STOPF"},
    {I2C_ISR_TC, "TC"},     {I2C_ISR_TCR, "TCR"},     {I2C_ISR_BERR, "BERR"},
    {I2C_ISR_ARLO, "ARLO"}, {I2C_ISR_BUSY, "BUSY"},
};
const Flag kRtcIsr[] = {{RTC_ISR_INITS, "INITS"},
                        {RTC_ISR_RSF, "RSF"},
                        {RTC_ISR_INITF, "INITF"},
                        {RTC_ISR_WUTWF, "WUTWF"},
                        {RTC_ISR_ALRAWF, "ALRAWF"}};
const Flag kQspiSr[] = {{QUADSPI_SR_TEF, "TEF"}, {QUADSPI_SR_TCF, "TCF"},
                        {QUADSPI_SR_FTF, "FTF"}, {QUADSPI_SR_SMF, "SMF"},
                        {QUADSPI_SR_TOF, "TOF"}, {QUADSPI_SR_BUSY, "BUSY"}};
const Flag kAdcIsr[] = {{ADC_ISR_ADRDY, "ADRDY"},
                        {ADC_ISR_EOSMP, "EOSMP"},
                        {ADC_ISR_EOC, "EOC"},
                        {ADC_ISR_EOS, "EOS"},
                        {ADC_ISR_OVR, "OVR"}};
const Flag kSysTickCtrl[] = {{SysTick_CTRL_COUNTFLAG_Msk, "COUNTFLAG"}};

const Named kUsart[] = {REG(USART_TypeDef, CR1), REG(USART_TypeDef, CR2), REG(USART_TypeDef, CR3),
                        REG(USART_TypeDef, BRR), REG(USART_TypeDef, RQR), REG(USART_TypeDef, ISR),
                        REG(USART_TypeDef, ICR), REG(USART_TypeDef, RDR), REG(USART_TypeDef, TDR)};
const Named kRcc[] = {
    REG(RCC_TypeDef, CR),       REG(RCC_TypeDef, CFGR),    REG(RCC_TypeDef, PLLCFGR),
    REG(RCC_TypeDef, CIFR),     REG(RCC_TypeDef, AHB1ENR), REG(RCC_TypeDef, AHB2ENR),
    REG(RCC_TypeDef, APB1ENR1), REG(RCC_TypeDef, APB2ENR), REG(RCC_TypeDef, CCIPR),
    REG(RCC_TypeDef, BDCR),     REG(RCC_TypeDef, CSR)};
const Named kFlash[] = {REG(FLASH_TypeDef, ACR), REG(FLASH_TypeDef, KEYR), REG(FLASH_TypeDef, SR),
                        REG(FLASH_TypeDef, CR)};
const Named kTim[] = {REG(TIM_TypeDef, CR1), REG(TIM_TypeDef, SMCR), REG(TIM_TypeDef, DIER),
                      REG(TIM_TypeDef, SR),  REG(TIM_TypeDef, EGR),  REG(TIM_TypeDef, CNT),
                      REG(TIM_TypeDef, PSC), REG(TIM_TypeDef, ARR),  REG(TIM_TypeDef, CCR1)};
const Named kI2c[] = {REG(I2C_TypeDef, CR1), REG(I2C_TypeDef, CR2),  REG(I2C_TypeDef, ISR),
                      REG(I2C_TypeDef, ICR), REG(I2C_TypeDef, RXDR), REG(I2C_TypeDef, TXDR)};
const Named kRtc[] = {REG(RTC_TypeDef, TR),  REG(RTC_TypeDef, DR),  REG(RTC_TypeDef, CR),
                      REG(RTC_TypeDef, ISR), REG(RTC_TypeDef, SSR), REG(RTC_TypeDef, BKP0R)};
const Named kQspi[] = {REG(QUADSPI_TypeDef, CR), REG(QUADSPI_TypeDef, SR),
                       REG(QUADSPI_TypeDef, FCR), REG(QUADSPI_TypeDef, CCR),
                       REG(QUADSPI_TypeDef, DR)};
const Named kAdc[] = {REG(ADC_TypeDef, ISR), REG(ADC_TypeDef, CR), REG(ADC_TypeDef, DR)};
const Named kPwr[] = {REG(PWR_TypeDef, CR1), REG(PWR_TypeDef, SR1), REG(PWR_TypeDef, SR2)};
const Named kDma[] = {REG(DMA_TypeDef, ISR), REG(DMA_TypeDef, IFCR)};
const Named kDmaChannel[] = {REG(DMA_Channel_TypeDef, CCR), REG(DMA_Channel_TypeDef, CNDTR)};
const Named kGpio[] = {REG(GPIO_TypeDef, MODER), REG(GPIO_TypeDef, IDR), REG(GPIO_TypeDef, ODR),
                       REG(GPIO_TypeDef, BSRR)};
const Named kExti[] = {REG(EXTI_TypeDef, PR1)};
const Named kSysTick[] = {REG(SysTick_Type, CTRL), REG(SysTick_Type, LOAD), REG(SysTick_Type, VAL)};
const Named kScb[] = {REG(SCB_Type, ICSR), REG(SCB_Type, AIRCR), REG(SCB_Type, SCR)};

// The named registers of each register block type.
struct NamedList {
    const Named *names;
    std::size_t count;
};
#define NAMES(array) \
    { array, sizeof array / sizeof array[0] }
template <typename T>
constexpr NamedList kNamesOf = {nullptr, 0};
template <>
constexpr NamedList kNamesOf<USART_TypeDef> = NAMES(kUsart);
template <>
constexpr NamedList kNamesOf<RCC_TypeDef> = NAMES(kRcc);
template <>
constexpr NamedList kNamesOf<FLASH_TypeDef> = NAMES(kFlash);
template <>
constexpr NamedList kNamesOf<TIM_TypeDef> = NAMES(kTim);
template <>
constexpr NamedList kNamesOf<I2C_TypeDef> = NAMES(kI2c);
template <>
constexpr NamedList kNamesOf<RTC_TypeDef> = NAMES(kRtc);
template <>
constexpr NamedList kNamesOf<QUADSPI_TypeDef> = NAMES(kQspi);
template <>
constexpr NamedList kNamesOf<ADC_TypeDef> = NAMES(kAdc);
template <>
constexpr NamedList kNamesOf<PWR_TypeDef> = NAMES(kPwr);
template <>
constexpr NamedList kNamesOf<DMA_TypeDef> = NAMES(kDma);
template <>
constexpr NamedList kNamesOf<DMA_Channel_TypeDef> = NAMES(kDmaChannel);
template <>
constexpr NamedList kNamesOf<GPIO_TypeDef> = NAMES(kGpio);
template <>
constexpr NamedList kNamesOf<EXTI_TypeDef> = NAMES(kExti);
template <>
constexpr NamedList kNamesOf<SysTick_Type> = NAMES(kSysTick);
template <>
constexpr NamedList kNamesOf<SCB_Type> = NAMES(kScb);

struct Instance {
    const char *name;
    const void *regs;
    NamedList registers;
};
const Instance kInstances[] = {
#define PERIPH(type, name, address) {#name, &name##_regs, kNamesOf<type>},
#include "stm32l431xx_instances.def"
#undef PERIPH
};

// The flags a register holds, by instance name prefix and register name.
const struct {
    const char *instance, *reg;
    RegisterInfo info;
} kFlagged[] = {
    {"USART", "ISR", {FLAGS(kUsartIsr)}},       {"RCC", "CR", {FLAGS(kRccCr)}},
    {"RCC", "BDCR", {FLAGS(kRccBdcr)}},         {"RCC", "CSR", {FLAGS(kRccCsr)}},
    {"FLASH", "SR", {FLAGS(kFlashSr)}},         {"TIM", "SR", {FLAGS(kTimSr)}},
    {"I2C", "ISR", {FLAGS(kI2cIsr)}},           {"RTC", "ISR", {FLAGS(kRtcIsr)}},
    {"QUADSPI", "SR", {FLAGS(kQspiSr)}},        {"ADC1", "ISR", {FLAGS(kAdcIsr)}},
    {"SysTick", "CTRL", {FLAGS(kSysTickCtrl)}},
};

RegisterInfo flags_of(const char *instance, const char *reg) {
    for (const auto &f : kFlagged)
        if (std::strncmp(instance, f.instance, std::strlen(f.instance)) == 0 &&
            std::strcmp(reg, f.reg) == 0)
            return f.info;
    return {nullptr, 0};
}

std::uint32_t read32(const std::uint8_t *p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

#if defined(__x86_64__)
// Length of the instruction at `p` whose ModRM byte is at `m`, not counting an
// immediate.
std::size_t modrm_end(const std::uint8_t *p, const std::uint8_t *m) {
    const unsigned mod = m[0] >> 6, rm = m[0] & 7u;
    std::size_t n = static_cast<std::size_t>(m - p) + 1;
    if (mod == 3)
        return n;
    if (rm == 4) {
        const unsigned base = m[1] & 7u;
        ++n;
        if (mod == 0 && base == 5)
            n += 4;
    }
    if (mod == 1)
        n += 1;
    else if (mod == 2 || (mod == 0 && rm == 5))
        n += 4;
    return n;
}

// The mask a register test at `pc` applies to the value it loads: either a test of
// memory with an immediate, or a load followed by a test, an and or a bit test of
// the loaded register with an immediate (what compilers make of `x->SR & FLAG`).
// 0 when the code is of another shape.
std::uint32_t tested_mask(const std::uint8_t *pc) {
    const std::uint8_t *p = pc;
    while (*p == 0x66 || (*p & 0xF0u) == 0x40u) ++p;
    if ((p[0] == 0xF6 || p[0] == 0xF7) && ((p[1] >> 3) & 7u) == 0) {
        const std::size_t n = modrm_end(pc, p + 1);
        return p[0] == 0xF6 ? pc[n] : read32(pc + n);
    }
    std::size_t n;
    if (p[0] == 0x8B || p[0] == 0x8A)
        n = modrm_end(pc, p + 1);
    else if (p[0] == 0x0F && (p[1] == 0xB6 || p[1] == 0xB7))
        n = modrm_end(pc, p + 2);
    else
        return 0;
    const std::uint8_t *q = pc + n;
    while ((*q & 0xF0u) == 0x40u) ++q;
    switch (q[0]) {
        case 0xA8:  // test al, imm8
            return q[1];
        case 0xA9:  // test eax, imm32
        case 0x25:  // and eax, imm32
            return read32(q + 1);
        case 0xF6:  // test r8, imm8
            return (q[1] >> 6) == 3 && ((q[1] >> 3) & 7u) == 0 ? q[2] : 0u;
        case 0xF7:  // test r32, imm32
            return (q[1] >> 6) == 3 && ((q[1] >> 3) & 7u) == 0 ? read32(q + 2) : 0u;
        case 0x83:  // and r32, imm8
            return (q[1] >> 6) == 3 && ((q[1] >> 3) & 7u) == 4
                       ? static_cast<std::uint32_t>(static_cast<std::int8_t>(q[2]))
                       : 0u;
        case 0x81:  // and r32, imm32
            return (q[1] >> 6) == 3 && ((q[1] >> 3) & 7u) == 4 ? read32(q + 2) : 0u;
        case 0x0F:  // bt r32, imm8
            return q[1] == 0xBA && (q[2] >> 6) == 3 && ((q[2] >> 3) & 7u) == 4 ? 1u << (q[3] & 31u)
                                                                               : 0u;
        default:
            return 0;
    }
}
#else
std::uint32_t tested_mask(const std::uint8_t *) {
    return 0;
}
#endif

}  // namespace

std::string describe_register_poll(const void *address, const void *pc) {
    const auto *a = static_cast<const std::uint8_t *>(address);
    const RegisterArena arena = register_arena();
    if (a < arena.begin || a >= arena.begin + arena.size)
        return "";
    const std::size_t page = static_cast<std::size_t>(a - arena.begin) / arena.page;
    const Instance &in = kInstances[page];
    const std::size_t offset =
        static_cast<std::size_t>(a - static_cast<const std::uint8_t *>(in.regs)) & ~std::size_t{3};
    const char *reg = nullptr;
    for (std::size_t k = 0; k < in.registers.count; ++k)
        if (in.registers.names[k].offset == offset)
            reg = in.registers.names[k].name;
    char buf[48];
    std::string text = in.name;
    if (reg) {
        text += "->";
        text += reg;
    } else {
        std::snprintf(buf, sizeof buf, " register at offset 0x%02zX", offset);
        text += buf;
    }
    const std::uint32_t value = read32(static_cast<const std::uint8_t *>(in.regs) + offset);
    // A byte or half-word read tests bits further up the word.
    const std::uint32_t mask =
        tested_mask(static_cast<const std::uint8_t *>(pc))
        << (8u * (static_cast<std::size_t>(a - static_cast<const std::uint8_t *>(in.regs)) & 3u));
    std::string tested;
    if (mask != 0) {
        const RegisterInfo info = flags_of(in.name, reg ? reg : "");
        for (int bit = 0; bit < 32; ++bit) {
            const std::uint32_t m = 1u << bit;
            if (!(mask & m))
                continue;
            const char *name = nullptr;
            for (std::size_t k = 0; k < info.flag_count; ++k)
                if (info.flags[k].mask == m)
                    name = info.flags[k].name;
            if (name) {
                tested += tested.empty() ? "" : ", ";
                tested += name;
            } else {
                std::snprintf(buf, sizeof buf, "%sbit %d", tested.empty() ? "" : ", ", bit);
                tested += buf;
            }
            tested += (value & m) ? " = 1" : " = 0";
        }
    }
    std::snprintf(buf, sizeof buf, "reads 0x%08X", value);
    return text + " (" + (tested.empty() ? "" : tested + "; ") + buf + ")";
}

}  // namespace sim
