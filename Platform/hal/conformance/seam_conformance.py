#!/usr/bin/env python3
"""Conformance of the board seam with the vendor's headers.

The seam (Platform/hal) must say exactly what the pinned vendor headers say. This
test compiles the two separately and compares everything both declare:

  * names: every name the seam declares must exist in the vendor's headers;
  * functions and variables: their types;
  * types: every typedef (resolved type, size), every field of every structure
    (offset and type, const and volatile included);
  * constants: every object-like macro and enumerator with a constant value (type
    and value);
  * macros that are not constants: object-like expressions are evaluated, the
    __HAL_* and other function-like macros are run with the arguments of
    macro_cases.py on plain-memory register blocks, on both sides, and the values
    they give and every byte they write are compared; macros that are not
    expressions (attributes, qualifiers) are compared by their expansion.

A difference fails the test unless kept_differences.txt lists it, with the reason
(only where the vendor's behaviour cannot be had on the host). An entry of that
file that no longer matches a difference fails the test too.
"""
import argparse
import fnmatch
import json
import os
import re
import subprocess
import sys
from collections import OrderedDict
from concurrent.futures import ThreadPoolExecutor

import macro_cases

HERE = os.path.dirname(os.path.abspath(__file__))


class Side:
    """One set of headers: its include path, the directories whose declarations
    are its own (the rest are the C library's and the shared configuration's), and
    the compiler flags it needs."""

    def __init__(self, name, includes, own_dirs, defines, chip_defines, cxx_flags):
        self.name = name
        self.includes = includes
        self.own_dirs = [os.path.realpath(d) for d in own_dirs]
        self.defines = defines  # the side's own, as a firmware build gives them
        self.chip_defines = chip_defines  # declarations as the chip's compiler sees them
        self.cxx_flags = cxx_flags

    def include_flags(self, chip=True):
        defines = self.defines + (self.chip_defines if chip else [])
        return [f"-I{d}" for d in self.includes] + [f"-D{d}" for d in defines]

    def owns(self, path, name=None):
        if path == "<command-line>":
            return name is not None and name in [d.split("=")[0] for d in self.defines]
        if not os.path.isabs(path) and not os.path.isfile(path):
            return False
        real = os.path.realpath(path)
        return any(real.startswith(d + os.sep) for d in self.own_dirs)


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


# ---- Declarations -------------------------------------------------------------------

class Macro:
    def __init__(self, name, params, body):
        self.name = name
        self.params = params  # None for an object-like macro
        self.body = body


def read_macros(side, cxx, work):
    """Every macro the side's own headers define, from the preprocessor's -dD output
    with the files it came from."""
    entry = os.path.join(work, f"macros_{side.name}.cpp")
    with open(entry, "w") as f:
        f.write('#include "stm32l4xx_hal.h"\n')
    out = run([cxx, "-std=c++17", "-E", "-dD", *side.include_flags(), entry])
    if out.returncode != 0:
        sys.exit(f"{side.name}: preprocessing failed:\n{out.stderr}")
    macros = OrderedDict()
    current = ""
    for text in out.stdout.splitlines():
        m = re.match(r'^# \d+ "(.*)"', text)
        if m:
            current = m.group(1)
            continue
        m = re.match(r"^#define (\w+)(\(([^)]*)\))?(?:\s(.*))?$", text)
        if m and side.owns(current, m.group(1)):
            params = None
            if m.group(2) is not None:
                params = [p.strip() for p in m.group(3).split(",") if p.strip()]
            macros[m.group(1)] = Macro(m.group(1), params, (m.group(4) or "").strip())
            continue
        m = re.match(r"^#undef (\w+)", text)
        if m:
            macros.pop(m.group(1), None)
    return macros


class Declarations:
    """What the side's own headers declare, from clang's AST (as C)."""

    def __init__(self):
        self.functions = []
        self.variables = []
        self.typedefs = OrderedDict()  # name -> ("record", fields) | ("enum", None) | ("other", None)
        self.enumerators = []

    def names(self):
        return set(self.functions) | set(self.variables) | set(self.typedefs) | set(self.enumerators)


def read_declarations(side, clang, work):
    entry = os.path.join(work, f"declarations_{side.name}.c")
    with open(entry, "w") as f:
        f.write('#include "stm32l4xx_hal.h"\n')
    out = run([clang, "-x", "c", "-std=gnu11", "-w", "-fsyntax-only", "-Xclang", "-ast-dump=json",
               *side.include_flags(), entry])
    if out.returncode != 0 or not out.stdout:
        sys.exit(f"{side.name}: clang could not read the headers as C:\n{out.stderr[:4000]}")
    tree = json.loads(out.stdout)
    decls = Declarations()
    records = {}
    state = {"file": ""}

    def follow(loc):
        if not isinstance(loc, dict):
            return
        for key in ("spellingLoc", "expansionLoc"):
            follow(loc.get(key))
        if "file" in loc:
            state["file"] = loc["file"]

    def fields_of(record):
        fields = []
        for child in record.get("inner", []):
            if child.get("kind") == "FieldDecl":
                if child.get("name"):
                    fields.append(child["name"])
            elif child.get("kind") == "RecordDecl" and not child.get("name"):
                # anonymous struct or union: its members belong to the outer record
                fields.extend(fields_of(child))
        return fields

    def walk(node, depth):
        follow(node.get("loc"))
        own_file = state["file"]
        rng = node.get("range", {})
        follow(rng.get("begin"))
        follow(rng.get("end"))
        kind = node.get("kind")
        if kind == "RecordDecl" and node.get("completeDefinition"):
            records[node["id"]] = node
        mine = side.owns(own_file) and not node.get("isImplicit")
        if mine and depth <= 2:
            name = node.get("name")
            if kind == "FunctionDecl":
                decls.functions.append(name)
            elif kind == "VarDecl":
                decls.variables.append(name)
            elif kind == "TypedefDecl":
                decls.typedefs[name] = typedef_kind(node)
        if mine and kind == "EnumConstantDecl":
            decls.enumerators.append(node["name"])
        for child in node.get("inner", []):
            walk(child, depth + 1)

    def typedef_kind(node):
        for child in node.get("inner", []):
            for grand in [child] + child.get("inner", []):
                if grand.get("kind") == "RecordType" and grand.get("decl", {}).get("id") in records:
                    if node["type"]["qualType"].endswith("*"):
                        continue
                    return ("record", fields_of(records[grand["decl"]["id"]]))
                if grand.get("kind") == "EnumType":
                    return ("enum", None)
        return ("other", None)

    walk(tree, 0)
    for lst in (decls.functions, decls.variables, decls.enumerators):
        lst[:] = list(OrderedDict.fromkeys(lst))
    return decls


# ---- Probes -------------------------------------------------------------------------

class Probe:
    """A generated C++ program compiled and run on one side. Items are single lines;
    an item that does not compile on a side is dropped there and reported (the
    first error message is kept)."""

    def __init__(self, name, prelude, items, main_body="", link_flags=()):
        self.name = name
        self.prelude = prelude
        self.items = items  # key -> line
        self.main_body = main_body
        self.link_flags = list(link_flags)

    def source(self, keys):
        lines = ['#include "stm32l4xx_hal.h"', '#include "probe_support.h"', *self.prelude.splitlines(), "",
                 "static void probe_items() {"]
        index = {}
        for key in keys:
            index[len(lines) + 1] = key
            lines.append(self.items[key])
        lines.append("}")
        lines.append("int main() {")
        lines.append(self.main_body)
        lines.append("  probe_items();")
        lines.append("  return 0;")
        lines.append("}")
        return "\n".join(lines) + "\n", index

    def run(self, side, cxx, work, chip=True):
        keys = list(self.items)
        failed = OrderedDict()
        path = os.path.join(work, f"{self.name}_{side.name}.cpp")
        exe = path[:-4]
        out = None
        for _ in range(12):
            text, index = self.source(keys)
            with open(path, "w") as f:
                f.write(text)
            cmd = [cxx, "-std=c++17", "-O0", "-w", "-ftrack-macro-expansion=0", "-fmax-errors=0",
                   "-Wno-invalid-offsetof", *side.cxx_flags, f"-I{HERE}", *side.include_flags(chip),
                   path, "-o", exe, *self.link_flags]
            out = run(cmd)
            if out.returncode == 0:
                break
            bad = OrderedDict()
            for m in re.finditer(rf"^{re.escape(path)}:(\d+):\d+: error: (.*)$", out.stderr, re.M):
                line = int(m.group(1))
                if line in index and index[line] not in bad:
                    bad[index[line]] = m.group(2)
            if not bad:
                sys.exit(f"{self.name} ({side.name}) does not compile:\n{out.stderr[:4000]}")
            failed.update(bad)
            keys = [k for k in keys if k not in bad]
        else:
            sys.exit(f"{self.name} ({side.name}): still failing after removing items:\n{out.stderr[-3000:]}")
        out = run([exe])
        if out.returncode != 0:
            sys.exit(f"{self.name} ({side.name}) failed:\n{out.stderr[:4000]}")
        facts = OrderedDict()
        for text in out.stdout.splitlines():
            parts = text.split("\t", 2)
            if len(parts) == 3:
                facts[f"{parts[0]}:{parts[1]}"] = parts[2]
        return facts, failed


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def static_items(names, seam_decls):
    """Lines of the static probe: constants, functions, variables, types, fields."""
    items = OrderedDict()
    for name in names["constants"]:
        items[f"const:{name}"] = (f"{{ constexpr auto k = ({name}); probe::constant({c_string(name)}, k); }}")
    for name in names["instances"]:
        items[f"inst:{name}"] = (f'probe::line("inst", {c_string(name)}, probe::type_name<decltype({name})>() + '
                                 f'" at " + std::to_string(reinterpret_cast<uintptr_t>({name})));')
    for name in names["functions"]:
        items[f"func:{name}"] = (f'probe::line("func", {c_string(name)}, '
                                 f"probe::type_name<decltype(&{name})>());")
    for name in names["variables"]:
        items[f"var:{name}"] = (f'probe::line("var", {c_string(name)}, '
                                f"probe::type_name<decltype({name})>());")
    for name in names["typedefs"]:
        kind, _ = seam_decls.typedefs[name]
        extra = ""
        if kind in ("record", "enum"):
            extra = f' + " size " + std::to_string(sizeof({name}))'
        if kind == "enum":
            extra += f' + " of " + probe::type_name<std::underlying_type_t<{name}>>()'
        items[f"type:{name}"] = (f'probe::line("type", {c_string(name)}, '
                                 f"probe::type_name<{name}>(){extra});")
    for record, field in names["fields"]:
        key = f"{record}.{field}"
        items[f"field:{key}"] = (f'probe::line("field", {c_string(key)}, '
                                 f'"offset " + std::to_string(offsetof({record}, {field})) + " " + '
                                 f"probe::type_name<decltype({record}::{field})>());")
    return items


# ---- Comparison ---------------------------------------------------------------------

def as_chip(value):
    """A constant, or the value of a macro use, as the chip has it: long is 32 bits
    there, so a long value is the int or unsigned int of its low 32 bits."""
    head, sep, tail = value.partition(" |")
    m = re.match(r"^(long int|long unsigned int) (-?)0x([0-9a-f]+)(.*)$", head)
    if not m:
        return value
    n = int(m.group(3), 16) * (-1 if m.group(2) else 1)
    if m.group(1) == "long unsigned int":
        head = f"unsigned int 0x{n & 0xFFFFFFFF:x}{m.group(4)}"
    else:
        n = ((n + 0x80000000) & 0xFFFFFFFF) - 0x80000000
        head = f"int {'-' if n < 0 else ''}0x{abs(n):x}{m.group(4)}"
    return head + sep + tail


def compare(seam, vendor, differences):
    """Facts both sides have and that differ. Those equal once long is taken as 32 bits
    are kept apart as ulong: differences."""
    for key, sv in seam.items():
        vv = vendor.get(key)
        if vv is None or sv == vv:
            continue
        if (key.startswith("const:") or key.startswith("case:")) and as_chip(sv) == as_chip(vv):
            differences[f"ulong:{key}"] = (sv, vv)
        else:
            differences[key] = (sv, vv)


def load_kept(path):
    kept = []
    with open(path) as f:
        for number, text in enumerate(f, 1):
            text = text.strip()
            if not text or text.startswith("#"):
                continue
            pattern, sep, reason = text.partition(" -- ")
            if not sep or not reason.strip():
                sys.exit(f"{path}:{number}: an entry is '<difference pattern> -- <reason>'")
            kept.append((pattern.strip(), reason.strip(), number))
    return kept


# ---- Main ---------------------------------------------------------------------------

def both(seam, vendor, work):
    """Runs work(side) for the two sides at once; gives (seam's, vendor's)."""
    with ThreadPoolExecutor(max_workers=2) as pool:
        a, b = pool.submit(work, seam), pool.submit(work, vendor)
        return a.result(), b.result()


def instances(def_path):
    result = []
    with open(def_path) as f:
        for text in f:
            m = re.match(r"^PERIPH\((\w+),\s*(\w+),\s*(0x[0-9A-Fa-f]+)\)", text)
            if m:
                result.append((m.group(1), m.group(2), int(m.group(3), 16)))
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--cxx", required=True)
    ap.add_argument("--clang", required=True)
    ap.add_argument("--seam", nargs="+", required=True, help="the seam's include directories")
    ap.add_argument("--seam-own", nargs="+", required=True)
    ap.add_argument("--vendor", nargs="+", required=True, help="the vendor's include directories")
    ap.add_argument("--vendor-own", nargs="+", required=True)
    ap.add_argument("--common", nargs="*", default=[], help="include directories of both (configuration)")
    ap.add_argument("--instances", required=True, help="the seam's instance list")
    ap.add_argument("--kept", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)

    # -fpermissive on both sides: the vendor's LL inline functions cast register addresses
    # to 32 bits, which C++ refuses on a 64-bit host (harmless here: every register block
    # the probes touch sits below 4 GB).
    device = ["STM32L431xx", "USE_HAL_DRIVER"]  # as every firmware build defines them
    seam = Side("seam", args.seam + args.common, args.seam_own, device, [], ["-fpermissive"])
    # The CMSIS compiler header declares the core intrinsics only for an ARM target;
    # the static facts are taken as the chip's compiler sees them. The run-time cases
    # are compiled without it (the same intrinsics in portable C).
    vendor = Side("vendor", args.vendor + args.common, args.vendor_own, device,
                  ["__ARM_ARCH_7EM__=1"], ["-fpermissive"])

    seam_macros, vendor_macros = both(seam, vendor, lambda side: read_macros(side, args.cxx, args.work))
    seam_decls, vendor_decls = both(seam, vendor, lambda side: read_declarations(side, args.clang, args.work))
    insts = instances(args.instances)

    differences = OrderedDict()
    vendor_names = set(vendor_macros) | vendor_decls.names()

    # Names the seam declares and the vendor does not.
    seam_names = OrderedDict()
    for n in list(seam_macros) + list(seam_decls.names()):
        seam_names[n] = True
    for n in seam_names:
        if n not in vendor_names:
            differences[f"name:{n}"] = ("declared", "not declared")

    # Fields of shared structures: each side's list.
    fields = []
    for name, (kind, flist) in seam_decls.typedefs.items():
        if kind != "record" or name not in vendor_decls.typedefs:
            continue
        _, vlist = vendor_decls.typedefs[name]
        vlist = vlist or []
        for f in flist:
            if f in vlist:
                fields.append((name, f))
            else:
                differences[f"field:{name}.{f}"] = ("field", "no such field")
        for f in vlist:
            if f not in flist:
                differences[f"field:{name}.{f}"] = ("no such field", "field")

    shared = lambda n: n in vendor_names  # noqa: E731
    instance_names = {name for _, name, _ in insts}
    names = {
        "constants": [m.name for m in seam_macros.values()
                      if m.params is None and shared(m.name) and m.name not in instance_names]
        + [e for e in seam_decls.enumerators if shared(e)],
        "instances": [name for _, name, _ in insts if shared(name)],
        "functions": [f for f in seam_decls.functions if shared(f)],
        "variables": [v for v in seam_decls.variables if shared(v)],
        "typedefs": list(seam_decls.typedefs),  # the seam-only ones too: their sizes place the objects
        "fields": fields,
    }

    # ---- Static facts ----
    items = static_items(names, seam_decls)
    preludes = {"seam": macro_cases.SEAM_OBJECTS, "vendor": ""}
    (seam_facts, seam_failed), (vendor_facts, vendor_failed) = both(
        seam, vendor, lambda side: Probe("static", preludes[side.name], items).run(side, args.cxx, args.work))
    for key, err in seam_failed.items():
        if not key.startswith("const:"):
            sys.exit(f"the probe cannot express {key} on the seam side: {err}")
    compare(seam_facts, vendor_facts, differences)
    for key in seam_facts:
        if key not in vendor_facts and shared(key.split(":", 1)[1]):
            differences[key] = (seam_facts[key], "not a constant: " + vendor_failed.get(key, "?")
                                if key.startswith("const:") else "does not compile: " + vendor_failed.get(key, "?"))
    # Instances: objects on the seam, bus addresses on the vendor's side. The type must
    # be the vendor's, and the vendor's address the one of the instance list.
    for _, name, address in insts:
        sv, vv = seam_facts.get(f"inst:{name}"), vendor_facts.get(f"inst:{name}")
        if sv is None or vv is None:
            continue
        differences.pop(f"inst:{name}", None)
        if sv.split(" at ")[0] != vv.split(" at ")[0]:
            differences[f"inst:{name}"] = (sv.split(" at ")[0], vv.split(" at ")[0])
        if int(vv.split(" at ")[1]) != address:
            differences[f"address:{name}"] = (f"0x{address:X} in the instance list", f"0x{int(vv.split(' at ')[1]):X}")
    not_constant = [k[len("const:"):] for k in seam_failed]
    for name in not_constant:
        vk = f"const:{name}"
        if vk in vendor_facts:
            differences[vk] = ("not a constant", vendor_facts[vk])

    # ---- Run-time facts: expressions and function-like macros ----
    record_sizes = {}
    for key, value in seam_facts.items():
        m = re.match(r"^type:(\w+)$", key)
        sm = re.search(r" size (\d+)", value)
        if m and sm:
            record_sizes[m.group(1)] = int(sm.group(1))
    function_macros = OrderedDict((n, m) for n, m in seam_macros.items()
                                  if m.params is not None and shared(n))
    cases, unhandled = macro_cases.cases(function_macros, not_constant, seam_facts, vendor_facts)
    for name, why in unhandled:
        differences[f"untested:{name}"] = (why, "")
    preludes = macro_cases.preludes(insts, record_sizes)
    # A macro that calls a function neither side defines faults at run time instead.
    unresolved = ["-Wl,--unresolved-symbols=ignore-all"]

    def run_cases(side):
        items = OrderedDict((key, lines[0]) for key, lines in cases.items())
        p = Probe("runtime", preludes[side.name], items, main_body=macro_cases.MAIN_BODY, link_flags=unresolved)
        facts, failed = p.run(side, args.cxx, args.work, chip=False)
        # Cases that are not expressions on this side: statement form.
        failures = OrderedDict((k, e) for k, e in failed.items() if cases[k][1] is None)
        failed = [k for k in failed if cases[k][1] is not None]
        if failed:
            items2 = OrderedDict((k, cases[k][1]) for k in failed)
            p2 = Probe("runtime_stmt", preludes[side.name], items2, main_body=macro_cases.MAIN_BODY,
                       link_flags=unresolved)
            facts2, failed2 = p2.run(side, args.cxx, args.work, chip=False)
            failures.update(failed2)
            facts.update((k, "statement " + v) for k, v in facts2.items())
        return facts, failures

    (seam_results, seam_failures), (vendor_results, vendor_failures) = both(seam, vendor, run_cases)
    results = {"seam": seam_results, "vendor": vendor_results}
    failures = {"seam": seam_failures, "vendor": vendor_failures}
    text_names = []
    if args.verbose:
        print(f"not constant on the seam side: {len(not_constant)}; seam cases that did not compile: "
              f"{len(failures['seam'])}")
    for key, err in failures["seam"].items():
        name = key[len("case:"):]
        if name in not_constant:
            text_names.append(name)
        else:
            sys.exit(f"the probe cannot run {key} on the seam side: {err}")
    for key, err in failures["vendor"].items():
        if key not in failures["seam"]:
            differences[key] = ("runs", "does not compile: " + err)
    compare(results["seam"], results["vendor"], differences)

    # ---- Macros that are not expressions: their expansions ----
    text_uses = text_names + macro_cases.expanded_uses()
    expansions = {}
    for side in (seam, vendor):
        path = os.path.join(args.work, f"text_{side.name}.cpp")
        with open(path, "w") as f:
            f.write('#include "stm32l4xx_hal.h"\n')
            for i, use in enumerate(text_uses):
                f.write(f"@@{i}@@ {use}\n")
        out = run([args.cxx, "-std=c++17", "-E", "-P", *side.include_flags(), path])
        got = {}
        for text in out.stdout.splitlines():
            m = re.match(r"^@@(\d+)@@\s*(.*)$", text)
            if m:
                got[text_uses[int(m.group(1))]] = " ".join(re.findall(r"\w+|\S", m.group(2)))
        expansions[side.name] = got
    for use in text_uses:
        s, v = expansions["seam"].get(use), expansions["vendor"].get(use)
        if s != v:
            differences[f"text:{use}"] = (s, v)

    # ---- Report ----
    kept = load_kept(args.kept)
    used = set()
    failing = []
    for key, (s, v) in differences.items():
        reason = None
        for pattern, why, number in kept:
            if fnmatch.fnmatchcase(key, pattern):
                reason = why
                used.add(number)
                break
        if reason is None:
            failing.append((key, s, v))
        elif args.verbose:
            print(f"kept     {key}\n    seam:   {s}\n    vendor: {v}\n    why:    {reason}")
    stale = [(p, n) for p, _, n in kept if n not in used]

    counts = {k: len(v) for k, v in names.items()}
    print(f"compared: {counts['constants']} constant names, {counts['instances']} instances, "
          f"{counts['functions']} functions, "
          f"{counts['variables']} variables, {counts['typedefs']} types, {counts['fields']} fields, "
          f"{len(cases)} macro cases x 3 fills, {len(text_uses)} expansions")
    print(f"differences: {len(differences)} ({len(differences) - len(failing)} kept, {len(failing)} not)")
    for key, s, v in failing:
        print(f"DIFFERENT {key}\n    seam:   {s}\n    vendor: {v}")
    for pattern, number in stale:
        print(f"STALE {os.path.basename(args.kept)}:{number}: '{pattern}' matches no difference")
    return 1 if failing or stale else 0


if __name__ == "__main__":
    sys.exit(main())
