// The external NOR flash: a 256 Mbit W25Q-family chip (W25Q256JV) behind the
// QUADSPI, with the command set the firmware's driver uses. The array lives in the
// board directory's nor.img; the status register bits that the chip keeps without
// power, and the volatile state when the chip keeps its supply across a standby,
// in nor-state.txt.
//
// What the chip does, as its datasheet has it:
// - while BUSY (a program, an erase or a status register write in progress) it
//   ignores every instruction but the status register reads;
// - in power-down it ignores every instruction but the release (0xAB);
// - programs, erases and status register writes need the write enable latch,
//   which they clear when they end; without it they are ignored;
// - programming only clears bits; a page program wraps within its 256-byte page;
// - 4-byte address mode (ADS) is entered and left with 0xB7 / 0xE9; at power-up it
//   is ADP; the quad commands need QE.
// Anything the chip would ignore, and any opcode outside the driver's set, is
// traced as "nor_ignored" with the reason, and a read then sees undriven lines
// (0x00, the same as a missing chip).
#include <algorithm>
#include <string>
#include <vector>

#include "board_dir.h"
#include "sim/storage_models.h"

namespace sim {

namespace {

// W25Q256JV datasheet, AC electrical characteristics: typical and maximum busy times.
constexpr Time kPageProgramTyp = 700000;       // tPP 0.7 ms
constexpr Time kPageProgramMax = 3000000;      // tPP 3 ms
constexpr Time kSectorEraseTyp = 50000000;     // tSE (4 KB) 50 ms
constexpr Time kSectorEraseMax = 400000000;    // tSE 400 ms
constexpr Time kBlock32EraseTyp = 120000000;   // tBE1 (32 KB) 120 ms
constexpr Time kBlock32EraseMax = 1600000000;  // tBE1 1.6 s
constexpr Time kBlock64EraseTyp = 150000000;   // tBE2 (64 KB) 150 ms
constexpr Time kBlock64EraseMax = 2000000000;  // tBE2 2 s
constexpr Time kStatusWriteTyp = 10000000;     // tW 10 ms
constexpr Time kStatusWriteMax = 15000000;     // tW 15 ms
constexpr Time kReleaseTime = 3000;            // tRES1: release from power-down, 3 us
constexpr std::uint8_t kDeviceId = 0x18;       // Release power-down / device ID (0xAB)

constexpr std::uint32_t kChipSize = BoardDir::kNorSize;
constexpr std::uint32_t kPageSize = 256;

constexpr std::uint8_t kBusy = 0x01;            // status 1
constexpr std::uint8_t kWel = 0x02;             // status 1
constexpr std::uint8_t kBpBits = 0x3C;          // status 1: BP3..BP0
constexpr std::uint8_t kQe = 0x02;              // status 2
constexpr std::uint8_t kSrl = 0x01;             // status 2: status register lock
constexpr std::uint8_t kOtpBits = 0x38 | kSrl;  // status 2: LB3..LB1 and SRL, never cleared
constexpr std::uint8_t kAds = 0x01;             // status 3

class NorChip final : public Board::Model {
  public:
    explicit NorChip(Board &b) : b_(b) {}

    void install(StorageRig &rig) {
        rig_ = &rig;
        const NorState &s = rig.dir().nor_state();
        status_[0] = s.status1;
        status_[1] = s.status2;
        status_[2] = s.status3;
        four_byte_ = s.four_byte;
        wel_ = s.write_enable;
        power_down_ = s.power_down;
    }

    NorState state(bool supply_kept) {
        // What is still running completes only if the chip keeps its supply: a
        // status register write takes effect and the latch clears.
        if (supply_kept)
            busy_until_ = std::min(busy_until_, b_.now());
        settle(b_.now());
        pending_reg_ = -1;  // a status write the power interrupted is lost
        NorState s;
        s.status1 = status_[0];
        s.status2 = status_[1];
        s.status3 = status_[2];
        s.four_byte = four_byte_;
        s.write_enable = wel_;
        s.power_down = power_down_;
        if (!supply_kept)
            s.power_up();
        return s;
    }

    void frame(const QspiFrame &f, const std::uint8_t *tx, std::uint8_t *rx, Time at) {
        if (f.read)
            std::fill(rx, rx + f.nbytes, std::uint8_t{0});  // undriven lines
        settle(at);
        if (rig_->fault_on(FaultKind::NorMissing))
            return;  // nobody on the bus; the fault is in the trace once
        const std::uint8_t op = f.instruction;
        if (!f.has_instruction)
            return ignored(f, at, "a frame without instruction");
        if (power_down_ && op != 0xAB)
            return ignored(f, at, "the chip is in power-down (only 0xAB releases it)");
        if (at < ready_at_)
            return ignored(f, at, "the chip is still leaving power-down (tRES1 3 us)");
        const bool busy = rig_->fault_on(FaultKind::NorStuckBusy) || at < busy_until_;
        const bool status_read = op == 0x05 || op == 0x35 || op == 0x15;
        if (busy && !status_read)
            return ignored(f, at, "the chip is busy");
        switch (op) {
            case 0x05:
            case 0x35:
            case 0x15: {
                if (!shape(f, 0, 0, 1, true))
                    return ignored(f, at, "not the frame of a status register read");
                const int reg = op == 0x05 ? 0 : op == 0x35 ? 1 : 2;
                std::uint8_t v = status_[reg];
                if (reg == 0)
                    v = static_cast<std::uint8_t>(v | (busy ? kBusy : 0) | (wel_ ? kWel : 0));
                if (reg == 2 && four_byte_)
                    v = static_cast<std::uint8_t>(v | kAds);
                std::fill(rx, rx + f.nbytes, v);
                return;
            }
            case 0x01:
            case 0x31:
            case 0x11:
                return write_status(f, tx, at, op == 0x01 ? 0 : op == 0x31 ? 1 : 2);
            case 0x06:
            case 0x04:
                if (!shape(f, 0, 0, 0, false))
                    return ignored(f, at, "not the frame of a write enable / disable");
                wel_ = op == 0x06;
                return;
            case 0xB7:
            case 0xE9:
                if (!shape(f, 0, 0, 0, false))
                    return ignored(f, at, "not the frame of an address mode change");
                set_mode(op == 0xB7, power_down_, at);
                return;
            case 0xB9:
                if (!shape(f, 0, 0, 0, false))
                    return ignored(f, at, "not the frame of a power-down");
                set_mode(four_byte_, true, at);
                return;
            case 0xAB:
                return release(f, rx, at);
            case 0xEC:
                return read_quad(f, rx, at);
            case 0x34:
                return program(f, tx, at);
            case 0x21:
                return erase(f, at, 32, 4096, StorageOp::NorErase);
            case 0x52:
                return erase(f, at, four_byte_ ? 32 : 24, 32768, StorageOp::NorErase);
            case 0xDC:
                return erase(f, at, 32, 65536, StorageOp::NorErase);
            default:
                return ignored(f, at, "an opcode outside the driver's command set");
        }
    }

  private:
    // The frame has exactly these phases: instruction on one line, `addr_bits` of
    // address on one line (0: none), no alternate bytes, no dummy cycles, and a
    // one-line data phase when `data` is set.
    static bool shape(const QspiFrame &f, unsigned addr_bits, unsigned addr_lines,
                      unsigned data_lines, bool read) {
        return f.instruction_lines == 1 && f.address_bits == addr_bits &&
               (addr_bits == 0 || f.address_lines == addr_lines) && f.alternate_bits == 0 &&
               f.dummy_cycles == 0 && f.data_lines == data_lines &&
               (data_lines == 0 || (f.read == read && f.nbytes > 0));
    }

    Time busy_time(Time typ, Time max) const { return rig_->maximum_timing() ? max : typ; }

    // A program, erase or status write that has run its time ends: the latch
    // clears and a written status value takes effect.
    void settle(Time at) {
        if (at < busy_until_)
            return;
        if (pending_reg_ >= 0)
            commit_status();
        if (clear_wel_at_end_) {
            wel_ = false;
            clear_wel_at_end_ = false;
        }
    }

    void commit_status() {
        status_[pending_reg_] = pending_value_;
        pending_reg_ = -1;
    }

    void start_busy(Time at, Time duration) {
        busy_until_ = at + duration;
        clear_wel_at_end_ = true;
    }

    void ignored(const QspiFrame &f, Time at, const char *why) {
        if (b_.trace().enabled())
            b_.trace()
                .begin(at, "nor_ignored")
                .field("opcode", f.instruction)
                .field("why", why)
                .end();
    }

    void set_mode(bool four_byte, bool power_down, Time at) {
        if (four_byte == four_byte_ && power_down == power_down_)
            return;
        four_byte_ = four_byte;
        power_down_ = power_down;
        if (b_.trace().enabled())
            b_.trace()
                .begin(at, "nor_mode")
                .field("address_bytes", four_byte ? 4u : 3u)
                .field_bool("power_down", power_down)
                .end();
    }

    void write_status(const QspiFrame &f, const std::uint8_t *tx, Time at, int reg) {
        if (!shape(f, 0, 0, 1, false) || f.nbytes != 1)
            return ignored(f, at, "not the frame of a one-byte status register write");
        if (!wel_)
            return ignored(f, at, "write enable latch not set");
        if (status_[1] & kSrl)
            return ignored(f, at, "status registers locked (SRL)");
        const std::uint8_t kept[3] = {NorState::kStatus1Bits, NorState::kStatus2Bits,
                                      NorState::kStatus3Bits};
        std::uint8_t v = static_cast<std::uint8_t>(tx[0] & kept[reg]);
        if (reg == 1)
            v = static_cast<std::uint8_t>(v | (status_[1] & kOtpBits));  // one-time bits stay set
        pending_reg_ = reg;
        pending_value_ = v;
        const Time busy = busy_time(kStatusWriteTyp, kStatusWriteMax);
        start_busy(at, busy);
        if (b_.trace().enabled())
            b_.trace()
                .begin(at, "nor_status_write")
                .field("register", static_cast<std::uint64_t>(reg + 1))
                .field("value", v)
                .field("busy_ns", busy)
                .end();
    }

    void release(const QspiFrame &f, std::uint8_t *rx, Time at) {
        const bool plain = shape(f, 0, 0, 0, false);
        const bool with_id = shape(f, 24, 1, 1, true);
        if (!plain && !with_id)
            return ignored(f, at, "not the frame of a release from power-down / device ID");
        if (power_down_) {
            set_mode(four_byte_, false, at);
            ready_at_ = at + kReleaseTime;
        }
        if (with_id)
            std::fill(rx, rx + f.nbytes, kDeviceId);
    }

    void read_quad(const QspiFrame &f, std::uint8_t *rx, Time at) {
        // Fast read quad I/O with 4-byte address: address on four lines, two
        // cycles of mode bits and four dummy cycles (six in all), data on four.
        if (f.instruction_lines != 1 || f.address_bits != 32 || f.address_lines != 4 ||
            f.alternate_bits != 0 || f.dummy_cycles != 6 || f.data_lines != 4 || !f.read)
            return ignored(f, at, "not the frame of a fast read quad I/O (0xEC)");
        if (!(status_[1] & kQe))
            return ignored(f, at, "quad command while the quad enable bit (QE) is 0");
        const BoardDir &dir = rig_->dir();
        for (std::uint32_t i = 0; i < f.nbytes; ++i)
            rx[i] = dir.nor_get((f.address + i) % kChipSize);  // reads wrap at the chip's end
    }

    void program(const QspiFrame &f, const std::uint8_t *tx, Time at) {
        if (f.instruction_lines != 1 || f.address_bits != 32 || f.address_lines != 1 ||
            f.alternate_bits != 0 || f.dummy_cycles != 0 || f.data_lines != 4 || f.read ||
            f.nbytes == 0)
            return ignored(f, at, "not the frame of a quad input page program (0x34)");
        if (!(status_[1] & kQe))
            return ignored(f, at, "quad command while the quad enable bit (QE) is 0");
        if (!wel_)
            return ignored(f, at, "write enable latch not set");
        check_protection();
        const std::uint32_t addr = f.address % kChipSize;
        const std::uint32_t page = addr - addr % kPageSize;
        const std::uint32_t offset = addr % kPageSize;
        // The data goes into the page latch at the address's offset and wraps within
        // the page; bytes past 256 overwrite the first ones.
        std::uint32_t first = addr;
        std::uint32_t len = f.nbytes;
        std::vector<std::uint8_t> latch;
        if (offset + f.nbytes <= kPageSize) {
            latch.assign(tx, tx + f.nbytes);
        } else {
            first = page;
            len = kPageSize;
            latch.assign(kPageSize, 0xFF);
            for (std::uint32_t i = 0; i < f.nbytes; ++i) latch[(offset + i) % kPageSize] = tx[i];
        }
        std::vector<std::uint8_t> after(len);
        rig_->dir().nor_read(first, after.data(), len);
        for (std::uint32_t i = 0; i < len; ++i)
            after[i] = static_cast<std::uint8_t>(after[i] & latch[i]);
        const bool failed = rig_->take_fault(FaultKind::NorProgram);
        const Time busy = busy_time(kPageProgramTyp, kPageProgramMax);
        start_busy(at, busy);
        if (b_.trace().enabled())
            b_.trace()
                .begin(at, "nor_program")
                .field("addr", first)
                .field("len", len)
                .field("busy_ns", busy)
                .field("result", failed ? "failed (fault)" : "ok")
                .end();
        rig_->begin(StorageOp::NorProgram, Memory::Nor, first, after, at, busy, failed);
    }

    void erase(const QspiFrame &f, Time at, unsigned addr_bits, std::uint32_t size, StorageOp op) {
        if (!shape(f, addr_bits, 1, 0, false))
            return ignored(f, at,
                           addr_bits == 24 ? "not the frame of an erase in 3-byte address mode"
                                           : "not the frame of an erase with a 4-byte address");
        if (!wel_)
            return ignored(f, at, "write enable latch not set");
        check_protection();
        const std::uint32_t addr = (f.address % kChipSize) & ~(size - 1);
        const bool failed = rig_->take_fault(FaultKind::NorErase);
        const Time busy = size == 4096    ? busy_time(kSectorEraseTyp, kSectorEraseMax)
                          : size == 32768 ? busy_time(kBlock32EraseTyp, kBlock32EraseMax)
                                          : busy_time(kBlock64EraseTyp, kBlock64EraseMax);
        start_busy(at, busy);
        if (b_.trace().enabled())
            b_.trace()
                .begin(at, "nor_erase")
                .field("addr", addr)
                .field("size", size)
                .field("busy_ns", busy)
                .field("result", failed ? "failed (fault)" : "ok")
                .end();
        rig_->begin(op, Memory::Nor, addr, std::vector<std::uint8_t>(size, 0xFF), at, busy, failed);
    }

    void check_protection() {
        if (status_[0] & kBpBits)
            b_.halt("NOR block protection (BP bits set in status register 1) is not modelled");
    }

    Board &b_;
    StorageRig *rig_ = nullptr;
    std::uint8_t status_[3] = {0, 0, 0x60};  // non-volatile bits
    bool four_byte_ = false;
    bool wel_ = false;
    bool power_down_ = false;
    Time busy_until_ = 0;
    Time ready_at_ = 0;
    bool clear_wel_at_end_ = false;
    int pending_reg_ = -1;  // a status register write waiting for its end
    std::uint8_t pending_value_ = 0;
};

}  // namespace

void install_nor(Board &b, StorageRig &rig) {
    b.model<NorChip>().install(rig);
    install_qspi(b);
}

void nor_frame(const QspiFrame &f, const std::uint8_t *tx, std::uint8_t *rx, Time at) {
    board().model<NorChip>().frame(f, tx, rx, at);
}

bool nor_save(Board &b, bool supply_kept, std::string &error) {
    return storage_rig().dir().save_nor_state(b.model<NorChip>().state(supply_kept), error);
}

}  // namespace sim
