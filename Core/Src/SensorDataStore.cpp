// The sample ring.
#include "SensorDataStore.h"

int SensorDataStore_Init(SENSORDATASTORE *store) {
    store->wptr = 0;
    store->rptr = 0;
    return 0;
}

SENSORDATASTORE_ITEM *SensorDataStore_Get(SENSORDATASTORE *store) {
    return &store->buf[store->wptr];
}

int SensorDataStore_UpdatePointer(SENSORDATASTORE *store, int which) {
    volatile int &p = which == 0 ? store->wptr : store->rptr;
    p = p == SENSORDATASTORE_SIZE - 1 ? 0 : p + 1;
    return 0;
}

SENSORDATASTORE_ITEM *SensorDataStore_PopOnly(SENSORDATASTORE *store) {
    if (store->rptr == store->wptr)
        return nullptr;
    return &store->buf[store->rptr];
}
