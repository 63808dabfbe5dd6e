// The STM32L431's internal flash: 256 KB in 128 pages of 2 KB, programmed 64 bits
// at a time, with the FLASH HAL calls the firmware uses and the firmware's
// one-word program.
//
// The board directory's intflash.bin is mapped read-only at the chip's address
// (0x08000000), and a page of system memory at 0x1FFF7000 holds the factory values
// (flash size at 0x1FFF75E0, unique ID at 0x1FFF7590), so that the firmware reads
// its stored data and the flash-size register by address, as on the chip. The
// address ranges must be free in the simulator process: the executables are
// position-independent, which puts the program, its heap and its libraries far
// above them (docs/simulator.md).
//
// The chip's rules (RM0394, flash chapter):
// - FLASH_CR is locked after reset; HAL_FLASH_Unlock writes the key sequence. A
//   locked CR ignores PER/STRT (an erase then does nothing and the HAL reports
//   HAL_OK) and PG (a program then writes flash without PG: PGSERR).
// - A double word is programmed only when it is erased (all 0xFF), except that
//   all zeros may be written anywhere; otherwise PROGERR. A double word not 8-byte
//   aligned: PGAERR; an access narrower than a word: SIZERR.
// - The firmware's one-word program pairs consecutive words into the double word:
//   the first word (8-byte aligned) waits in the chip; the second programs both. A
//   second word without its first: PGAERR. Anything else while a first word
//   waits: PGSERR, and the waiting word is lost.
// - Erase and program stall the core: execution from flash (handlers included)
//   waits until they end, so interrupts only become pending meanwhile.
// - ECC is not modelled: a double word left half programmed by a power cut reads
//   back as its bits (the chip would flag an ECC error on it).
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "board_dir.h"
#include "sim/storage_models.h"
#include "stm32l4xx_hal.h"
#include "stm32l4xx_hal_additions.h"

extern "C" {
FLASH_ProcessTypeDef pFlash;
}

namespace sim {

namespace {

// STM32L431 datasheet, flash memory characteristics (typical / maximum).
constexpr Time kDoubleWordProgramTyp = 81690;  // tprog 64-bit 81.69 us
constexpr Time kDoubleWordProgramMax = 90760;  // tprog 90.76 us
constexpr Time kPageEraseTyp = 22020000;       // tERASE 22.02 ms
constexpr Time kPageEraseMax = 24470000;       // tERASE 24.47 ms
constexpr Time kMassEraseTyp = 22130000;       // tME 22.13 ms
constexpr Time kMassEraseMax = 24590000;       // tME 24.59 ms

constexpr std::uintptr_t kFlashBase = 0x08000000u;
constexpr std::uint32_t kFlashSize = BoardDir::kIntFlashSize;
constexpr std::uint32_t kPageSize = BoardDir::kIntFlashPageSize;
constexpr std::uint32_t kPages = kFlashSize / kPageSize;
constexpr std::uintptr_t kSystemPage = 0x1FFF7000u;  // holds 0x1FFF7590 and 0x1FFF75E0
constexpr std::size_t kSystemPageSize = 4096;
constexpr std::uint32_t kFlashSizeOffset = 0x5E0;
constexpr std::uint32_t kUidOffset = 0x590;

constexpr std::uint32_t kCrResetValue = FLASH_CR_LOCK | FLASH_CR_OPTLOCK;
constexpr std::uint32_t kAcrResetValue = FLASH_ACR_ICEN | FLASH_ACR_DCEN;

// Maps `length` bytes at exactly `addr`, or explains why it cannot.
void *map_fixed(std::uintptr_t addr, std::size_t length, int prot, int flags, int fd,
                const char *what, std::string &error) {
    void *want = reinterpret_cast<void *>(addr);
    void *got = ::mmap(want, length, prot, flags | MAP_FIXED_NOREPLACE, fd, 0);
    if (got == want)
        return got;
    char where[32];
    std::snprintf(where, sizeof where, "0x%08lX", static_cast<unsigned long>(addr));
    if (got == MAP_FAILED) {
        error = std::string("cannot map the ") + what + " at " + where +
                ", its address on the chip: " + std::strerror(errno) +
                (errno == EEXIST ? " (that host address range is in use; the simulator must be "
                                   "built as a position-independent executable so that it stays "
                                   "free)"
                                 : "");
    } else {
        ::munmap(got, length);  // a kernel without MAP_FIXED_NOREPLACE took it as a hint
        error = std::string("cannot map the ") + what + " at " + where +
                ": this kernel does not support fixed mappings that refuse to replace (Linux "
                "4.17 or later is needed)";
    }
    return nullptr;
}

class InternalFlash final : public Board::Model {
  public:
    explicit InternalFlash(Board &b) : b_(b) {}
    ~InternalFlash() override {
        if (flash_map_)
            ::munmap(flash_map_, kFlashSize);
        if (system_map_)
            ::munmap(system_map_, kSystemPageSize);
    }

    bool install(StorageRig &rig, std::string &error) {
        rig_ = &rig;
        flash_map_ = map_fixed(kFlashBase, kFlashSize, PROT_READ, MAP_SHARED,
                               rig.dir().intflash_fd(), "internal flash", error);
        if (!flash_map_)
            return false;
        system_map_ = map_fixed(kSystemPage, kSystemPageSize, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS, -1, "system memory page", error);
        if (!system_map_)
            return false;
        // Factory values; the rest of the page reads as erased.
        auto *page = static_cast<std::uint8_t *>(system_map_);
        std::memset(page, 0xFF, kSystemPageSize);
        const std::uint16_t size_kb = rig.flash_size_register();
        std::memcpy(page + kFlashSizeOffset, &size_kb, sizeof size_kb);
        std::memcpy(page + kUidOffset, const_cast<std::uint32_t *>(UID_regs.W), 12);
        ::mprotect(system_map_, kSystemPageSize, PROT_READ);
        *const_cast<std::uint16_t *>(&FLASHSIZE_regs.SIZE_KB) = size_kb;
        FLASH_regs.CR = kCrResetValue;
        FLASH_regs.ACR = kAcrResetValue;
        FLASH_regs.SR = 0;
        pFlash = FLASH_ProcessTypeDef{};
        return true;
    }

    // ---- status flags: the model keeps them; FLASH_SR shows them. A write of 1
    // clears a flag: whatever the firmware wrote to FLASH_SR since the model last
    // showed it is taken as such a write.
    std::uint32_t flags() {
        if (FLASH_regs.SR != shown_)
            flags_ &= ~FLASH_regs.SR;
        show();
        return flags_;
    }
    void raise(std::uint32_t f) {
        flags();
        flags_ |= f;
        show();
    }
    void clear(std::uint32_t f) {
        flags();
        flags_ &= ~f;
        show();
    }

    bool locked() const { return (FLASH_regs.CR & FLASH_CR_LOCK) != 0; }

    // A programming step the chip refuses: the flag, a trace record, nothing stored.
    void refuse(std::uint32_t flag, std::uint32_t address, const char *why) {
        raise(flag);
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "intflash_error")
                .field("addr", address)
                .field("flag", flag_name(flag))
                .field("why", why)
                .end();
    }

    // Anything other than the second word of the pending double word ends it: the
    // chip raises PGSERR and the waiting word is lost.
    bool pending_broken(std::uint32_t address) {
        if (!pending_)
            return false;
        pending_ = false;
        FLASH_regs.CR &= ~FLASH_CR_PG;
        refuse(FLASH_SR_PGSERR, address, "a first word is waiting for its second");
        return true;
    }

    // One double word at `address` (a bus address): checks, then the program with
    // its busy time, during which the core stalls.
    void program_double_word(std::uint32_t address, std::uint64_t data) {
        if (locked())
            return refuse(FLASH_SR_PGSERR, address, "flash locked: PG cannot be set");
        if (address % 4u)
            return refuse(FLASH_SR_SIZERR, address, "not a word address");
        if (address % 8u)
            return refuse(FLASH_SR_PGAERR, address, "not a double-word address");
        const std::uint32_t offset = check_range(address, 8, "HAL_FLASH_Program");
        std::uint64_t old = 0;
        std::memcpy(&old, rig_->dir().intflash() + offset, 8);
        if (old != ~std::uint64_t{0} && data != 0)
            return refuse(FLASH_SR_PROGERR, address, "double word not erased");
        if (rig_->take_fault(FaultKind::IntflashProgram))
            return refuse(FLASH_SR_WRPERR, address, "fault intflash-program");
        std::vector<std::uint8_t> after(8);
        const std::uint64_t value = old & data;
        std::memcpy(after.data(), &value, 8);
        const Time busy = rig_->maximum_timing() ? kDoubleWordProgramMax : kDoubleWordProgramTyp;
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "intflash_program")
                .field("addr", address)
                .field("data", data)
                .field("busy_ns", busy)
                .end();
        rig_->begin(StorageOp::IntflashProgram, Memory::Intflash, offset, after, b_.now(), busy,
                    false);
        b_.stall_to(b_.now() + busy);
    }

    // Page erase (or the whole bank): STRT with PER / MER1.
    void erase(std::uint32_t first_page, std::uint32_t pages, bool mass) {
        const std::uint32_t address =
            static_cast<std::uint32_t>(kFlashBase) + first_page * kPageSize;
        if (pending_broken(address))
            return;
        if (locked()) {
            // FLASH_CR ignores the start: nothing happens and no flag says so.
            if (b_.trace().enabled())
                b_.trace()
                    .begin(b_.now(), "intflash_error")
                    .field("addr", address)
                    .field("flag", "none")
                    .field("why", "flash locked: the erase start is ignored")
                    .end();
            return;
        }
        if (first_page >= kPages)
            b_.halt("internal flash page " + std::to_string(first_page) +
                    " erased: this part has 128 pages (the chip's behaviour is not modelled)");
        if (rig_->take_fault(FaultKind::IntflashErase))
            return refuse(FLASH_SR_WRPERR, address, "fault intflash-erase");
        const bool max = rig_->maximum_timing();
        const Time busy =
            mass ? (max ? kMassEraseMax : kMassEraseTyp) : (max ? kPageEraseMax : kPageEraseTyp);
        if (b_.trace().enabled())
            b_.trace()
                .begin(b_.now(), "intflash_erase")
                .field("page", first_page)
                .field("pages", pages)
                .field("busy_ns", busy)
                .end();
        rig_->begin(StorageOp::IntflashErase, Memory::Intflash, first_page * kPageSize,
                    std::vector<std::uint8_t>(std::size_t{pages} * kPageSize, 0xFF), b_.now(), busy,
                    false);
        b_.stall_to(b_.now() + busy);
    }

    std::uint32_t check_range(std::uint32_t address, std::uint32_t n, const char *call) {
        if (address < kFlashBase || address - kFlashBase > kFlashSize - n) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "%s at 0x%08X: outside the internal flash", call,
                          static_cast<unsigned>(address));
            b_.halt(buf);
        }
        return address - static_cast<std::uint32_t>(kFlashBase);
    }

    static const char *flag_name(std::uint32_t f) {
        switch (f) {
            case FLASH_SR_PROGERR:
                return "PROGERR";
            case FLASH_SR_WRPERR:
                return "WRPERR";
            case FLASH_SR_PGAERR:
                return "PGAERR";
            case FLASH_SR_SIZERR:
                return "SIZERR";
            case FLASH_SR_PGSERR:
                return "PGSERR";
            default:
                return "?";
        }
    }

    bool pending_ = false;  // a first word waits for its second
    std::uint32_t pending_address_ = 0;
    std::uint32_t pending_word_ = 0;

  private:
    void show() {
        FLASH_regs.SR = flags_;
        shown_ = flags_;
    }

    Board &b_;
    StorageRig *rig_ = nullptr;
    void *flash_map_ = nullptr;
    void *system_map_ = nullptr;
    std::uint32_t flags_ = 0;
    std::uint32_t shown_ = 0;
};

InternalFlash &model() {
    return board().model<InternalFlash>();
}

[[noreturn]] void not_modelled(const char *what) {
    board().halt(std::string(what) + " is not modelled by the simulated board");
}

}  // namespace

bool install_internal_flash(Board &b, StorageRig &rig, std::string &error) {
    return b.model<InternalFlash>().install(rig, error);
}

}  // namespace sim

using sim::model;

extern "C" {

HAL_StatusTypeDef HAL_FLASH_Unlock(void) {
    if (READ_BIT(FLASH->CR, FLASH_CR_LOCK) != 0u) {
        WRITE_REG(FLASH->KEYR, FLASH_KEY1);
        WRITE_REG(FLASH->KEYR, FLASH_KEY2);
        FLASH->CR &= ~FLASH_CR_LOCK;  // the key sequence, as the chip takes it
    }
    return HAL_OK;
}

HAL_StatusTypeDef HAL_FLASH_Lock(void) {
    SET_BIT(FLASH->CR, FLASH_CR_LOCK);
    return HAL_OK;
}

// The chip has finished every operation by the time a HAL call returns (the core
// stalls through them), so only the error flags are left to look at.
HAL_StatusTypeDef FLASH_WaitForLastOperation(uint32_t Timeout) {
    (void)Timeout;
    sim::InternalFlash &m = model();
    const uint32_t error = m.flags() & FLASH_FLAG_SR_ERRORS;
    if (error != 0u) {
        pFlash.ErrorCode |= error;
        m.clear(error);
        return HAL_ERROR;
    }
    m.clear(FLASH_SR_EOP);
    return HAL_OK;
}

HAL_StatusTypeDef HAL_FLASH_Program(uint32_t TypeProgram, uint32_t Address, uint64_t Data) {
    __HAL_LOCK(&pFlash);
    HAL_StatusTypeDef status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE);
    if (status == HAL_OK) {
        pFlash.ErrorCode = HAL_FLASH_ERROR_NONE;
        if (TypeProgram == FLASH_TYPEPROGRAM_DOUBLEWORD) {
            sim::InternalFlash &m = model();
            if (!m.pending_broken(Address)) {
                if (!m.locked())
                    SET_BIT(FLASH->CR, FLASH_CR_PG);
                m.program_double_word(Address, Data);
            }
            status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE);
            CLEAR_BIT(FLASH->CR, FLASH_CR_PG);
        } else if (TypeProgram == FLASH_TYPEPROGRAM_FAST ||
                   TypeProgram == FLASH_TYPEPROGRAM_FAST_AND_LAST) {
            sim::not_modelled("internal flash fast programming");
        }
        // Any other type: the vendor's HAL programs nothing and answers HAL_OK.
    }
    __HAL_UNLOCK(&pFlash);
    return status;
}

HAL_StatusTypeDef HAL_FLASH_Program_Word(uint32_t Address, uint32_t Data) {
    __HAL_LOCK(&pFlash);
    HAL_StatusTypeDef status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE);
    if (status == HAL_OK) {
        pFlash.ErrorCode = HAL_FLASH_ERROR_NONE;
        sim::InternalFlash &m = model();
        if (m.locked()) {
            m.refuse(FLASH_SR_PGSERR, Address, "flash locked: PG cannot be set");
        } else if (Address % 4u) {
            m.refuse(FLASH_SR_SIZERR, Address, "not a word address");
        } else if (Address % 8u == 0u) {
            // The first word of a double word waits in the chip for the second.
            if (!m.pending_broken(Address)) {
                m.check_range(Address, 8, "HAL_FLASH_Program_Word");
                SET_BIT(FLASH->CR, FLASH_CR_PG);
                m.pending_ = true;
                m.pending_address_ = Address;
                m.pending_word_ = Data;
                __HAL_UNLOCK(&pFlash);
                return HAL_OK;
            }
        } else if (!m.pending_) {
            m.refuse(FLASH_SR_PGAERR, Address, "a second word without its first");
        } else if (m.pending_address_ != Address - 4u) {
            m.pending_broken(Address);
        } else {
            m.pending_ = false;
            m.program_double_word(m.pending_address_,
                                  (static_cast<uint64_t>(Data) << 32) | m.pending_word_);
        }
        status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE);
        CLEAR_BIT(FLASH->CR, FLASH_CR_PG);
    }
    __HAL_UNLOCK(&pFlash);
    return status;
}

HAL_StatusTypeDef HAL_FLASHEx_Erase(FLASH_EraseInitTypeDef *pEraseInit, uint32_t *PageError) {
    __HAL_LOCK(&pFlash);
    HAL_StatusTypeDef status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE);
    if (status == HAL_OK) {
        pFlash.ErrorCode = HAL_FLASH_ERROR_NONE;
        sim::InternalFlash &m = model();
        if (pEraseInit->TypeErase == FLASH_TYPEERASE_MASSERASE) {
            m.erase(0, sim::kPages, true);
            status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE);
        } else {
            *PageError = 0xFFFFFFFFu;
            for (uint32_t page = pEraseInit->Page; page < pEraseInit->Page + pEraseInit->NbPages;
                 ++page) {
                m.erase(page & 0xFFu, 1, false);
                status = FLASH_WaitForLastOperation(FLASH_TIMEOUT_VALUE);
                CLEAR_BIT(FLASH->CR, FLASH_CR_PER | FLASH_CR_PNB);
                if (status != HAL_OK) {
                    *PageError = page;
                    break;
                }
            }
        }
    }
    __HAL_UNLOCK(&pFlash);
    return status;
}

HAL_StatusTypeDef HAL_FLASHEx_Erase_IT(FLASH_EraseInitTypeDef *) {
    sim::not_modelled("HAL_FLASHEx_Erase_IT");
}
HAL_StatusTypeDef HAL_FLASH_Program_IT(uint32_t, uint32_t, uint64_t) {
    sim::not_modelled("HAL_FLASH_Program_IT");
}
HAL_StatusTypeDef HAL_FLASH_OB_Unlock(void) {
    sim::not_modelled("option byte programming");
}
HAL_StatusTypeDef HAL_FLASH_OB_Lock(void) {
    SET_BIT(FLASH->CR, FLASH_CR_OPTLOCK);
    return HAL_OK;
}
HAL_StatusTypeDef HAL_FLASH_OB_Launch(void) {
    sim::not_modelled("option byte loading");
}

// No flash interrupt is ever raised (the calls are blocking).
void HAL_FLASH_IRQHandler(void) {}
__weak void HAL_FLASH_EndOfOperationCallback(uint32_t ReturnValue) {
    (void)ReturnValue;
}
__weak void HAL_FLASH_OperationErrorCallback(uint32_t ReturnValue) {
    (void)ReturnValue;
}

uint32_t HAL_FLASH_GetError(void) {
    return pFlash.ErrorCode;
}

}  // extern "C"
