// Register models of the STM32L431's QUADSPI (indirect mode) and of its flash interface
// with the main flash array, as RM0394 describes them, for the host tests of the
// firmware's HAL additions. They are written from the same reading of the manual as the
// code under test, so they check the code against that reading, not against the chip;
// a first bring-up on a board confirms the reading itself (docs/bring-up.md).
#pragma once

#include <cstdint>
#include <vector>

#include "mmio_trap.h"

// QUADSPI registers at 0xA0001000: a 16-byte FIFO between the data register and a
// model flash chip, which moves one byte per status-register read (time passing for
// the peripheral is the firmware polling it).
class QspiModel final : public mmio::Device {
  public:
    static constexpr uint32_t kFifoSize = 16;

    void reset();
    uint32_t read(uint32_t offset, unsigned width) override;
    void write(uint32_t offset, unsigned width, uint32_t value) override;

    std::vector<uint8_t> chip_out;  // bytes the chip received, in bus order
    std::vector<uint8_t> chip_in;   // bytes the chip sends in a read, in bus order
    bool stuck = false;             // the chip stops moving bytes
    bool stalled_forever = false;   // an access that the bus would stall for ever

  private:
    enum class Mode { Idle, Write, Read };
    void start(Mode mode);
    void step();
    uint32_t status() const;
    uint32_t fmode() const;

    uint32_t regs_[8] = {};  // CR to ABR as written (SR and FCR are the flags below)
    uint32_t flags_ = 0;
    Mode mode_ = Mode::Idle;
    uint32_t remaining_ = 0;  // bytes of the data phase still to cross the bus
    size_t next_in_ = 0;
    std::vector<uint8_t> fifo_;
};

// Flash interface registers at 0x40022000 and the 256 KB main flash at 0x08000000
// (plus the flash-size word in system memory). Programming follows RM0394 3.3.7:
// with PG set, a first 32-bit word at a double-word address, then the second word,
// then BSY for a few status reads, then the unit is programmed (PROGERR if it was not
// erased). Errors as the manual lists them: PGSERR for a write without PG or with a
// previous programming error pending, SIZERR for a byte or half-word write, PGAERR for
// a second word outside the first word's unit or a first word off a double word.
// A first word left alone when PG is cleared is never programmed; the model flags
// PGSERR for it then (what the chip does here is for a bring-up to confirm). Page
// erase and the end-of-operation interrupt are not modelled: the additions use neither.
class FlashModel final : public mmio::Device {
  public:
    static constexpr uint32_t kSize = 256 * 1024;

    void reset();
    uint32_t read(uint32_t offset, unsigned width) override;
    void write(uint32_t offset, unsigned width, uint32_t value) override;

    // The array, as a device of its own at 0x08000000.
    class Array final : public mmio::Device {
      public:
        explicit Array(FlashModel &f) : f_(f) {}
        uint32_t read(uint32_t offset, unsigned width) override;
        void write(uint32_t offset, unsigned width, uint32_t value) override;

      private:
        FlashModel &f_;
    };
    Array array{*this};

    uint32_t word(uint32_t address) const;  // a programmed word, by bus address
    void set_word(uint32_t address, uint32_t value);

    uint32_t sr = 0;  // status flags (the firmware's view adds BSY)
    uint32_t cr = 0;
    uint32_t acr = 0;
    bool stuck_busy = false;
    int busy_reads = 3;  // status reads that see BSY after a unit starts

  private:
    void program_write(uint32_t offset, unsigned width, uint32_t value);
    void finish();

    std::vector<uint8_t> mem_;
    bool key1_seen_ = false;
    bool first_latched_ = false;
    uint32_t first_offset_ = 0, first_value_ = 0, second_value_ = 0;
    int busy_ = 0;
    bool programming_ = false;
};
