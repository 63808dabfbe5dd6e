"""The run-time cases of the conformance test: with which arguments each macro the
seam shares with the vendor is run, and the probe code that gives both sides the
same register blocks and handles.

Arguments are chosen by the macro's module (the word after __HAL_) and parameter
name. A list of names is a list of glob patterns over the constants both sides
define, so a new flag or channel constant is exercised without editing this file.
Flag and interrupt masks are also run in pairs and all together, because "any bit"
and "all bits" only differ there.
"""
import fnmatch
import itertools
import re
from collections import OrderedDict

# Handle type and instances of each module's handle argument.
HANDLES = OrderedDict([
    ("TIM", ("TIM_HandleTypeDef", ["TIM1", "TIM2", "TIM6", "TIM7", "TIM15", "TIM16"])),
    ("UART", ("UART_HandleTypeDef", ["USART1", "USART2", "USART3"])),
    ("DMA", ("DMA_HandleTypeDef", [f"DMA1_Channel{n}" for n in range(1, 8)])),
    ("I2C", ("I2C_HandleTypeDef", ["I2C1", "I2C2", "I2C3"])),
    ("QSPI", ("QSPI_HandleTypeDef", ["QUADSPI"])),
    ("ADC", ("ADC_HandleTypeDef", ["ADC1"])),
    ("RTC", ("RTC_HandleTypeDef", ["RTC"])),
])

NUMBERS = ["0x1234U", "0xFFFFU"]

# Constants that the patterns match but that are masks or positions, not arguments.
NOT_ARGUMENTS = {"RCC_FLAG_MASK", "UART_IT_MASK", "TIM_FLAG_MASK"}

# (module, parameter) -> constant patterns (a leading '+' means: also in pairs and all
# together) or literal arguments (a leading '=').
ARGUMENTS = {
    ("TIM", "__INTERRUPT__"): ["+TIM_IT_*"],
    ("TIM", "__FLAG__"): ["+TIM_FLAG_*"],
    ("TIM", "__CHANNEL__"): ["TIM_CHANNEL_[1-6]"],
    ("TIM", "__CKD__"): ["TIM_CLOCKDIVISION_*"],
    ("UART", "__INTERRUPT__"): ["UART_IT_*"],
    ("UART", "__FLAG__"): ["UART_FLAG_*", "UART_CLEAR_*"],
    ("DMA", "__INTERRUPT__"): ["+DMA_IT_*"],
    ("DMA", "__FLAG__"): ["+DMA_FLAG_*"],
    ("I2C", "__INTERRUPT__"): ["+I2C_IT_*"],
    ("I2C", "__FLAG__"): ["+I2C_FLAG_*"],
    ("QSPI", "__INTERRUPT__"): ["+QSPI_IT_*"],
    ("QSPI", "__FLAG__"): ["+QSPI_FLAG_*"],
    ("ADC", "__INTERRUPT__"): ["+ADC_IT_*"],
    ("ADC", "__FLAG__"): ["+ADC_FLAG_*"],
    ("ADC", "__CHANNEL__"): ["ADC_CHANNEL_*"],
    ("FLASH", "__INTERRUPT__"): ["+FLASH_IT_*"],
    ("FLASH", "__FLAG__"): ["+FLASH_FLAG_*"],
    ("FLASH", "__LATENCY__"): ["FLASH_LATENCY_*"],
    ("PWR", "__FLAG__"): ["PWR_FLAG_*"],
    ("RCC", "__FLAG__"): ["RCC_FLAG_*"],
    ("RCC", "__INTERRUPT__"): ["RCC_IT_*"],
    ("RCC", "__LSEDRIVE__"): ["RCC_LSEDRIVE_*"],
    ("RCC", "__RTC_CLKSOURCE__"): ["RCC_RTCCLKSOURCE_*"],
    ("RCC", "__PLLCLOCKOUT__"): ["RCC_PLL_*CLK"],
    ("RCC", "__PLLSAI1CLOCKOUT__"): ["RCC_PLLSAI1_*CLK"],
    ("GPIO", "__EXTI_LINE__"): ["GPIO_PIN_*"],
}

# Macros whose arguments are not by module and parameter name.
BY_MACRO = {
    "__HAL_RCC_USART1_CONFIG": [["RCC_USART1CLKSOURCE_*"]],
    "__HAL_RCC_USART3_CONFIG": [["RCC_USART3CLKSOURCE_*"]],
    "__HAL_RCC_I2C1_CONFIG": [["RCC_I2C1CLKSOURCE_*"]],
    "__HAL_RCC_ADC_CONFIG": [["RCC_ADCCLKSOURCE_*"]],
    "__HAL_LINKDMA": [["=h_UART_USART1"], ["=hdmarx", "=hdmatx"], ["=*h_DMA_DMA1_Channel3"]],
    "__HAL_RESET_HANDLE_STATE": [["=h_TIM_TIM7", "=h_DMA_DMA1_Channel3"]],
    "__HAL_LOCK": [["=h_TIM_TIM7", "=h_UART_USART3"]],
    "__HAL_UNLOCK": [["=h_TIM_TIM7", "=h_UART_USART3"]],
    "IS_GPIO_ALL_INSTANCE": [["=GPIOA", "=GPIOH"]],
    "IS_UART_INSTANCE": [["=USART1", "=USART3"]],
    "IS_I2C_ALL_INSTANCE": [["=I2C1", "=I2C3"]],
    "IS_TIM_INSTANCE": [["=TIM1", "=TIM7", "=TIM16"]],
    "IS_DMA_ALL_INSTANCE": [["=DMA1_Channel1", "=DMA1_Channel7"]],
    "IS_FUNCTIONAL_STATE": [["=ENABLE", "=DISABLE", "=2U"]],
    "IS_GPIO_PIN": [["=GPIO_PIN_0", "=GPIO_PIN_All", "=0U", "=0x10000U"]],
    "IS_GPIO_PIN_ACTION": [["=GPIO_PIN_RESET", "=GPIO_PIN_SET", "=2U"]],
    "IS_GPIO_AF": [["=0U", "=7U", "=15U", "=16U"]],
    "IS_NVIC_PRIORITY_GROUP": [["NVIC_PRIORITYGROUP_*", "=8U"]],
    "IS_NVIC_PREEMPTION_PRIORITY": [["=0U", "=15U", "=16U"]],
    "IS_NVIC_SUB_PRIORITY": [["=0U", "=15U", "=16U"]],
    "IS_NVIC_DEVICE_IRQ": [["=SysTick_IRQn", "=WWDG_IRQn", "=TIM7_IRQn"]],
    "GPIO_GET_INDEX": [["=GPIOA", "=GPIOB", "=GPIOC", "=GPIOD", "=GPIOE", "=GPIOH"]],
    "POSITION_VAL": [["=0x0U", "=0x1U", "=0x80U", "=0x80000000U"]],
    "UNUSED": [["=TIM2->CR1"]],
}
REGISTER = ["=TIM2->CR1", "=GPIOA->ODR"]
MASK = ["=0x81U", "=0xF0F0F0F0U"]
GENERIC = {
    "REG": REGISTER, "BIT": MASK, "VAL": MASK, "CLEARMASK": MASK, "SETMASK": ["=0x3U"],
}

# Macros compared by their expansion with these arguments (attributes).
EXPANDED = {"__ALIGNED": ["8"]}


def module_of(name):
    m = re.match(r"^__HAL_([A-Z0-9]+)_", name)
    return m.group(1) if m else None


def handle_name(module, instance):
    return f"h_{module}_{instance}"


def expand(patterns, constants):
    """Argument texts for a list of patterns."""
    values = []
    for p in patterns:
        if p.startswith("="):
            values.append(p[1:])
            continue
        combine = p.startswith("+")
        names = sorted(n for n in constants if fnmatch.fnmatchcase(n, p.lstrip("+")) and n not in NOT_ARGUMENTS)
        values.extend(names)
        if combine and len(names) > 1:
            values.append(f"({names[0]} | {names[1]})")
            values.append("(" + " | ".join(names) + ")")
    return values


def arguments(name, params, constants):
    """Argument lists for each parameter, or None when the table has none."""
    if name in BY_MACRO:
        return [expand(p, constants) for p in BY_MACRO[name]]
    module = module_of(name)
    result = []
    for p in params:
        if p == "__HANDLE__" and module in HANDLES:
            result.append([handle_name(module, i) for i in HANDLES[module][1]])
        elif (module, p) in ARGUMENTS:
            result.append(expand(ARGUMENTS[(module, p)], constants))
        elif p in ("__COMPARE__", "__AUTORELOAD__", "__COUNTER__", "__PRESC__"):
            result.append(NUMBERS)
        elif p in GENERIC:
            result.append(expand(GENERIC[p], constants))
        else:
            return None
        if not result[-1]:
            return None
    return result


def cases(function_macros, expressions, seam_facts, vendor_facts):
    """Probe lines keyed "case:<use>": (expression form, statement form), and the
    shared macros the table gives no arguments for."""
    constants = {k[len("const:"):] for k in seam_facts if k.startswith("const:")} & \
                {k[len("const:"):] for k in vendor_facts if k.startswith("const:")}
    result = OrderedDict()
    unhandled = []

    def add(use, statement=True):
        key = f"case:{use}"
        q = '"' + use.replace('"', '\\"') + '"'
        if not statement:
            result[key] = (f"probe::run_case({q}, []() -> std::string {{ return probe::result_text((({use}), "
                           f"probe::Marker{{}})); }});", None)
            return
        result[key] = (
            f"probe::run_case({q}, []() -> std::string {{ return probe::result_text((({use}), probe::Marker{{}})); }});",
            f"probe::run_case({q}, []() -> std::string {{ return probe::result_text(([]() -> HAL_StatusTypeDef "
            f"{{ {use}; return HAL_OK; }}(), probe::Marker{{}})); }});")

    for name in expressions:
        add(name, statement=False)
    for name, macro in function_macros.items():
        if name in EXPANDED:
            continue
        args = arguments(name, macro.params, constants)
        if args is None:
            unhandled.append((name, f"no arguments for {macro.params} in macro_cases.py"))
            continue
        for combo in itertools.product(*args):
            add(f"{name}({', '.join(combo)})")
    return result, unhandled


def expanded_uses():
    return [f"{name}({', '.join(args)})" for name, args in EXPANDED.items()]


# The seam's instances are objects; the probes define them as plain memory.
SEAM_OBJECTS = """#define PERIPH(type, name, address) type name##_regs{};
#include "stm32l431xx_instances.def"
#undef PERIPH"""

MAIN_BODY = "  probe_setup();\n  probe::catch_faults();"


def preludes(instances, sizes):
    """Per side: the register blocks (the seam's objects, the vendor's bus addresses
    mapped as memory), the handle arena and the handles' instances."""
    handles = []
    for module, (htype, insts) in HANDLES.items():
        for inst in insts:
            handles.append((module, htype, inst))
    common = []
    for index, (module, htype, inst) in enumerate(handles):
        common.append(f"#define {handle_name(module, inst)} (probe::handle<{htype}>({index}))")
    common.append("void probe_set_instances() {")
    for module, htype, inst in handles:
        common.append(f"  {handle_name(module, inst)}->Instance = {inst};")
    common.append("}")
    arena = (f'  probe::map_fixed(probe::kArenaBase, {len(handles)} * probe::kHandleStride);\n'
             f'  probe::regions().push_back({{"arena", reinterpret_cast<uint8_t*>(probe::kArenaBase), '
             f'{len(handles)} * probe::kHandleStride}});')
    seam = [SEAM_OBJECTS, "static void probe_setup() {", arena]
    vendor = ["static void probe_setup() {", arena]
    for rtype, name, address in instances:
        size = sizes[rtype]
        seam.append(f'  probe::regions().push_back({{"{name}", reinterpret_cast<uint8_t*>(&{name}_regs), {size}}});')
        vendor.append(f"  probe::map_pages(0x{address:X}u, {size});")
        vendor.append(f'  probe::regions().push_back({{"{name}", reinterpret_cast<uint8_t*>(0x{address:X}u), {size}}});')
    seam.append("}")
    vendor.append("}")
    return {"seam": "\n".join(common + seam), "vendor": "\n".join(common + vendor)}
