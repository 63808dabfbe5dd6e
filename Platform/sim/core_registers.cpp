// The core's own registers written directly by the firmware (CMSIS `SCB->...`,
// `NVIC->...`): the interrupt control and state register (PendSV and SysTick set
// and clear pending), the application interrupt and reset control register
// (priority grouping, system reset request), the system handler and interrupt
// priorities, the NVIC's set and clear registers and the software trigger.
// Bits that would change how the core runs but are not modelled halt the board
// with their name instead of being ignored.
//
// The registers show the simulated core's state as of the last look: ISER and
// ISPR the enabled and pending lines, ICSR whether PendSV and SysTick are
// pending, AIRCR the priority grouping. Write-one-to-clear registers (ICER, ICPR)
// read 0, so that every write of a one to them can be seen.
#include <cstring>
#include <string>

#include "sim/board.h"
#include "sim/peripherals.h"
#include "sim/register_look.h"
#include "stm32l4xx.h"

namespace sim {

namespace {

constexpr int kDeviceIrqs = kIrqSlots - 16;
constexpr int kWords = (kDeviceIrqs + 31) / 32;
constexpr std::uint32_t kVectKey = 0x05FAu;
constexpr std::uint32_t kVectKeyStat = 0xFA05u;
constexpr std::uint32_t kStirIdle = 0xFFFFFFFFu;  // no write seen

class CoreRegisters final : public Board::Model {
  public:
    explicit CoreRegisters(Board &b) : b_(b) {
        std::memcpy(ip_seen_, const_cast<const std::uint8_t *>(NVIC_regs.IP), sizeof ip_seen_);
        std::memcpy(shp_seen_, const_cast<const std::uint8_t *>(SCB_regs.SHP), sizeof shp_seen_);
        NVIC_regs.STIR = kStirIdle;
        publish();
    }

    void watch() override {
        if (written())
            look();
        else if (b_.nvic().version() != published_version_)
            publish();  // all the full look would do
    }

  private:
    // Whether a register the full look compares no longer holds what it last saw
    // or published: without one, all it would do is publish a changed controller.
    bool written() const {
        static const std::uint32_t kNoWrite[kWords] = {};  // ICER and ICPR read 0
        const std::uint64_t diff =
            (SCB_regs.ICSR ^ icsr_) | (SCB_regs.AIRCR ^ aircr_) | (SCB_regs.SCR ^ scr_) |
            SCB_regs.VTOR | (NVIC_regs.STIR ^ kStirIdle) |
            byte_diff<sizeof iser_>(NVIC_regs.ISER, iser_) |
            byte_diff<sizeof kNoWrite>(NVIC_regs.ICER, kNoWrite) |
            byte_diff<sizeof ispr_>(NVIC_regs.ISPR, ispr_) |
            byte_diff<sizeof kNoWrite>(NVIC_regs.ICPR, kNoWrite) |
            byte_diff<sizeof ip_seen_>(NVIC_regs.IP, ip_seen_) |
            byte_diff<sizeof shp_seen_>(SCB_regs.SHP, shp_seen_);
        return diff != 0;
    }

    // The full look: what changed, bit by bit.
    __attribute__((noinline)) void look() {
        Nvic &n = b_.nvic();
        bool changed = false;
        if (SCB_regs.ICSR != icsr_) {
            icsr_written(SCB_regs.ICSR);
            changed = true;
        }
        if (SCB_regs.AIRCR != aircr_) {
            aircr_written(SCB_regs.AIRCR);
            changed = true;
        }
        if (SCB_regs.SCR != scr_) {
            const std::uint32_t scr = SCB_regs.SCR;
            if ((scr & SCB_SCR_SLEEPONEXIT_Msk) && !(scr_ & SCB_SCR_SLEEPONEXIT_Msk))
                b_.halt("SCB->SCR SLEEPONEXIT (sleep on return from interrupts) is not modelled "
                        "by the simulated board");
            scr_ = scr;
        }
        if (SCB_regs.VTOR != 0u)
            b_.halt("SCB->VTOR (a relocated vector table) is not modelled by the simulated board");
        if (NVIC_regs.STIR != kStirIdle) {
            const int irq = static_cast<int>(NVIC_regs.STIR & 0x1FFu);
            NVIC_regs.STIR = kStirIdle;
            if (irq < kDeviceIrqs)
                n.set_pending(irq);
            changed = true;
        }
        for (int w = 0; w < kWords; ++w) {
            const std::uint32_t set_en = NVIC_regs.ISER[w], clr_en = NVIC_regs.ICER[w];
            const std::uint32_t set_pend = NVIC_regs.ISPR[w], clr_pend = NVIC_regs.ICPR[w];
            if (((set_en ^ iser_[w]) | clr_en | (set_pend ^ ispr_[w]) | clr_pend) == 0)
                continue;
            for (int bit = 0; bit < 32; ++bit) {
                const int irq = 32 * w + bit;
                if (irq >= kDeviceIrqs)
                    break;
                const std::uint32_t m = 1u << bit;
                if (set_en != iser_[w] && (set_en & m))
                    n.enable(irq);
                if (clr_en & m)
                    n.disable(irq);
                if (set_pend != ispr_[w] && (set_pend & m))
                    n.set_pending(irq);
                if (clr_pend & m)
                    n.clear_pending(irq);
            }
            changed = true;
        }
        if (std::memcmp(ip_seen_, const_cast<const std::uint8_t *>(NVIC_regs.IP), sizeof ip_seen_)) {
            for (int irq = 0; irq < kDeviceIrqs; ++irq) {
                if (NVIC_regs.IP[irq] != ip_seen_[irq]) {
                    ip_seen_[irq] = NVIC_regs.IP[irq];
                    n.set_priority_register(irq, ip_seen_[irq]);
                }
            }
            changed = true;
        }
        if (std::memcmp(shp_seen_, const_cast<const std::uint8_t *>(SCB_regs.SHP),
                        sizeof shp_seen_)) {
            // SHP[k] is the priority of exception number k + 4 (core number k - 12).
            for (int k = 0; k < 12; ++k) {
                if (SCB_regs.SHP[k] != shp_seen_[k]) {
                    shp_seen_[k] = SCB_regs.SHP[k];
                    n.set_priority_register(k - 12, shp_seen_[k]);
                }
            }
            changed = true;
        }
        if (changed || n.version() != published_version_)
            publish();
        if (changed)
            b_.take_interrupts_after_look();
    }

    void icsr_written(std::uint32_t v) {
        Nvic &n = b_.nvic();
        if (v & SCB_ICSR_NMIPENDSET_Msk)
            b_.halt("SCB->ICSR NMIPENDSET (a software NMI) is not modelled by the simulated board");
        if (v & SCB_ICSR_PENDSVCLR_Msk)
            n.clear_pending(kPendSVIrq);
        if ((v & SCB_ICSR_PENDSVSET_Msk) && !(icsr_ & SCB_ICSR_PENDSVSET_Msk))
            n.set_pending(kPendSVIrq);
        if (v & SCB_ICSR_PENDSTCLR_Msk)
            n.clear_pending(kSysTickIrq);
        if ((v & SCB_ICSR_PENDSTSET_Msk) && !(icsr_ & SCB_ICSR_PENDSTSET_Msk))
            n.set_pending(kSysTickIrq);
    }

    void aircr_written(std::uint32_t v) {
        if ((v >> 16) != kVectKey)
            return;  // the core ignores writes without the key
        if (v & (SCB_AIRCR_VECTCLRACTIVE_Msk | SCB_AIRCR_VECTRESET_Msk))
            b_.halt("SCB->AIRCR VECTCLRACTIVE/VECTRESET (debug resets) are not modelled by the "
                    "simulated board");
        b_.nvic().set_priority_grouping((v & SCB_AIRCR_PRIGROUP_Msk) >> SCB_AIRCR_PRIGROUP_Pos);
        if (v & SCB_AIRCR_SYSRESETREQ_Msk)
            b_.end_run(Ending::Reset, "the firmware requested a system reset");
    }

    void publish() {
        const Nvic &n = b_.nvic();
        published_version_ = n.version();
        icsr_ = (n.pending(kPendSVIrq) ? SCB_ICSR_PENDSVSET_Msk : 0u) | (n.pending(kSysTickIrq) ? SCB_ICSR_PENDSTSET_Msk : 0u);
        SCB_regs.ICSR = icsr_;
        aircr_ = (kVectKeyStat << 16) | (n.priority_grouping() << SCB_AIRCR_PRIGROUP_Pos);
        SCB_regs.AIRCR = aircr_;
        for (int w = 0; w < kWords; ++w) {
            NVIC_regs.ISER[w] = iser_[w] = n.enabled_word(w);
            NVIC_regs.ISPR[w] = ispr_[w] = n.pending_word(w);
            NVIC_regs.ICER[w] = 0;
            NVIC_regs.ICPR[w] = 0;
        }
    }

    Board &b_;
    std::uint32_t icsr_ = 0, aircr_ = 0, scr_ = 0;
    std::uint64_t published_version_ = ~std::uint64_t{0};
    std::uint32_t iser_[kWords] = {}, ispr_[kWords] = {};
    std::uint8_t ip_seen_[kDeviceIrqs] = {};
    std::uint8_t shp_seen_[12] = {};
};

}  // namespace

void install_core_registers(Board &b) {
    CoreRegisters &m = b.model<CoreRegisters>();
    b.add_watcher(m);
}

}  // namespace sim
