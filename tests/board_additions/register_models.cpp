// Register models of QUADSPI and of the flash interface (see register_models.h).
#include "register_models.h"

namespace {

// QUADSPI register offsets and bits (RM0394, QUADSPI registers).
constexpr uint32_t kCR = 0x00, kSR = 0x08, kFCR = 0x0C, kDLR = 0x10, kCCR = 0x14, kAR = 0x18,
                   kDR = 0x20;
constexpr uint32_t kTCF = 1u << 1, kFTF = 1u << 2, kBUSY = 1u << 5;
constexpr uint32_t kFmodeShift = 26, kAdmodeShift = 10;

// Flash interface register offsets and bits (RM0394, FLASH registers).
constexpr uint32_t kACR = 0x00, kKEYR = 0x08, kFSR = 0x10, kFCRr = 0x14;
constexpr uint32_t kPROGERR = 1u << 3, kPGAERR = 1u << 5, kSIZERR = 1u << 6, kPGSERR = 1u << 7,
                   kFBSY = 1u << 16;
constexpr uint32_t kFlagsW1C = 0x0000C3FBu;  // EOP, OPERR, PROGERR..FASTERR, RDERR, OPTVERR
constexpr uint32_t kProgrammingErrors = 0x000003E8u;  // PROGERR..FASTERR
constexpr uint32_t kPG = 1u << 0, kLOCK = 1u << 31;
constexpr uint32_t kKey1 = 0x45670123u, kKey2 = 0xCDEF89ABu;

}  // namespace

// ---- QUADSPI --------------------------------------------------------------------------

void QspiModel::reset() {
    *this = QspiModel{};
}

uint32_t QspiModel::fmode() const {
    return (regs_[kCCR / 4] >> kFmodeShift) & 3u;
}

uint32_t QspiModel::status() const {
    const uint32_t level = static_cast<uint32_t>(fifo_.size());
    const uint32_t threshold = ((regs_[kCR / 4] >> 8) & 0xFu) + 1u;
    // FTF follows the FIFO in the functional mode CCR selects, whether or not a transfer
    // runs: in indirect write it is set while there is room for FTHRES + 1 bytes, in
    // indirect read while FTHRES + 1 bytes (or the last ones) are there to read.
    bool ft = false;
    if (fmode() == 0)
        ft = kFifoSize - level >= threshold;
    else if (fmode() == 1)
        ft = level >= threshold || (remaining_ == 0 && level > 0 && mode_ == Mode::Read);
    return flags_ | (ft ? kFTF : 0u) | (mode_ != Mode::Idle ? kBUSY : 0u) | (level << 8);
}

void QspiModel::start(Mode mode) {
    mode_ = mode;
    remaining_ = regs_[kDLR / 4] + 1u;
    fifo_.clear();
    next_in_ = 0;
}

// One byte crosses the bus, if the chip moves.
void QspiModel::step() {
    if (stuck || mode_ == Mode::Idle)
        return;
    if (mode_ == Mode::Write && !fifo_.empty() && remaining_ > 0) {
        chip_out.push_back(fifo_.front());
        fifo_.erase(fifo_.begin());
        --remaining_;
    } else if (mode_ == Mode::Read && remaining_ > 0 && fifo_.size() < kFifoSize) {
        fifo_.push_back(next_in_ < chip_in.size() ? chip_in[next_in_] : 0xFFu);
        ++next_in_;
        --remaining_;
    }
    if (remaining_ == 0) {
        flags_ |= kTCF;
        if (mode_ == Mode::Write || fifo_.empty())
            mode_ = Mode::Idle;
    }
}

uint32_t QspiModel::read(uint32_t offset, unsigned width) {
    if (offset == kSR) {
        const uint32_t s = status();
        step();
        return s;
    }
    if (offset != kDR)
        return offset < kDR ? regs_[offset / 4] : 0u;
    // A data read takes `width` bytes, stalling until they are there or the transfer ends.
    while (fifo_.size() < width && mode_ == Mode::Read && remaining_ > 0 && !stuck) step();
    if (fifo_.size() < width && mode_ == Mode::Read && remaining_ > 0)
        stalled_forever = true;
    uint32_t value = 0;
    for (unsigned i = 0; i < width && !fifo_.empty(); ++i) {
        value |= static_cast<uint32_t>(fifo_.front()) << (8 * i);
        fifo_.erase(fifo_.begin());
    }
    if (mode_ == Mode::Read && remaining_ == 0 && fifo_.empty())
        mode_ = Mode::Idle;
    return value;
}

void QspiModel::write(uint32_t offset, unsigned width, uint32_t value) {
    if (offset == kFCR) {
        flags_ &= ~(value & 0x1Bu);  // CTEF, CTCF, CSMF, CTOF
    } else if (offset == kDR) {
        if (mode_ == Mode::Idle && fmode() == 0)
            start(Mode::Write);
        // A data write puts `width` bytes in the FIFO, stalling until there is room.
        while (kFifoSize - fifo_.size() < width && !stuck) step();
        if (kFifoSize - fifo_.size() < width) {
            stalled_forever = true;
            return;
        }
        for (unsigned i = 0; i < width; ++i)
            fifo_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    } else if (offset < kDR && offset != kSR) {
        regs_[offset / 4] = value;
        const bool address = ((regs_[kCCR / 4] >> kAdmodeShift) & 3u) != 0;
        // Indirect read starts with CCR unless it waits for the address, then with AR;
        // indirect write starts with the first data (every command here has a data phase).
        if ((offset == kCCR && fmode() == 1 && !address) || (offset == kAR && fmode() == 1))
            start(Mode::Read);
    }
}

// ---- Flash --------------------------------------------------------------------------

void FlashModel::reset() {
    sr = 0;
    cr = kLOCK | (1u << 30);  // LOCK and OPTLOCK after reset
    acr = 0;
    stuck_busy = false;
    busy_reads = 3;
    mem_.assign(kSize, 0xFFu);
    key1_seen_ = false;
    first_latched_ = false;
    busy_ = 0;
    programming_ = false;
}

uint32_t FlashModel::word(uint32_t address) const {
    const uint32_t o = address - 0x08000000u;
    return mem_[o] | (mem_[o + 1] << 8) | (mem_[o + 2] << 16) |
           (static_cast<uint32_t>(mem_[o + 3]) << 24);
}

void FlashModel::set_word(uint32_t address, uint32_t value) {
    const uint32_t o = address - 0x08000000u;
    for (int i = 0; i < 4; ++i) mem_[o + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The unit is programmed once BSY has been seen for its reads: only if it was erased
// (or is programmed to all zeros).
void FlashModel::finish() {
    const uint32_t first = 0x08000000u + first_offset_;
    const bool erased = word(first) == 0xFFFFFFFFu && word(first + 4) == 0xFFFFFFFFu;
    if (!erased && (first_value_ != 0 || second_value_ != 0)) {
        sr |= kPROGERR;
    } else {
        set_word(first, first_value_);
        set_word(first + 4, second_value_);
    }
    programming_ = false;
}

uint32_t FlashModel::read(uint32_t offset, unsigned) {
    if (offset == kACR)
        return acr;
    if (offset == kFCRr)
        return cr;
    if (offset != kFSR)
        return 0;
    const bool busy = programming_;
    if (busy && !stuck_busy && --busy_ <= 0)
        finish();
    return sr | (busy ? kFBSY : 0u);
}

void FlashModel::write(uint32_t offset, unsigned, uint32_t value) {
    if (offset == kACR) {
        acr = value;
    } else if (offset == kKEYR) {
        if (key1_seen_ && value == kKey2)  // the two keys in order unlock CR
            cr &= ~kLOCK;
        key1_seen_ = value == kKey1;
    } else if (offset == kFSR) {
        sr &= ~(value & kFlagsW1C);
    } else if (offset == kFCRr && !(cr & kLOCK)) {  // CR does not change while locked
        if ((cr & kPG) && !(value & kPG) && first_latched_) {
            first_latched_ = false;  // half a unit is never programmed, and flagged
            sr |= kPGSERR;
        }
        cr = value;
    }
}

void FlashModel::program_write(uint32_t offset, unsigned width, uint32_t value) {
    if (!(cr & kPG) || (cr & kLOCK) || (sr & kProgrammingErrors)) {
        sr |= kPGSERR;
        return;
    }
    if (width != 4) {
        sr |= kSIZERR | kPGSERR;
        return;
    }
    if (!first_latched_) {
        if (offset % 8 != 0) {
            sr |= kPGAERR;
            return;
        }
        first_latched_ = true;
        first_offset_ = offset;
        first_value_ = value;
        return;
    }
    first_latched_ = false;
    if (offset != first_offset_ + 4) {
        sr |= kPGAERR;
        return;
    }
    second_value_ = value;
    programming_ = true;
    busy_ = busy_reads;
}

uint32_t FlashModel::Array::read(uint32_t offset, unsigned width) {
    uint32_t v = 0;
    for (unsigned i = 0; i < width && i < 4; ++i)
        v |= static_cast<uint32_t>(f_.mem_[offset + i]) << (8 * i);
    return v;
}

void FlashModel::Array::write(uint32_t offset, unsigned width, uint32_t value) {
    f_.program_write(offset, width, value);
}
