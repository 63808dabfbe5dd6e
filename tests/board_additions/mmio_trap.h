// Memory-mapped registers on the host, for running board code unchanged against a
// register model: the board's bus addresses are mapped here without access rights, so
// every load and store of the code under test faults; the fault handler asks the model
// for the value a load reads (placing it in memory), lets the one instruction run with
// the trap flag set, and hands the value a store wrote to the model. Every access is
// logged with its address, width and value, so a test sees the exact register sequence,
// access widths included (a half-word and a byte access to QUADSPI DR differ).
//
// x86-64 Linux only; the instruction decoder knows the moves, compares and
// read-modify-write forms compilers use for volatile accesses and stops the test on
// anything else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mmio {

// A peripheral's registers (or a memory array) behind a mapped range.
class Device {
  public:
    virtual ~Device() = default;
    virtual uint32_t read(uint32_t offset, unsigned width) = 0;
    virtual void write(uint32_t offset, unsigned width, uint32_t value) = 0;
};

struct Access {
    uintptr_t address;
    unsigned width;  // bytes
    bool write;
    uint32_t value;
};

// Maps [base, base + size) (page-aligned) for the device. Fails the process when the
// range cannot be mapped at that address.
void attach(uintptr_t base, size_t size, Device *device);

// The accesses since the last clear, in order.
const std::vector<Access> &log();
void clear_log();

}  // namespace mmio
