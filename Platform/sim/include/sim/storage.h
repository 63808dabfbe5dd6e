// Storage of the simulated board: the QUADSPI peripheral with the external NOR
// flash behind it, the internal flash at its address, and the RTC's backup domain,
// all kept in the board directory; plus the scenario's storage faults and power
// cut.
//
// Every program and erase of either flash goes through the storage rig: it counts
// the operations (a power cut can name the n-th one), decides the injected faults,
// and remembers each operation in progress with the cells it changes, so that a
// cut part-way through leaves them half done: a program a prefix of its bytes and
// the next byte with some of its bits cleared, an erase a seeded scatter of bits
// set. The full effect is stored at the start; a cut puts the old cells back and
// stores the partial effect instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenario.h"
#include "sim/board.h"

namespace sim {

class BoardDir;

// Creates the storage models on a fresh board: internal flash mapped at
// 0x08000000 and the system memory page with the flash-size register at
// 0x1FFF7000, QUADSPI with the NOR chip in the state the board directory kept, the
// RTC with its backup domain advanced by `unpowered_ns` (the time the board stayed
// without power before this run). False with a message when the board cannot be
// set up (the host address range of the internal flash is taken).
bool install_storage(Board &b, BoardDir &dir, const StoragePlan &plan, Time unpowered_ns,
                     std::string &error);

// The end of the run. Unless the board keeps its supply (standby, reset), the
// power goes: operations still in progress are left half done. Then the NOR
// chip's registers and the backup domain are saved in the board directory. False
// with a message when a file cannot be written.
bool storage_power_off(Board &b, Ending ending, std::string &error);

// The RTC's part of a backup domain reset (RCC_BDCR.BDRST): registers and
// calendar back to their reset values.
void rtc_backup_domain_reset();

// ---- for the storage models ---------------------------------------------------

// Deterministic bits for half-done cells: splitmix64, seeded per operation.
class CellNoise {
  public:
    explicit CellNoise(std::uint64_t seed) : s_(seed) {}
    std::uint64_t next();
    // A mask with each of the 8 bits set with probability ppm / 1e6.
    std::uint8_t bits(std::uint32_t ppm);

  private:
    std::uint64_t s_;
};

// Which image an operation changes.
enum class Memory : std::uint8_t { Nor, Intflash };

class StorageRig final : public Board::Model, public EventSink {
  public:
    explicit StorageRig(Board &b) : b_(b) {}

    void setup(BoardDir &dir, const StoragePlan &plan);
    BoardDir &dir() { return *dir_; }
    bool maximum_timing() const { return plan_.maximum_timing; }
    std::uint16_t flash_size_register() const { return plan_.flash_size_register; }

    // Operation faults: true when this operation is to fail (consumes one of a
    // counted fault). State faults: whether the fault is on now.
    bool take_fault(FaultKind kind);
    bool fault_on(FaultKind kind) const { return state_[static_cast<int>(kind)] != 0; }

    // An operation starts at `start` (now, or a moment ago when a bus transfer
    // ended while the core was busy elsewhere) and lasts `duration`: [addr, addr +
    // after.size()) of `memory` goes from its present content to `after`. The rig
    // stores `after` at once, counts the operation and, when the scenario cuts the
    // power during it, ends the run there with the cells half done. `failed`: an
    // injected fault, the cells stay as they are. Returns the operation's number
    // among its kind.
    std::uint32_t begin(StorageOp op, Memory memory, std::uint32_t addr,
                        const std::vector<std::uint8_t> &after, Time start, Time duration,
                        bool failed);

    // Power goes away now: operations still running are left half done and
    // traced. `cause` names why, for the trace.
    void interrupt_running(const char *cause);
    // The board keeps its supply: what runs completes.
    void complete_running() { running_.clear(); }

    void on_event(Time when, std::uint64_t tag) override;  // fault events, cuts
    std::string operation_counts() const;  // for the summary

  private:
    struct Running {
        StorageOp op;
        Memory memory;
        std::uint32_t addr;
        std::uint32_t number;       // among all operations, 1-based: seeds its noise
        std::uint32_t kind_number;  // among those of its kind
        Time start;
        Time end;
        std::vector<std::uint8_t> before;
        std::vector<std::uint8_t> after;
        bool failed;
    };
    void apply_fault(const FaultEvent &f);
    void store(Memory m, std::uint32_t addr, const std::vector<std::uint8_t> &bytes);
    void leave_half_done(const Running &r, std::uint32_t done_ppm);
    [[noreturn]] void cut(const std::string &cause);

    Board &b_;
    BoardDir *dir_ = nullptr;
    StoragePlan plan_;
    std::uint32_t state_[6] = {};  // per FaultKind: remaining count, kFaultAlways, or on
    std::uint32_t counts_[kStorageOpKinds] = {};
    std::uint32_t total_ = 0;
    std::vector<Running> running_;
    std::uint32_t cut_matches_ = 0;  // operations of the counted cut's kinds so far
    std::uint64_t cut_gen_ = 0;      // tag of the counted cut's event
    std::string cut_cause_;
};

StorageRig &storage_rig();

}  // namespace sim
