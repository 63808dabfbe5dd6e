// Trap-and-step register access on x86-64 Linux (see mmio_trap.h).
#include "mmio_trap.h"

#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <cstdlib>
#include <cstring>

namespace mmio {
namespace {

struct Region {
    uintptr_t base;
    size_t size;
    Device *device;
};

std::vector<Region> g_regions;
std::vector<Access> g_log;

enum class Kind { Read, Write, ReadWrite };

struct Pending {
    bool active = false;
    Region *region = nullptr;
    uintptr_t address = 0;
    unsigned width = 0;
    Kind kind = Kind::Read;
};
Pending g_pending;

[[noreturn]] void die(const char *what, const uint8_t *code) {
    std::fprintf(stderr, "mmio: %s at instruction %02x %02x %02x %02x %02x %02x\n", what, code[0],
                 code[1], code[2], code[3], code[4], code[5]);
    std::abort();
}

bool one_of(uint8_t op, std::initializer_list<uint8_t> ops) {
    return std::find(ops.begin(), ops.end(), op) != ops.end();
}

// The width and direction of the memory operand of the instruction at code.
void decode(const uint8_t *code, unsigned &width, Kind &kind) {
    const uint8_t *p = code;
    bool opsize16 = false;
    for (;; ++p) {
        if (*p == 0x66)
            opsize16 = true;
        else if (!one_of(*p, {0x67, 0xF0, 0xF2, 0xF3, 0x2E, 0x36, 0x3E, 0x26, 0x64, 0x65}))
            break;
    }
    bool rex_w = false;
    if ((*p & 0xF0) == 0x40) {
        rex_w = (*p & 0x08) != 0;
        ++p;
    }
    const uint8_t op = p[0], modrm_reg = static_cast<uint8_t>((p[1] >> 3) & 7u);
    // Bit 0 of these opcodes chooses a byte or the full operand size (0x83: full).
    width = (op & 1u) == 0 ? 1u : (rex_w ? 8u : (opsize16 ? 2u : 4u));
    if (op == 0x0F && one_of(p[1], {0xB6, 0xB7, 0xBE, 0xBF})) {  // movzx, movsx
        width = (p[1] & 1u) == 0 ? 1u : 2u;
        kind = Kind::Read;
    } else if (op == 0x63) {  // movsxd
        width = 4;
        kind = Kind::Read;
    } else if (one_of(op, {0x88, 0x89, 0xC6, 0xC7})) {  // mov to memory
        kind = Kind::Write;
    } else if (one_of(op, {0x8A, 0x8B, 0x84, 0x85, 0x38, 0x39, 0x3A, 0x3B, 0x02, 0x03, 0x0A, 0x0B,
                           0x22, 0x23, 0x2A, 0x2B, 0x32, 0x33})) {
        kind = Kind::Read;  // mov, test, cmp, and an operation into a register
    } else if (one_of(op, {0x00, 0x01, 0x08, 0x09, 0x20, 0x21, 0x28, 0x29, 0x30, 0x31})) {
        kind = Kind::ReadWrite;  // add, or, and, sub, xor into memory
    } else if (one_of(op, {0x80, 0x81, 0x83})) {
        kind = modrm_reg == 7 ? Kind::Read : Kind::ReadWrite;  // /7 is cmp
    } else if (one_of(op, {0xF6, 0xF7}) && modrm_reg == 0) {
        kind = Kind::Read;  // test
    } else {
        die("unknown instruction", code);
    }
}

Region *find(uintptr_t address) {
    for (Region &r : g_regions)
        if (address >= r.base && address < r.base + r.size)
            return &r;
    return nullptr;
}

void on_segv(int sig, siginfo_t *info, void *context) {
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    Region *region = find(address);
    if (region == nullptr || g_pending.active) {
        signal(sig, SIG_DFL);  // a real fault: let it end the test
        return;
    }
    auto *uc = static_cast<ucontext_t *>(context);
    const auto *code = reinterpret_cast<const uint8_t *>(uc->uc_mcontext.gregs[REG_RIP]);
    unsigned width = 0;
    Kind kind = Kind::Read;
    decode(code, width, kind);
    mprotect(reinterpret_cast<void *>(region->base), region->size, PROT_READ | PROT_WRITE);
    if (kind != Kind::Write) {
        const uint32_t value =
            region->device->read(static_cast<uint32_t>(address - region->base), width);
        std::memcpy(reinterpret_cast<void *>(address), &value, width > 4 ? 4 : width);
        g_log.push_back({address, width, false, value});
    }
    g_pending = {true, region, address, width, kind};
    uc->uc_mcontext.gregs[REG_EFL] |= 0x100;  // trap after this one instruction
}

void on_trap(int, siginfo_t *, void *context) {
    auto *uc = static_cast<ucontext_t *>(context);
    uc->uc_mcontext.gregs[REG_EFL] &= ~0x100LL;
    if (!g_pending.active)
        return;
    if (g_pending.kind != Kind::Read) {
        uint32_t value = 0;
        std::memcpy(&value, reinterpret_cast<void *>(g_pending.address),
                    g_pending.width > 4 ? 4 : g_pending.width);
        g_log.push_back({g_pending.address, g_pending.width, true, value});
        g_pending.region->device->write(
            static_cast<uint32_t>(g_pending.address - g_pending.region->base), g_pending.width,
            value);
    }
    mprotect(reinterpret_cast<void *>(g_pending.region->base), g_pending.region->size, PROT_NONE);
    g_pending.active = false;
}

void install_handlers() {
    static bool installed = false;
    if (installed)
        return;
    struct sigaction sa {};
    sa.sa_sigaction = on_segv;
    sa.sa_flags = SA_SIGINFO;
    sigaction(SIGSEGV, &sa, nullptr);
    sa.sa_sigaction = on_trap;
    sigaction(SIGTRAP, &sa, nullptr);
    installed = true;
}

}  // namespace

void attach(uintptr_t base, size_t size, Device *device) {
    install_handlers();
    void *p = mmap(reinterpret_cast<void *>(base), size, PROT_NONE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p != reinterpret_cast<void *>(base)) {
        std::fprintf(stderr, "mmio: cannot map 0x%lx\n", static_cast<unsigned long>(base));
        std::abort();
    }
    g_regions.push_back({base, size, device});
}

const std::vector<Access> &log() {
    return g_log;
}

void clear_log() {
    g_log.clear();
}

}  // namespace mmio
