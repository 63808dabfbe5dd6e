// The trigger snapshot in internal flash.
#include "flash.h"

#include "hs_uart5.h"
#include "main.h"

FlashSaveList flashSaveList_A1, flashSaveList_A2, flashSaveList_G1, flashSaveList_G2;
uint32_t QFLASH[4 * SNAPSHOT_SAMPLES];
uint32_t flashSaveAddr = logger_snapshot_base(0xFFFF);

namespace {

uint32_t half(int16_t high, int16_t low) {
    return static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16 | static_cast<uint16_t>(low);
}

void append(FlashSaveList &l, uint32_t v) {
    if (l.count < SNAPSHOT_SAMPLES) {
        l.entries[(l.head + l.count) % SNAPSHOT_SAMPLES] = v;
        ++l.count;
    } else {
        l.entries[l.head] = v;
        l.head = (l.head + 1) % SNAPSHOT_SAMPLES;
    }
}

void copy_list(const FlashSaveList &l, uint32_t column) {
    for (uint32_t k = 0; k < l.count; ++k)
        QFLASH[4 * k + column] = l.entries[(l.head + k) % SNAPSHOT_SAMPLES];
}

uint32_t area_base() {
    return logger_snapshot_base(*reinterpret_cast<const volatile uint16_t *>(FLASHSIZE_BASE));
}

// The tick appends to the lists; a copy made from the main loop must not see a list
// half-updated, nor one list a sample ahead of another: the tick's interrupt waits
// during the copy (a few microseconds).
void copy_lists() {
    const bool tick_enabled = NVIC_GetEnableIRQ(TIM7_IRQn) != 0;
    HAL_NVIC_DisableIRQ(TIM7_IRQn);
    __DSB();
    __ISB();
    copy_list(flashSaveList_A1, 0);
    copy_list(flashSaveList_A2, 1);
    copy_list(flashSaveList_G1, 2);
    copy_list(flashSaveList_G2, 3);
    if (tick_enabled)
        HAL_NVIC_EnableIRQ(TIM7_IRQn);
}

HAL_StatusTypeDef program(uint32_t word, uint32_t lo, uint32_t hi) {
    return HAL_FLASH_Program(FLASH_TYPEPROGRAM_DOUBLEWORD, flashSaveAddr + 4 * word,
                             static_cast<uint64_t>(hi) << 32 | lo);
}

// Unlocks and erases the area's two pages. A flag an earlier operation or the start
// of the chip left set would make the HAL refuse the erase: all of them are cleared.
HAL_StatusTypeDef erase() {
    flashSaveAddr = area_base();
    __HAL_FLASH_CLEAR_FLAG(FLASH_FLAG_EOP | FLASH_FLAG_SR_ERRORS);
    HAL_FLASH_Unlock();
    FLASH_EraseInitTypeDef e = {};
    e.TypeErase = FLASH_TYPEERASE_PAGES;
    e.Banks = FLASH_BANK_1;
    e.Page = (flashSaveAddr - FLASH_BASE) / FLASH_PAGE_SIZE;
    e.NbPages = 2;
    uint32_t page_error = 0;
    const HAL_StatusTypeDef s = HAL_FLASHEx_Erase(&e, &page_error);
    if (s != HAL_OK)
        UART5_Printf("Eraser Error\r\n");
    return s;
}

}  // namespace

void Flash_Append_SensorData(const SensorData_TypeDef *d) {
    append(flashSaveList_A1, half(d->accX, d->num));
    append(flashSaveList_A2, half(d->accZ, d->accY));
    append(flashSaveList_G1, half(d->gyroY, d->gyroX));
    append(flashSaveList_G2, half(d->gyroZ, 0));
}

// The old header is cleared to zeros first (a double word may always be programmed
// to zeros), the samples are programmed, the header last: a save the power cuts
// short at any point leaves no whole snapshot rather than a torn one that reads as
// whole. The second save replaces the first this way too.
HAL_StatusTypeDef Flash_Save_SensorData(int type) {
    copy_lists();
    flashSaveAddr = area_base();
    HAL_FLASH_Unlock();
    __HAL_FLASH_CLEAR_FLAG(FLASH_FLAG_EOP | FLASH_FLAG_SR_ERRORS);
    const volatile uint32_t *stored = reinterpret_cast<const volatile uint32_t *>(flashSaveAddr);
    for (uint32_t w = 0; w < SNAPSHOT_HEADER_WORDS; w += 2)
        if (stored[w] != 0 || stored[w + 1] != 0)
            program(w, 0, 0);
    HAL_StatusTypeDef s = erase();
    for (uint32_t w = 0; s == HAL_OK && w < 4 * SNAPSHOT_SAMPLES; w += 2)
        s = program(SNAPSHOT_HEADER_WORDS + w, QFLASH[w], QFLASH[w + 1]);
    if (s == HAL_OK)
        s = program(0, g_battAdcVal, 0xFFFFFFFFu);
    if (s == HAL_OK)
        s = program(2, static_cast<uint32_t>(static_cast<uint8_t>(type)) << 16, 0xFFFFFFFFu);
    if (s != HAL_OK && s != HAL_ERROR)
        UART5_Printf("Flash_Save_SensorData: program error\r\n");
    else if (s == HAL_ERROR && HAL_FLASH_GetError() != HAL_FLASH_ERROR_NONE)
        UART5_Printf("Flash_Save_SensorData: program error %lu\r\n",
                     static_cast<unsigned long>(HAL_FLASH_GetError()));
    HAL_FLASH_Lock();
    return s;
}

void Flash_Load_SensorData(void) {
    flashSaveAddr = area_base();
    // Read in place (a copy would take 2.4 KB of stack); a snapshot that is not whole
    // prints as an erased area does.
    static const uint32_t kErased[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    const uint32_t *stored = reinterpret_cast<const uint32_t *>(flashSaveAddr);
    const bool whole = logger_snapshot_whole(stored);
    const uint32_t *w = whole ? stored : kErased;
    UART5_Printf(SNAPSHOT_TITLE_LINE);
    UART5_Printf(SNAPSHOT_BATT_FORMAT, static_cast<int>(w[0]));
    UART5_Printf(SNAPSHOT_TRIGGER_FORMAT, static_cast<int8_t>(w[2] >> 16));
    for (uint32_t k = 0; k <= SNAPSHOT_SAMPLES; ++k) {
        int v[7];
        logger_snapshot_line(w, whole ? k : 0, v);
        UART5_Printf(SD_LINE_FORMAT, v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    }
}

HAL_StatusTypeDef Flash_Reset_Userdata(void) {
    const HAL_StatusTypeDef s = erase();
    HAL_FLASH_Lock();
    return s;
}

void Flash_EraseMode(void) {
    HAL_GPIO_WritePin(LED_HEARTBEAT_GPIO_Port, LED_HEARTBEAT_Pin, GPIO_PIN_RESET);
    Logger_StopSampling();
    Flash_Reset_Userdata();
    for (;;) {
        HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_SET);
        HAL_Delay(200);
        HAL_GPIO_WritePin(LED_STATUS_GPIO_Port, LED_STATUS_Pin, GPIO_PIN_RESET);
        HAL_Delay(200);
    }
}
