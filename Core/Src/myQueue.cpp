// The byte-pair queue between the phone-link receive interrupt and the main loop.
#include "myQueue.h"

#include <atomic>
#include <cstring>

MyQueue::MyQueue() : data{}, index_front(0), index_back(0) {}

// The entry is copied in before index_back moves, so the consumer never sees a
// slot that is still being filled.
void MyQueue::push(char *x) {
    const uint32_t back = index_back;
    std::memcpy(data[back], x, kEntryBytes);
    std::atomic_signal_fence(std::memory_order_release);
    index_back = (back + 1) % kSlots;
}

void MyQueue::pop(char *x) {
    const uint32_t front = index_front;
    std::atomic_signal_fence(std::memory_order_acquire);
    std::memcpy(x, data[front], kEntryBytes);
    index_front = (front + 1) % kSlots;
}

int MyQueue::size() {
    return static_cast<int>((index_back + kSlots - index_front) % kSlots);
}
