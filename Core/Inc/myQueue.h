#pragma once
// A fixed ring of 100 slots of 32 bytes carrying 16-byte entries from one producer
// (an interrupt) to one consumer (the main loop), without a lock: the producer
// alone moves index_back, the consumer alone index_front. There is no full check:
// the 100th entry pushed without a pop makes the queue read as empty again.
#include <cstdint>

class MyQueue {
  public:
    static constexpr uint32_t kSlots = 100;
    static constexpr uint32_t kSlotBytes = 32;
    static constexpr uint32_t kEntryBytes = 16;

    MyQueue();
    // Copies 16 bytes from x into the next slot.
    void push(char *x);
    // Copies the oldest entry's 16 bytes to x; only while size() > 0.
    void pop(char *x);
    // Entries waiting, 0..99.
    int size();

  private:
    char data[kSlots][kSlotBytes];
    volatile uint32_t index_front;  // next slot to pop
    volatile uint32_t index_back;   // next slot to push
};
