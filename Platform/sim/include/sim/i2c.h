// I2C1, I2C2 and I2C3 of the simulated chip as bus masters, with the vendor HAL's
// blocking transfers, and the devices on their buses.
//
// A transfer runs bit period by bit period as the timing register says: one bit
// period is (PRESC + 1)(SCLL + 1 + SCLH + 1) kernel clocks plus the two
// synchronisation delays of the reference manual (3 + DNF kernel clocks each, and
// the analog filter's 50 ns each when it is on). A START, a repeated START and a
// STOP take one bit period each, a byte with its acknowledge nine. Devices answer
// byte by byte at the instant of each byte's acknowledge.
#pragma once

#include <cstdint>

#include "sim/board.h"

namespace sim {

// Something on a bus, at one 7-bit address.
class I2cDevice {
  public:
    virtual ~I2cDevice() = default;
    // A START or repeated START addressed to the device ends at `t`: true = ACK.
    virtual bool address(Time t, bool read) = 0;
    // A byte written by the master: true = ACK.
    virtual bool write(Time t, std::uint8_t byte) = 0;
    // The next byte the master reads.
    virtual std::uint8_t read(Time t) = 0;
    // A STOP (or the master gave up on the transfer).
    virtual void stop(Time t) { (void)t; }
};

// `bus` 1..3 (I2C1..I2C3); the device must outlive the board.
void i2c_attach(int bus, std::uint8_t address7, I2cDevice *device);

// A device holds the data line low from `on` until `off` (kNever: to the end): the
// bus stays busy, a transfer in progress stalls, and no START can be made.
void i2c_stuck_interval(int bus, Time on, Time off);

}  // namespace sim
