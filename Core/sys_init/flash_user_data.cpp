// User data in the internal flash, read by address as on the chip and programmed a
// word at a time with the program's one-word call, always at ascending addresses in
// pairs that fill each 64-bit flash unit.
#include "flash_user_data.h"

#include <cstring>

#include "main.h"
#include "stm32l4xx_hal_additions.h"
#include "sys_battery.h"
#include "sys_uart.h"

namespace {

constexpr uint32_t kDefaultFlashBytes = 256u * 1024u;  // this part; an unprogrammed register
constexpr uint32_t kMinFlashBytes = 8u * 1024u;
constexpr uint32_t kPages = 2;

// Flash size from the factory register (KB), limited to 26 bits. A value no part
// of this line can have (unprogrammed 0xFFFF, below 8 KB, or more than this part's
// 256 KB) would put the area outside the flash: the part's own size is used.
uint32_t flash_bytes(void) {
    const uint16_t kb = *reinterpret_cast<const volatile uint16_t *>(FLASHSIZE_BASE);
    const uint32_t bytes = (static_cast<uint32_t>(kb) * 1024u) & 0x03FFFFFFu;
    if (kb == 0xFFFF || bytes < kMinFlashBytes || bytes > kDefaultFlashBytes)
        return kDefaultFlashBytes;
    return bytes;
}

const volatile uint8_t *area(void) {
    return reinterpret_cast<const volatile uint8_t *>(flash_user_data_address());
}

uint32_t word_at(uint32_t offset) {
    return *reinterpret_cast<const volatile uint32_t *>(flash_user_data_address() + offset);
}

void program_word(uint32_t offset, uint32_t value) {
    HAL_FLASH_Program_Word(flash_user_data_address() + offset, value);
}

}  // namespace

uint32_t flash_user_data_address(void) {
    return FLASH_BASE + flash_bytes() - FLASH_USER_DATA_SIZE;
}

// Clears every flag the flash controller may hold from an earlier operation (the
// clear macro clears only the flags it is given; a pending sequence error would
// refuse the programs that follow), then erases the two pages. An erase error is
// reported and returned: the caller (a firing among them) goes on, and programs
// nothing into an area that did not erase.
int flash_user_data_reset(void) {
    __HAL_FLASH_CLEAR_FLAG(FLASH_FLAG_EOP | FLASH_FLAG_OPERR | FLASH_FLAG_PROGERR |
                           FLASH_FLAG_WRPERR | FLASH_FLAG_PGAERR | FLASH_FLAG_SIZERR |
                           FLASH_FLAG_PGSERR | FLASH_FLAG_MISERR | FLASH_FLAG_FASTERR |
                           FLASH_FLAG_RDERR | FLASH_FLAG_OPTVERR | FLASH_FLAG_ECCC |
                           FLASH_FLAG_ECCD);
    HAL_FLASH_Unlock();
    FLASH_EraseInitTypeDef erase = {};
    erase.TypeErase = FLASH_TYPEERASE_PAGES;
    erase.Banks = FLASH_BANK_1;
    erase.Page = flash_bytes() / FLASH_PAGE_SIZE - kPages;
    erase.NbPages = kPages;
    uint32_t page_error = 0;
    const bool erased = HAL_FLASHEx_Erase(&erase, &page_error) == HAL_OK;
    HAL_FLASH_Lock();
    if (!erased) {
        UART5_Printf("Eraser Error\r\n");
        return -1;
    }
    return 0;
}

int flash_user_data_backup(uint8_t *buf, uint32_t len) {
    if (len < FLASH_USER_DATA_SIZE)
        return -1;
    const volatile uint8_t *a = area();
    for (uint32_t i = 0; i < FLASH_USER_DATA_SIZE; ++i) buf[i] = a[i];
    return 0;
}

// `data` needs no alignment: its words are copied out byte-wise.
int flash_user_data_copy_data(uint32_t offset, uint32_t *data, int len) {
    if (len < 0 || len % 4 != 0 || offset > FLASH_USER_DATA_SIZE ||
        static_cast<uint32_t>(len) > FLASH_USER_DATA_SIZE - offset)
        return -1;
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(data);
    for (int i = 0; i < len; i += 4) {
        uint32_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        program_word(offset + static_cast<uint32_t>(i), word);
    }
    return 0;
}

int flash_user_data_restore(uint8_t *buf, uint32_t offset, uint32_t len) {
    if (offset > FLASH_USER_DATA_SIZE || len > FLASH_USER_DATA_SIZE - offset)
        return -1;
    return flash_user_data_copy_data(offset, reinterpret_cast<uint32_t *>(buf + offset),
                                     static_cast<int>(len));
}

// The range is checked whole before anything is erased: a part the word-wise
// program would refuse (an offset or length not a multiple of 4) would otherwise be
// erased and never written back.
int flash_user_data_write(int offset, uint8_t *data, int len) {
    if (offset < 0 || len < 0 || offset + len > static_cast<int>(FLASH_USER_DATA_SIZE) ||
        offset % 4 != 0 || len % 4 != 0)
        return -1;
    uint32_t backup[FLASH_USER_DATA_SIZE / 4];
    uint8_t *b = reinterpret_cast<uint8_t *>(backup);
    flash_user_data_backup(b, sizeof backup);
    if (flash_user_data_reset() != 0)
        return -1;
    HAL_FLASH_Unlock();
    const uint32_t o = static_cast<uint32_t>(offset), n = static_cast<uint32_t>(len);
    if (o >= 1)
        flash_user_data_restore(b, 0, o);
    flash_user_data_copy_data(o, reinterpret_cast<uint32_t *>(data), len);
    flash_user_data_restore(b, o + n, FLASH_USER_DATA_SIZE - o - n);
    HAL_FLASH_Lock();
    return 0;
}

int flash_user_data_save_trigger_data(uint32_t trigger_type) {
    uint32_t backup[FLASH_USER_DATA_SIZE / 4];
    uint8_t *b = reinterpret_cast<uint8_t *>(backup);
    flash_user_data_backup(b, sizeof backup);
    if (flash_user_data_reset() != 0)
        return -1;
    HAL_FLASH_Unlock();
    program_word(FLASH_USER_DATA_BATTERY, g_battAdcVal);
    program_word(FLASH_USER_DATA_BATTERY + 4, 0xFFFFFFFFu);
    program_word(FLASH_USER_DATA_TRIGGER, trigger_type);
    program_word(FLASH_USER_DATA_TRIGGER + 4, 0xFFFFFFFFu);
    const int first = __sensordata_store.wptr;  // the oldest sample sits at the write index
    for (uint32_t k = 0; k < FLASH_USER_DATA_SAMPLE_COUNT; ++k) {
        const SENSORDATASTORE_ITEM &item =
            __sensordata_store.buf[(static_cast<uint32_t>(first) + k) % SENSORDATASTORE_SIZE];
        flash_user_data_copy_data(
            FLASH_USER_DATA_SAMPLES + k * sizeof item,
            reinterpret_cast<uint32_t *>(const_cast<SENSORDATASTORE_ITEM *>(&item)), sizeof item);
    }
    flash_user_data_restore(b, FLASH_USER_DATA_KEPT, FLASH_USER_DATA_SIZE - FLASH_USER_DATA_KEPT);
    HAL_FLASH_Lock();
    return 0;
}

int flash_user_data_clear_trigger_data(void) {
    uint32_t backup[FLASH_USER_DATA_SIZE / 4];
    uint8_t *b = reinterpret_cast<uint8_t *>(backup);
    flash_user_data_backup(b, sizeof backup);
    if (flash_user_data_reset() != 0)
        return -1;
    HAL_FLASH_Unlock();
    flash_user_data_restore(b, FLASH_USER_DATA_KEPT, FLASH_USER_DATA_SIZE - FLASH_USER_DATA_KEPT);
    HAL_FLASH_Lock();
    return 0;
}

int flash_user_data_print_trigger_data(void) {
    UART5_Printf(FLASH_USER_DATA_TITLE);
    UART5_Printf(FLASH_USER_DATA_BATT_FORMAT, static_cast<int>(word_at(FLASH_USER_DATA_BATTERY)));
    UART5_Printf(FLASH_USER_DATA_TRIGGER_FORMAT,
                 static_cast<int>(word_at(FLASH_USER_DATA_TRIGGER)));
    for (uint32_t k = 0; k < FLASH_USER_DATA_SAMPLE_COUNT; ++k) {
        SENSORDATASTORE_ITEM item;
        const volatile uint8_t *src = area() + FLASH_USER_DATA_SAMPLES + k * sizeof item;
        uint8_t *dst = reinterpret_cast<uint8_t *>(&item);
        for (uint32_t i = 0; i < sizeof item; ++i) dst[i] = src[i];
        UART5_Printf(FLASH_USER_DATA_SAMPLE_FORMAT, item.num, item.accX, item.accY, item.accZ,
                     item.gyroX, item.gyroY, item.gyroZ);
    }
    return 0;
}

int flash_user_data_set_device_id(char *device_id) {
    if (std::memchr(device_id, 0, FLASH_USER_DATA_DEVICE_ID_SIZE) == nullptr)  // 16 or more
        return -1;
    return flash_user_data_write(FLASH_USER_DATA_DEVICE_ID, reinterpret_cast<uint8_t *>(device_id),
                                 FLASH_USER_DATA_DEVICE_ID_SIZE);
}

// The copy always ends in a NUL, whatever the flash holds.
int flash_user_data_get_device_id(char *device_id) {
    if (word_at(FLASH_USER_DATA_DEVICE_ID) == 0xFFFFFFFFu) {
        device_id[0] = '\0';
        return -1;
    }
    const volatile uint8_t *src = area() + FLASH_USER_DATA_DEVICE_ID;
    for (uint32_t i = 0; i < FLASH_USER_DATA_DEVICE_ID_SIZE; ++i)
        device_id[i] = static_cast<char>(src[i]);
    device_id[FLASH_USER_DATA_DEVICE_ID_SIZE - 1] = '\0';
    return 0;
}
