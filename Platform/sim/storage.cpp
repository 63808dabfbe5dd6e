// The storage rig: faults, operation counting, power cuts and half-done cells
// (see sim/storage.h), and the installation and power-off of the storage models.
#include "sim/storage.h"

#include <cstdio>

#include "board_dir.h"
#include "sim/storage_models.h"

namespace sim {

namespace {

constexpr std::uint64_t kTimedCutTag = 1ULL << 62;
constexpr std::uint64_t kCountedCutTag = 1ULL << 61;
constexpr std::uint32_t kMillion = 1000000;

std::string percent(std::uint32_t ppm) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%04u%%", ppm / 10000u, ppm % 10000u);
    std::string s = buf;
    while (s[s.size() - 2] == '0') s.erase(s.size() - 2, 1);  // 37.5000% -> 37.5%
    if (s[s.size() - 2] == '.')
        s.erase(s.size() - 2, 1);
    return s;
}

std::uint8_t op_bit(StorageOp op) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(op));
}

bool is_erase(StorageOp op) {
    return op == StorageOp::NorErase || op == StorageOp::IntflashErase;
}

}  // namespace

std::uint64_t CellNoise::next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint8_t CellNoise::bits(std::uint32_t ppm) {
    // Eight 8-bit draws from one 64-bit number: probability ppm / 1e6 to within
    // 1/256, which is all a scatter of half-erased cells needs.
    const std::uint64_t r = next();
    const std::uint32_t threshold =
        static_cast<std::uint32_t>((std::uint64_t{ppm} * 256) / kMillion);
    std::uint8_t m = 0;
    for (int i = 0; i < 8; ++i) {
        if (((r >> (8 * i)) & 0xFF) < threshold)
            m = static_cast<std::uint8_t>(m | (1u << i));
    }
    return m;
}

StorageRig &storage_rig() {
    return board().model<StorageRig>();
}

void StorageRig::setup(BoardDir &dir, const StoragePlan &plan) {
    dir_ = &dir;
    plan_ = plan;
    // Faults from power-up hold before the firmware's first instruction; later
    // ones take effect at their instant, in file order at equal times.
    for (std::size_t i = 0; i < plan_.faults.size(); ++i) {
        if (plan_.faults[i].at_ns == 0)
            apply_fault(plan_.faults[i]);
        else
            b_.sched().schedule(plan_.faults[i].at_ns, this, i);
    }
    if (plan_.cut.set && plan_.cut.timed)
        b_.sched().schedule(plan_.cut.at_ns, this, kTimedCutTag);
}

void StorageRig::apply_fault(const FaultEvent &f) {
    state_[static_cast<int>(f.kind)] = f.count;
    if (b_.trace().enabled()) {
        const bool state_fault =
            f.kind == FaultKind::NorStuckBusy || f.kind == FaultKind::NorMissing;
        const std::string how = f.count == 0              ? "off"
                                : state_fault             ? "on"
                                : f.count == kFaultAlways ? "always"
                                                          : std::to_string(f.count);
        b_.trace()
            .begin(b_.now(), "storage_fault")
            .field("fault", fault_kind_name(f.kind))
            .field("count", how)
            .end();
    }
}

bool StorageRig::take_fault(FaultKind kind) {
    std::uint32_t &left = state_[static_cast<int>(kind)];
    if (left == 0)
        return false;
    if (left != kFaultAlways)
        --left;
    return true;
}

void StorageRig::on_event(Time, std::uint64_t tag) {
    if (tag == kTimedCutTag) {
        cut("at " + format_seconds(b_.now()));
    } else if (tag & kCountedCutTag) {
        if ((tag & ~kCountedCutTag) == cut_gen_)
            cut(cut_cause_);
    } else if (tag < plan_.faults.size()) {
        apply_fault(plan_.faults[tag]);
    }
}

void StorageRig::store(Memory m, std::uint32_t addr, const std::vector<std::uint8_t> &bytes) {
    if (m == Memory::Nor) {
        std::uint8_t *raw = dir_->nor_raw() + addr;  // stored inverted
        for (std::size_t i = 0; i < bytes.size(); ++i)
            raw[i] = static_cast<std::uint8_t>(~bytes[i]);
    } else {
        std::uint8_t *p = dir_->intflash() + addr;
        for (std::size_t i = 0; i < bytes.size(); ++i) p[i] = bytes[i];
    }
}

std::uint32_t StorageRig::begin(StorageOp op, Memory memory, std::uint32_t addr,
                                const std::vector<std::uint8_t> &after, Time start, Time duration,
                                bool failed) {
    const Time now = start;
    // Operations that have ended no longer need their old cells.
    for (std::size_t i = 0; i < running_.size();) {
        if (running_[i].end <= now)
            running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    const std::uint32_t number = ++counts_[static_cast<int>(op)];
    ++total_;
    Running r{op, memory, addr, total_, number, now, now + duration, {}, {}, failed};
    r.before.resize(after.size());
    if (memory == Memory::Nor) {
        dir_->nor_read(addr, r.before.data(), r.before.size());
    } else {
        for (std::size_t i = 0; i < after.size(); ++i) r.before[i] = dir_->intflash()[addr + i];
    }
    if (!failed) {
        // Erases go through the board directory, which gives whole NOR sectors
        // back to the file system as holes.
        if (op == StorageOp::NorErase)
            dir_->nor_erase(addr, after.size());
        else
            store(memory, addr, after);
    }
    r.after = after;
    running_.push_back(std::move(r));

    const PowerCut &c = plan_.cut;
    if (c.set && !c.timed && (c.ops & op_bit(op))) {
        ++cut_matches_;
        if (cut_matches_ == c.nth) {
            cut_cause_ = std::string("at ") + storage_op_name(op) + " #" + std::to_string(number);
            if (c.fraction_ppm == 0)
                cut(cut_cause_ + " as it starts");
            cut_cause_ += ", " + percent(c.fraction_ppm) + " done";
            const Time at = now + static_cast<Time>(static_cast<unsigned __int128>(duration) *
                                                    c.fraction_ppm / kMillion);
            b_.sched().schedule(at, this, kCountedCutTag | ++cut_gen_);
        }
    }
    return number;
}

void StorageRig::leave_half_done(const Running &r, std::uint32_t done_ppm) {
    std::vector<std::uint8_t> cells = r.before;
    if (!r.failed && done_ppm > 0) {
        CellNoise noise(plan_.seed ^ (0xD1B54A32D192ED03ULL * r.number));
        if (is_erase(r.op)) {
            // Every programmed bit has been raised with the share of the erase done.
            for (std::uint8_t &c : cells) {
                if (c != 0xFF)
                    c = static_cast<std::uint8_t>(c | (~c & noise.bits(done_ppm)));
            }
        } else {
            // Bytes are programmed in order: a prefix is done, the next byte has
            // some of the bits it was to lose cleared.
            const std::size_t n = cells.size();
            const std::size_t prefix =
                static_cast<std::size_t>(static_cast<std::uint64_t>(n) * done_ppm / kMillion);
            for (std::size_t i = 0; i < prefix; ++i) cells[i] = r.after[i];
            if (prefix < n) {
                const auto to_clear =
                    static_cast<std::uint8_t>(r.before[prefix] & ~r.after[prefix]);
                cells[prefix] = static_cast<std::uint8_t>(
                    r.before[prefix] & ~(to_clear & static_cast<std::uint8_t>(noise.next())));
            }
        }
    }
    store(r.memory, r.addr, cells);
}

void StorageRig::interrupt_running(const char *cause) {
    const Time now = b_.now();
    for (const Running &r : running_) {
        if (r.end <= now)
            continue;
        const std::uint32_t done = static_cast<std::uint32_t>(
            static_cast<unsigned __int128>(now - r.start) * kMillion / (r.end - r.start));
        leave_half_done(r, done);
        if (b_.trace().enabled()) {
            b_.trace()
                .begin(now, "storage_interrupted")
                .field("op", storage_op_name(r.op))
                .field("number", r.kind_number)
                .field("addr", r.addr)
                .field("done_ppm", done)
                .field("by", cause)
                .end();
        }
        char where[16];
        std::snprintf(where, sizeof where, "0x%X", static_cast<unsigned>(r.addr));
        b_.summary().note("interrupted", std::string(storage_op_name(r.op)) + " #" +
                                             std::to_string(r.kind_number) + " at " + where + ", " +
                                             percent(done) + " done (" + cause + ")");
    }
    running_.clear();
}

void StorageRig::cut(const std::string &cause) {
    if (b_.trace().enabled())
        b_.trace().begin(b_.now(), "power_cut").field("cause", cause).end();
    interrupt_running("power cut");
    b_.end_run(Ending::PowerCut, cause + " (scenario line " + std::to_string(plan_.cut.line) + ")");
}

std::string StorageRig::operation_counts() const {
    std::string s;
    for (int k = 0; k < kStorageOpKinds; ++k) {
        if (k)
            s += ", ";
        s += std::string(storage_op_name(static_cast<StorageOp>(k))) + " " +
             std::to_string(counts_[k]);
    }
    return s;
}

// ---------------------------------------------------------------- installation

bool install_storage(Board &b, BoardDir &dir, const StoragePlan &plan, Time unpowered_ns,
                     std::string &error) {
    StorageRig &rig = b.model<StorageRig>();
    rig.setup(dir, plan);
    if (!install_internal_flash(b, rig, error))
        return false;
    install_nor(b, rig);
    install_rtc(b, rig, unpowered_ns);
    return true;
}

bool storage_power_off(Board &b, Ending ending, std::string &error) {
    StorageRig &rig = b.model<StorageRig>();
    const bool supply_kept = ending == Ending::Standby || ending == Ending::Reset;
    if (supply_kept)
        rig.complete_running();
    else if (ending != Ending::PowerCut)
        rig.interrupt_running("end of the run");
    b.summary().note("flash operations", rig.operation_counts());
    return nor_save(b, supply_kept, error) && rtc_save(b, error);
}

}  // namespace sim
