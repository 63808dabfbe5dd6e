#pragma once
// User data in the last 4 KB (two 2 KB pages) of the internal flash: the trigger
// data of the last firing and the device identity. The area is rewritten as a
// whole (erase, program back), keeping what a rewrite does not change. Between the
// erase and the end of the rewrite the kept data lives only in a stack copy: a
// power cut in that window loses it (docs/flash-layout.md measures the window).
#include <cstdint>

// Layout, offsets from the area's start; little-endian words.
constexpr uint32_t FLASH_USER_DATA_SIZE = 4096;
constexpr uint32_t FLASH_USER_DATA_BATTERY = 0;   // g_battAdcVal at the snapshot
constexpr uint32_t FLASH_USER_DATA_TRIGGER = 8;   // trigger type
constexpr uint32_t FLASH_USER_DATA_SAMPLES = 16;  // 150 ring records of 16 bytes, oldest first
constexpr uint32_t FLASH_USER_DATA_SAMPLE_COUNT = 150;
constexpr uint32_t FLASH_USER_DATA_KEPT = 2416;       // from here on kept across snapshots
constexpr uint32_t FLASH_USER_DATA_DEVICE_ID = 3072;  // up to 15 characters, NUL-padded
constexpr uint32_t FLASH_USER_DATA_DEVICE_ID_SIZE = 16;

#define FLASH_USER_DATA_TITLE "LoadFlashData............\r\n"
#define FLASH_USER_DATA_BATT_FORMAT "batt=%d\r\n"
#define FLASH_USER_DATA_TRIGGER_FORMAT "Trigger=%d\r\n"
#define FLASH_USER_DATA_SAMPLE_FORMAT "%02d,%02d,%02d,%02d,%02d,%02d,%02d\r\n"

// Address of the area: the end of the flash as the flash-size register gives it.
uint32_t flash_user_data_address(void);

// Erases the area: 0, or -1 after "Eraser Error" on the console.
int flash_user_data_reset(void);
int flash_user_data_backup(uint8_t *buf, uint32_t len);
int flash_user_data_copy_data(uint32_t offset, uint32_t *data, int len);
int flash_user_data_restore(uint8_t *buf, uint32_t offset, uint32_t len);
int flash_user_data_write(int offset, uint8_t *data, int len);
// The trigger snapshot: 0, or -1 when the area would not erase (nothing written).
int flash_user_data_save_trigger_data(uint32_t trigger_type);
// Erases the trigger data and keeps the rest (the device identity): 0 or -1.
int flash_user_data_clear_trigger_data(void);
int flash_user_data_print_trigger_data(void);
int flash_user_data_set_device_id(char *device_id);
int flash_user_data_get_device_id(char *device_id);
