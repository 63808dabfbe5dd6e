#pragma once
// The ring of 150 motion samples between the sensor tick (writer) and the
// sensor-data log (reader). Empty when wptr equals rptr, so at most 149 samples are
// pending; when the log falls that far behind, the next commit drops the oldest
// pending sample and counts it. Both sides run in the tick; the main loop's trigger
// save reads it.
#include <cstdint>

constexpr int SENSORDATASTORE_SIZE = 150;

typedef struct {
    int16_t num;  // sequence stamp
    int16_t accX;
    int16_t accY;
    int16_t accZ;
    int16_t gyroX;
    int16_t gyroY;
    int16_t gyroZ;
    int16_t reserved;
} SENSORDATASTORE_ITEM;

typedef struct {
    volatile int wptr;          // next slot to fill
    volatile int rptr;          // oldest slot not yet logged
    volatile uint32_t dropped;  // samples dropped unlogged because the ring was full
    SENSORDATASTORE_ITEM buf[SENSORDATASTORE_SIZE];
} SENSORDATASTORE;

int SensorDataStore_Init(SENSORDATASTORE *store);
SENSORDATASTORE_ITEM *SensorDataStore_Get(SENSORDATASTORE *store);
// which 0: the write position (commits the slot at wptr); otherwise the read position.
int SensorDataStore_UpdatePointer(SENSORDATASTORE *store, int which);
// The oldest sample not yet logged, or null when there is none; does not advance.
SENSORDATASTORE_ITEM *SensorDataStore_PopOnly(SENSORDATASTORE *store);
