// The sample ring.
#include "SensorDataStore.h"

int SensorDataStore_Init(SENSORDATASTORE *store) {
    store->wptr = 0;
    store->rptr = 0;
    store->dropped = 0;
    return 0;
}

namespace {

int next(int index) {
    return index == SENSORDATASTORE_SIZE - 1 ? 0 : index + 1;
}

}  // namespace

SENSORDATASTORE_ITEM *SensorDataStore_Get(SENSORDATASTORE *store) {
    return &store->buf[store->wptr];
}

// A commit that would make the write position meet the read position would leave
// the ring reading as empty and lose every pending sample at once; the oldest one
// alone is given up instead, and counted.
int SensorDataStore_UpdatePointer(SENSORDATASTORE *store, int which) {
    if (which != 0) {
        store->rptr = next(store->rptr);
        return 0;
    }
    const int w = next(store->wptr);
    if (w == store->rptr) {
        store->rptr = next(store->rptr);
        store->dropped = store->dropped + 1;
    }
    store->wptr = w;
    return 0;
}

SENSORDATASTORE_ITEM *SensorDataStore_PopOnly(SENSORDATASTORE *store) {
    if (store->rptr == store->wptr)
        return nullptr;
    return &store->buf[store->rptr];
}
