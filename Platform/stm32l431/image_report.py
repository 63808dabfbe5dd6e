#!/usr/bin/env python3
"""Checks a linked firmware image and prints its size and stack report.

Run by the build after linking each image (add_board_image in CMakeLists.txt):

  * every interrupt handler the image's own objects define must be a vector of the
    STM32L431's table (a misspelt handler would never be called on the chip), and the
    table must have all the device's interrupt lines;
  * flash: everything the image loads into flash, against the budget of half the flash
    (128 KB of 256 KB);
  * RAM: initialised and zeroed data, the heap the image reserves and the worst-case
    stack, against the 64 KB of SRAM with a margin of 8 KB left free; the worst case
    must also fit the stack the linker reserves.

The worst-case stack is computed from the compiler's per-function stack usage and call
graph (-fstack-usage, -fcallgraph-info) for everything built here, and from the image's
disassembly for the library code that comes compiled (newlib, libgcc) and for calls the
compiler adds late (memcpy and the like). Indirect calls may reach any function whose
address the image stores, except where their targets are known: the library functions of
LIBRARY_INDIRECT, the static constructors that __libc_init_array runs (read from the
image's .init_array), and what the image declares with --indirect-calls. Interrupts nest: the main stack's deepest path, plus for each
pre-emption priority level in use the deepest of its handlers and the 108 bytes of an
exception frame with floating-point context; the fault handlers and NMI can stack on top
of all of them. Any finding that makes the figure unknowable (recursion, a function
whose frame size is dynamic) fails the build.
"""
import argparse
import difflib
import glob
import os
import re
import struct
import subprocess
import sys
from collections import defaultdict

FLASH_BASE, FLASH_SIZE = 0x08000000, 256 * 1024
RAM_BASE, RAM_SIZE = 0x20000000, 64 * 1024
FLASH_BUDGET = FLASH_SIZE // 2
RAM_MARGIN = 8 * 1024
FRAME = 108  # 26 words of exception frame with the FPU context, plus alignment
CORE_VECTORS = ["Reset_Handler", "NMI_Handler", "HardFault_Handler", "MemManage_Handler",
                "BusFault_Handler", "UsageFault_Handler", None, None, None, None, "SVC_Handler",
                "DebugMon_Handler", None, "PendSV_Handler", "SysTick_Handler"]
HANDLER = re.compile(r"^(?!HAL_)\w+_(IRQ)?Handler$")


class Failure(Exception):
    pass


# Indirect calls whose targets the libraries' own code fixes, as regular expressions over
# the targets' names. The vendor HAL's interrupt handlers call the callbacks the HAL's own
# code stores in the handle (with USE_HAL_*_REGISTER_CALLBACKS 0: its static DMA and ISR
# functions).
LIBRARY_INDIRECT = {
    "HAL_DMA_IRQHandler": r"(UART|I2C|QSPI|ADC|TIM)_DMA\w*",
    "HAL_I2C_EV_IRQHandler": r"I2C_\w+_ISR_\w+",
    "HAL_I2C_ER_IRQHandler": r"I2C_\w+",
}


def library_indirect(by_name):
    """LIBRARY_INDIRECT, plus: operator new calls only a handler set with
    std::set_new_handler, so none when the image cannot set one."""
    known = dict(LIBRARY_INDIRECT)
    if "_ZSt15set_new_handlerPFvvE" not in by_name:
        known["operator new"] = "(?!)"
    return known


def plain_name(symbol, demangled):
    """A function's name without parameters or anonymous namespace, for matching."""
    name = demangled.get(symbol, symbol).split("(")[0]
    return name.replace("(anonymous namespace)::", "")


def tool(prefix, name, *args):
    out = subprocess.run([prefix + name, *args], capture_output=True, text=True)
    if out.returncode != 0:
        raise Failure(f"{prefix}{name} {' '.join(args)}: {out.stderr.strip()}")
    return out.stdout


def objects_in(dirs):
    found = []
    for d in dirs:
        found += glob.glob(os.path.join(d, "**", "*.o"), recursive=True)
        found += glob.glob(os.path.join(d, "**", "*.obj"), recursive=True)
    return sorted(set(found))


# ---- ELF reading (32-bit little-endian, as arm-none-eabi writes it) ------------------

class Elf:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:4] != b"\x7fELF" or d[4] != 1 or d[5] != 1:
            raise Failure(f"{path}: not a 32-bit little-endian ELF")
        shoff, = struct.unpack_from("<I", d, 0x20)
        shentsize, shnum, shstrndx = struct.unpack_from("<HHH", d, 0x2E)
        raw = [struct.unpack_from("<IIIIIIIIII", d, shoff + i * shentsize) for i in range(shnum)]
        names = raw[shstrndx]
        self.sections = []
        for (name, stype, flags, addr, offset, size, *_rest) in raw:
            end = d.index(b"\0", names[4] + name)
            self.sections.append({"name": d[names[4] + name:end].decode(), "type": stype, "flags": flags,
                                  "addr": addr, "offset": offset, "size": size})

    def section(self, name):
        for s in self.sections:
            if s["name"] == name:
                return s
        return None

    def words(self, section):
        """The section's contents as (address, word) pairs."""
        if section["type"] == 8:  # NOBITS
            return []
        body = self.data[section["offset"]:section["offset"] + section["size"]]
        return [(section["addr"] + i, struct.unpack_from("<I", body, i)[0]) for i in range(0, len(body) - 3, 4)]


# ---- Symbols and disassembly --------------------------------------------------------

def read_symbols(prefix, elf_path):
    """Function symbols of the image: name -> (address, size); address -> names."""
    by_name, by_address = {}, defaultdict(list)
    for line in tool(prefix, "nm", "-S", "--defined-only", elf_path).splitlines():
        parts = line.split()
        if len(parts) == 4 and parts[2] in "TtWw":
            address, size, name = int(parts[0], 16), int(parts[1], 16), parts[3]
            by_name.setdefault(name, (address, size))
            by_address[address].append(name)
    return by_name, by_address


PUSH = re.compile(r"^\s*(push|stmdb\s+sp!,)\s*\{([^}]*)\}")
VPUSH = re.compile(r"^\s*vpush\s*\{([^}]*)\}")
SUB_SP = re.compile(r"^\s*sub(w|\.w)?\s+sp,\s*(sp,\s*)?#(\d+)")
SUB_SP_REG = re.compile(r"^\s*sub(\.w)?\s+sp,\s*(sp,\s*)?(r\d+|ip|lr)")
CALL = re.compile(r"^\s*bl\s+([0-9a-f]+)\s+<([^>+]+)>")
BRANCH = re.compile(r"^\s*b(\.w|\.n)?\s+([0-9a-f]+)\s+<([^>+]+)>")
INDIRECT = re.compile(r"^\s*(blx\s+(r\d+|ip|lr)|bx\s+(r\d+|ip))\b")  # bx lr is a return


def register_count(text):
    n = 0
    for part in text.split(","):
        part = part.strip()
        m = re.match(r"^([rsd])(\d+)-[rsd](\d+)$", part)
        n += int(m.group(3)) - int(m.group(2)) + 1 if m else (1 if part else 0)
    return n


def disassemble(prefix, elf_path, by_name):
    """Per function: the stack its prologue takes, whether that is dynamic, the functions
    it calls or tail-calls, and whether it makes indirect calls."""
    funcs = {}
    current = None
    for line in tool(prefix, "objdump", "-d", "--no-show-raw-insn", elf_path).splitlines():
        m = re.match(r"^([0-9a-f]+) <([^>]+)>:$", line)
        if m and by_name.get(m.group(2), (0, 0))[1] == 0 and current is not None:
            continue  # a local label inside a function (the start-up code has several)
        if m:
            current = {"stack": 0, "dynamic": False, "calls": set(), "indirect": False, "prologue": True}
            funcs[m.group(2)] = current
            continue
        if current is None or ":" not in line:
            continue
        insn = line.split(":", 1)[1].split(";")[0]
        m = PUSH.match(insn)
        if m and current["prologue"]:
            current["stack"] += 4 * register_count(m.group(2))
            continue
        m = VPUSH.match(insn)
        if m and current["prologue"]:
            regs = m.group(1)
            current["stack"] += (8 if regs.strip().startswith("d") else 4) * register_count(regs)
            continue
        m = SUB_SP.match(insn)
        if m and current["prologue"]:
            current["stack"] += int(m.group(3))
            current["prologue"] = False
            continue
        if SUB_SP_REG.match(insn):
            current["dynamic"] = True
        m = CALL.match(insn)
        if m:
            current["calls"].add(m.group(2))
            current["prologue"] = False
            continue
        m = BRANCH.match(insn)
        if m:
            target = m.group(3)
            if target in by_name and by_name[target][0] == int(m.group(2), 16):
                current["calls"].add(target)  # a tail call to another function's entry
            continue
        if INDIRECT.match(insn):
            current["indirect"] = True
    for f in funcs.values():
        del f["prologue"]
    return funcs


# ---- The compiler's stack usage and call graph --------------------------------------

NODE = re.compile(r'node: \{ title: "([^"]+)" label: "([^"]*)"')
EDGE = re.compile(r'edge: \{ sourcename: "([^"]+)" targetname: "([^"]+)"')


def read_callgraphs(dirs):
    """Per function (by symbol name; static ones as "file:name"): frame bytes, the
    frame's kind, callees and indirect calls, from the .ci files."""
    funcs = {}
    for path in sorted(set(p for d in dirs for p in glob.glob(os.path.join(d, "**", "*.ci"), recursive=True))):
        with open(path) as f:
            text = f.read()
        for m in NODE.finditer(text):
            title, label = m.group(1), m.group(2)
            s = re.search(r"\\n(\d+) bytes \(([^)]*)\)", label)
            if s:
                funcs[title] = {"stack": int(s.group(1)), "kind": s.group(2), "calls": set(), "indirect": False}
        for m in EDGE.finditer(text):
            source, target = m.group(1), m.group(2)
            if source in funcs:
                if target == "__indirect_call":
                    funcs[source]["indirect"] = True
                else:
                    funcs[source]["calls"].add(target)
    return funcs


# ---- Worst-case stack ---------------------------------------------------------------

class StackModel:
    def __init__(self, ci, dis, by_name, address_taken, known_indirect=None, demangled=None):
        self.ci = ci
        self.dis = dis
        self.by_name = by_name
        self.address_taken = address_taken
        # caller's plain name -> compiled pattern of its indirect targets' plain names
        self.known_indirect = known_indirect or {}
        self.demangled = demangled or {}
        # static functions from the call graph, by their plain name in the image
        self.static = defaultdict(list)
        for title in ci:
            if ":" in title:
                self.static[title.split(":", 1)[1]].append(title)
        self.memo = {}
        self.unknown = set()
        self.problems = []

    def frame(self, name):
        """(bytes, source) of a function's own frame."""
        entries = [self.ci[name]] if name in self.ci else [self.ci[t] for t in self.static.get(name, [])]
        if entries:
            if any("dynamic" in e["kind"] and "bounded" not in e["kind"] for e in entries):
                self.problems.append(f"{name}: frame of dynamic size")
            return max(e["stack"] for e in entries)
        if name in self.dis:
            if self.dis[name]["dynamic"]:
                self.problems.append(f"{name}: frame of dynamic size (disassembly)")
            return self.dis[name]["stack"]
        self.unknown.add(name)
        return 0

    def callees(self, name):
        calls, indirect = set(), False
        entries = [self.ci[name]] if name in self.ci else [self.ci[t] for t in self.static.get(name, [])]
        for e in entries:
            calls |= {c.split(":", 1)[1] if ":" in c else c for c in e["calls"]}
            indirect = indirect or e["indirect"]
        if name in self.dis:
            calls |= self.dis[name]["calls"]
            indirect = indirect or self.dis[name]["indirect"]
        calls = {c for c in calls if c in self.by_name and c != name}
        if indirect:
            targets = self.address_taken
            known = self.known_indirect.get(plain_name(name, self.demangled))
            if known is not None:
                targets = {t for t in targets if known.fullmatch(plain_name(t, self.demangled))}
            calls |= {t for t in targets if t != name}
        return calls

    def worst(self, name, stack=()):
        """(bytes, path) of the deepest call chain from name."""
        if name in self.memo:
            return self.memo[name]
        if name in stack:
            cycle = " -> ".join(stack[stack.index(name):] + (name,))
            raise Failure(f"recursion, the stack has no bound: {cycle} (reached by {' -> '.join(stack[:stack.index(name)])})")
        own = self.frame(name)
        best, best_path = 0, ()
        for callee in sorted(self.callees(name)):
            cost, path = self.worst(callee, stack + (name,))
            if cost > best:
                best, best_path = cost, path
        self.memo[name] = (own + best, (f"{name} ({own})",) + best_path)
        return self.memo[name]


# ---- Interrupt priorities -----------------------------------------------------------

def read_priorities(sources, declared, hal_conf):
    """Handler name -> pre-emption priority, from the sources' HAL_NVIC_SetPriority calls
    with literal priorities, the declared list, and the HAL tick's configuration."""
    found = {}
    for path in sources:
        with open(path, errors="replace") as f:
            text = f.read()
        for m in re.finditer(r"HAL_NVIC_SetPriority\s*\(\s*(\w+)_IRQn\s*,\s*(\d+)U?\s*,", text):
            handler = "SysTick_Handler" if m.group(1) == "SysTick" else \
                m.group(1) + ("_Handler" if m.group(1) in ("NonMaskableInt", "SVCall", "PendSV") else "_IRQHandler")
            found[handler] = int(m.group(2))
    result = dict(found)
    for item in declared:
        handler, _, value = item.partition("=")
        if not value.isdigit():
            raise Failure(f"IRQ_PRIORITIES entry '{item}' is not <handler>=<priority>")
        if handler in found and found[handler] != int(value):
            raise Failure(f"{handler}: the sources set priority {found[handler]}, IRQ_PRIORITIES says {value}")
        result[handler] = int(value)
    with open(hal_conf) as f:
        m = re.search(r"#define\s+TICK_INT_PRIORITY\s+(\d+)", f.read())
    if m and "SysTick_Handler" not in result:
        result["SysTick_Handler"] = int(m.group(1))
    return result


# ---- Main ---------------------------------------------------------------------------

def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--elf", required=True)
    ap.add_argument("--name", required=True)
    ap.add_argument("--tools-prefix", default="arm-none-eabi-")
    ap.add_argument("--startup-object", nargs="+", required=True)
    ap.add_argument("--image-objects", nargs="+", required=True, help="folders of the image's own objects")
    ap.add_argument("--object-dirs", nargs="+", required=True, help="folders of every object linked")
    ap.add_argument("--device-header", required=True)
    ap.add_argument("--hal-conf", required=True)
    ap.add_argument("--sources", nargs="*", default=[])
    ap.add_argument("--priorities", nargs="*", default=[])
    ap.add_argument("--indirect-calls", nargs="*", default=[],
                    help="CALLER=TARGETS: regular expressions over plain function names; the "
                         "indirect calls of the callers reach only those targets")
    ap.add_argument("--report", required=True)
    args = ap.parse_args()
    prefix = args.tools_prefix
    lines = []
    errors = []

    def say(text=""):
        lines.append(text)

    # ---- Vector table ----
    elf = Elf(args.elf)
    with open(args.device_header) as f:
        irq_count = max(int(n) for n in re.findall(r"\w+_IRQn\s*=\s*(\d+)", f.read())) + 1
    vectors = elf.section(".isr_vector")
    entries = len(elf.words(vectors)) if vectors else 0
    if entries != 16 + irq_count:
        errors.append(f"the vector table has {entries} entries, the STM32L431 has 16 + {irq_count}")
    if vectors and entries >= 2:
        words = elf.words(vectors)
        if words[0][1] != RAM_BASE + RAM_SIZE:
            errors.append(f"the initial stack pointer is 0x{words[0][1]:08X}, not the top of RAM")
        for index, (_, word) in enumerate(words[1:], start=1):
            if word != 0 and not word & 1:
                errors.append(f"vector {index} (0x{word:08X}) is not a Thumb address")
    vector_names = set()
    for obj in args.startup_object:
        for line in tool(prefix, "nm", "--defined-only", obj).splitlines():
            parts = line.split()
            if len(parts) == 3 and HANDLER.match(parts[2]):
                vector_names.add(parts[2])
    # The image's global functions that are, or look like, interrupt handlers: named like
    # one, or within a typo of a vector's name.
    defined = {}
    for obj in objects_in(args.image_objects):
        for line in tool(prefix, "nm", "--defined-only", "-C", obj).splitlines():
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[1] in "TW":
                name = parts[2]
                bare = name.split("(")[0]
                if HANDLER.match(bare) or difflib.get_close_matches(bare, vector_names, 1, 0.85):
                    defined[name] = os.path.basename(obj)
    for name, where in sorted(defined.items()):
        bare = name.split("(")[0]
        if "(" in name and bare in vector_names:
            errors.append(f"{name} ({where}) has C++ linkage: declare it extern \"C\", or the vector table "
                          f"never reaches it")
        elif bare not in vector_names:
            close = difflib.get_close_matches(bare, vector_names, 1, 0.85)
            hint = f" (did you mean {close[0]}?)" if close else ""
            errors.append(f"{name} ({where}) is not an interrupt vector of the STM32L431{hint}: never called")
    say(f"{args.name}: vector table of {entries} entries; handlers defined by the image: "
        f"{', '.join(sorted(n for n in defined if '(' not in n)) or 'none'}")

    # ---- Sizes ----
    flash = ram_data = 0
    for s in elf.sections:
        if not s["flags"] & 2 or s["size"] == 0:  # not allocated
            continue
        if FLASH_BASE <= s["addr"] < FLASH_BASE + FLASH_SIZE:
            flash += s["size"]
        elif RAM_BASE <= s["addr"] < RAM_BASE + RAM_SIZE:
            ram_data += s["size"]
            if s["name"] == ".data":
                flash += s["size"]  # its initial values are loaded from flash
    by_name, by_address = read_symbols(prefix, args.elf)
    sym = {}
    for line in tool(prefix, "nm", args.elf).splitlines():
        parts = line.split()
        if len(parts) == 3:
            sym[parts[2]] = int(parts[0], 16)
    stack_reserved = sym.get("__stack_size", 0)

    # ---- Stack ----
    ci = read_callgraphs(args.object_dirs)
    dis = disassemble(prefix, args.elf, by_name)
    taken = set()
    for s in elf.sections:
        if s["name"] == ".isr_vector" or not s["flags"] & 2:
            continue
        for _, word in elf.words(s):
            if word & 1 and (word & ~1) in by_address:
                taken.update(by_address[word & ~1])
    demangled = {}
    names = sorted(by_name)
    if names:
        out = subprocess.run([prefix + "c++filt"], input="\n".join(names), capture_output=True,
                             text=True, check=True).stdout.splitlines()
        demangled = dict(zip(names, out))
    known = {caller: re.compile(targets) for caller, targets in library_indirect(by_name).items()}
    # __libc_init_array runs the constructors listed in .preinit_array and .init_array.
    ctors = set()
    for s_ in elf.sections:
        if s_["name"] in (".preinit_array", ".init_array"):
            for _, word in elf.words(s_):
                ctors.update(by_address.get(word & ~1, []))
    known["__libc_init_array"] = re.compile("|".join(re.escape(plain_name(c, demangled)) for c in ctors)
                                            or "(?!)")
    taken |= ctors
    for entry in args.indirect_calls:
        caller, _, targets = entry.partition("=")
        for symbol in by_name:
            if re.fullmatch(caller, plain_name(symbol, demangled)):
                known[plain_name(symbol, demangled)] = re.compile(targets)
    model = StackModel(ci, dis, by_name, taken, known, demangled)
    priorities = read_priorities(args.sources, args.priorities, args.hal_conf)

    main_cost, main_path = model.worst("Reset_Handler")
    levels = defaultdict(list)  # level -> [(cost, handler, path)]
    vector_words = elf.words(vectors) if vectors else []
    undeclared = []
    for index, (_, word) in enumerate(vector_words[2:], start=2):
        names = by_address.get(word & ~1, [])
        if not names:
            continue
        handler = next((n for n in names if HANDLER.match(n) or n == "Default_Handler"), names[0])
        if index < 16:
            vector = CORE_VECTORS[index - 1]
        else:
            vector = None
        real = "Default_Handler" not in names
        if not real:
            levels["unexpected interrupt"].append((0, "Default_Handler", ("Default_Handler (0)",)))
            continue
        cost, path = model.worst(handler)
        if vector in ("NMI_Handler",):
            level = "NMI"
        elif vector in ("HardFault_Handler", "MemManage_Handler", "BusFault_Handler", "UsageFault_Handler"):
            level = "fault"
        elif handler in priorities:
            level = priorities[handler]
        elif vector in ("SVC_Handler", "DebugMon_Handler", "PendSV_Handler"):
            level = 0  # their priority after reset
        else:
            level = f"undeclared {handler}"
            undeclared.append(handler)
        levels[level].append((cost, handler, path))
    if model.problems:
        errors += sorted(set(model.problems))

    total = main_cost
    say(f"  main stack:  {main_cost:6d} B  {' > '.join(main_path)}")
    order = sorted((lv for lv in levels if isinstance(lv, int)), reverse=True)
    order += sorted(lv for lv in levels if isinstance(lv, str))
    for level in order:
        cost, handler, path = max(levels[level])
        total += cost + FRAME
        label = f"priority {level}" if isinstance(level, int) else level
        say(f"  + {label}: {cost:6d} B + {FRAME} B frame  {' > '.join(path)}")
    for handler in undeclared:
        say(f"  note: the priority of {handler} is not known (no literal HAL_NVIC_SetPriority in the "
            f"sources, not in IRQ_PRIORITIES): counted as nesting over everything")
    if model.unknown:
        say(f"  note: no stack figure for {', '.join(sorted(model.unknown))} (counted as 0)")

    ram_total = ram_data  # .data, .bss and ._heap_and_stack (the heap reservation)
    ram_with_stack = ram_total + total
    say(f"  worst-case stack with interrupt nesting: {total} B (reserved by the linker: {stack_reserved} B)")
    say(f"  flash: {flash} B of {FLASH_BUDGET} B budget ({100.0 * flash / FLASH_BUDGET:.1f} %; "
        f"{FLASH_SIZE - 4096} B usable, {FLASH_SIZE} B chip)")
    say(f"  RAM:   {ram_total} B data, bss and heap + {total} B worst-case stack = {ram_with_stack} B of "
        f"{RAM_SIZE} B ({100.0 * ram_with_stack / RAM_SIZE:.1f} %; margin kept free: {RAM_MARGIN} B)")
    if flash > FLASH_BUDGET:
        errors.append(f"flash {flash} B exceeds the budget of {FLASH_BUDGET} B")
    if ram_with_stack > RAM_SIZE - RAM_MARGIN:
        errors.append(f"RAM {ram_with_stack} B leaves less than the {RAM_MARGIN} B margin")
    if total > stack_reserved:
        errors.append(f"the worst-case stack {total} B exceeds the {stack_reserved} B the linker reserves "
                      f"(raise STACK_SIZE of add_board_image)")

    for e in errors:
        say(f"  ERROR: {e}")
    text = "\n".join(lines) + "\n"
    with open(args.report, "w") as f:
        f.write(text)
    sys.stdout.write(text)
    return 1 if errors else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as e:
        sys.stderr.write(f"image_report: {e}\n")
        sys.exit(1)
