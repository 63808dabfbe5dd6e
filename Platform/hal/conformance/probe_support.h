// Run-time support of the conformance probes (see seam_conformance.py). The same
// generated probe is compiled once against the seam's headers and once against the
// vendor's; both print one line per fact ("kind<TAB>key<TAB>value"), and the script
// compares the two outputs. Included after stm32l4xx_hal.h.
#pragma once

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace probe {

// The type as the compiler spells it, typedefs resolved ("volatile unsigned int [2]").
template <class T>
const char* raw_type_name() {
  return __PRETTY_FUNCTION__;
}
template <class T>
std::string type_name() {
  const std::string s = raw_type_name<T>();
  const size_t at = s.find("T = ");
  return s.substr(at + 4, s.size() - at - 5);
}

inline void line(const char* kind, const char* key, const std::string& value) {
  std::printf("%s\t%s\t%s\n", kind, key, value.c_str());
}

// A value as "<type> <value>": integers in hexadecimal (negative ones with a sign),
// enumerators with their enumeration.
template <class T>
std::string value_text(const T& v) {
  using D = std::remove_cv_t<std::remove_reference_t<T>>;
  char buf[64];
  if constexpr (std::is_enum_v<D>) {
    return value_text(static_cast<std::underlying_type_t<D>>(v)) + " of " + type_name<D>();
  } else if constexpr (std::is_integral_v<D>) {
    const long long s = static_cast<long long>(v);
    if (std::is_signed_v<D> && s < 0) {
      std::snprintf(buf, sizeof buf, "-0x%llx", 0ull - static_cast<unsigned long long>(s));
    } else {
      std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    }
    return type_name<D>() + " " + buf;
  } else if constexpr (std::is_floating_point_v<D>) {
    std::snprintf(buf, sizeof buf, "%.17g", static_cast<double>(v));
    return type_name<D>() + " " + buf;
  } else {
    return type_name<D>();
  }
}

template <class T>
void constant(const char* name, const T& v) {
  line("const", name, value_text(v));
}

// ---- Run-time cases -------------------------------------------------------------
// Every case fills the register blocks and the handle arena with a pattern, sets the
// handles' instances, runs one macro use and reports its value and every byte it
// changed. Instances are reported by name and offset, so the seam's objects and the
// vendor's bus addresses compare equal; the handle arena sits at the same address on
// both sides, so pointers to handles that a macro stores compare equal too.

struct Region {
  const char* name;
  uint8_t* base;
  size_t size;
};

inline std::vector<Region>& regions() {
  static std::vector<Region> r;
  return r;
}

constexpr uintptr_t kArenaBase = 0x6F000000u;
constexpr size_t kHandleStride = 0x200u;
constexpr size_t kHandleCount = 64u;

inline void* map_fixed(uintptr_t address, size_t size) {
  void* p = mmap(reinterpret_cast<void*>(address), size, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (p != reinterpret_cast<void*>(address)) {
    std::fprintf(stderr, "probe: cannot map 0x%lx (+0x%zx)\n", static_cast<unsigned long>(address), size);
    std::exit(2);
  }
  return p;
}

// Maps the pages under [address, address + size) that are not mapped yet.
inline void map_pages(uintptr_t address, size_t size) {
  static std::vector<uintptr_t> mapped;
  for (uintptr_t page = address & ~uintptr_t{0xFFF}; page < address + size; page += 0x1000) {
    bool have = false;
    for (uintptr_t m : mapped) have = have || m == page;
    if (!have) {
      map_fixed(page, 0x1000);
      mapped.push_back(page);
    }
  }
}

template <class H>
H* handle(size_t index) {
  static_assert(sizeof(H) <= kHandleStride, "handle larger than its arena slot");
  return reinterpret_cast<H*>(kArenaBase + index * kHandleStride);
}

// Fill patterns: all bits clear, all set, and a mixture.
constexpr int kPatterns = 3;
inline uint8_t fill_byte(int pattern, size_t i) {
  switch (pattern) {
    case 0:
      return 0x00;
    case 1:
      return 0xFF;
    default:
      return static_cast<uint8_t>((i * 0x9Du + 0x5Bu) ^ ((i >> 3) * 0x3Bu));
  }
}

inline void fill(int pattern) {
  size_t k = 0;
  for (Region& r : regions()) {
    for (size_t i = 0; i < r.size; ++i) r.base[i] = fill_byte(pattern, k++);
  }
}

inline std::vector<uint8_t>& baseline() {
  static std::vector<uint8_t> b;
  return b;
}

inline void take_baseline() {
  baseline().clear();
  for (Region& r : regions()) baseline().insert(baseline().end(), r.base, r.base + r.size);
}

// The bytes that differ from the baseline: " region+offset=byte" items.
inline std::string changes() {
  std::string out;
  char buf[80];
  size_t k = 0;
  for (Region& r : regions()) {
    for (size_t i = 0; i < r.size; ++i, ++k) {
      if (r.base[i] != baseline()[k]) {
        std::snprintf(buf, sizeof buf, " %s+0x%zx=%02x", r.name, i, r.base[i]);
        out += buf;
      }
    }
  }
  return out;
}

// An address inside a region as "&region+offset".
inline std::string address_text(uintptr_t a) {
  char buf[80];
  for (Region& r : regions()) {
    const uintptr_t b = reinterpret_cast<uintptr_t>(r.base);
    if (a >= b && a < b + r.size) {
      std::snprintf(buf, sizeof buf, "&%s+0x%lx", r.name, static_cast<unsigned long>(a - b));
      return buf;
    }
  }
  std::snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(a));
  return buf;
}

// The value of a macro use, captured with the comma operator: a void expression
// leaves the Marker alone.
struct Marker {};
struct Value {
  std::string text;
};
template <class T>
Value operator,(T&& v, Marker) {
  using D = std::remove_cv_t<std::remove_reference_t<T>>;
  if constexpr (std::is_pointer_v<D>) {
    return Value{type_name<D>() + " " + address_text(reinterpret_cast<uintptr_t>(v))};
  } else if constexpr (std::is_array_v<D>) {
    return Value{type_name<D>() + " " + address_text(reinterpret_cast<uintptr_t>(&v[0]))};
  } else if constexpr (std::is_same_v<D, uintptr_t>) {
    // an address computed as an integer (FLASHSIZE_BASE on the seam): by region
    const D copy = v;
    const std::string where = address_text(copy);
    return Value{where[0] == '&' ? type_name<D>() + " " + where : value_text(copy)};
  } else {
    const D copy = v;
    return Value{value_text(copy)};
  }
}
inline std::string result_text(const Value& v) {
  return v.text;
}
inline std::string result_text(Marker) {
  return "void";
}

// A case that touches memory outside the regions faults: report it and go on.
inline sigjmp_buf fault_jump;
inline volatile uintptr_t fault_address;
inline void on_fault(int, siginfo_t* info, void*) {
  fault_address = reinterpret_cast<uintptr_t>(info->si_addr);
  siglongjmp(fault_jump, 1);
}
inline void catch_faults() {
  struct sigaction sa {};
  sa.sa_sigaction = on_fault;
  sa.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigaction(SIGSEGV, &sa, nullptr);
  sigaction(SIGBUS, &sa, nullptr);
}

}  // namespace probe

void probe_set_instances();

namespace probe {

// Runs one case on every fill pattern: fill, set the handles' instances, run, report
// the value and the bytes written (or the fault).
inline void run_case(const char* key, std::string (*use)()) {
  for (int pattern = 0; pattern < kPatterns; ++pattern) {
    fill(pattern);
    probe_set_instances();
    take_baseline();
    const std::string name = std::string(key) + "#" + std::to_string(pattern);
    if (sigsetjmp(fault_jump, 1) == 0) {
      const std::string value = use();
      line("case", name.c_str(), value + " |" + changes());
    } else {
      line("case", name.c_str(), "fault at " + address_text(fault_address));
    }
  }
}

}  // namespace probe
