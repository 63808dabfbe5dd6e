// Cortex-M4F run of the elementary-function vectors: the same sweeps as on the host must give
// the same result hashes, or the engine's numbers differ between the device and the host.
#include "Semihost.h"
#include "fall_replay/Observe.h"
#include "math_vectors.h"

int main() {
    static const char *const kNames[kVectorCount] = {"asinf", "atan2f", "sin", "cos", "exp", "asin"};
    uint64_t got[kVectorCount];
    fdmath_vector_hashes(got);
    int failures = 0;
    for (int i = 0; i < kVectorCount; ++i) {
        char line[96];
        char *p = line;
        for (const char *s = kNames[i]; *s; ++s) *p++ = *s;
        *p++ = ' ';
        p = fall_replay::putHex64(p, got[i]);
        const bool ok = got[i] == kExpectedVectorHashes[i] && kExpectedVectorHashes[i] != 0;
        if (!ok) {
            const char *e = " expected ";
            while (*e) *p++ = *e++;
            p = fall_replay::putHex64(p, kExpectedVectorHashes[i]);
        }
        *p = '\0';
        target::print(ok ? "  " : "FAIL: ");
        target::printLine(line);
        failures += ok ? 0 : 1;
    }
    if (failures != 0) target::fail("elementary functions differ from the expected hashes");
    target::printLine("all elementary-function vectors match");
    target::exitWith(0);
}
