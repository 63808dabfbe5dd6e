// Cortex-M4F run of the elementary-function vectors: the same sweeps as on the host must give
// the same result hashes, or the engine's numbers differ between the device and the host.
#include "TestSupport.h"
#include "math_vectors.h"

int main() {
    static const char *const kNames[kVectorCount] = {"asinf", "atan2f", "sin",
                                                     "cos",   "exp",    "asin"};
    uint64_t got[kVectorCount];
    fdmath_vector_hashes(got);
    int failures = 0;
    for (int i = 0; i < kVectorCount; ++i) {
        const bool ok = got[i] == kExpectedVectorHashes[i] && kExpectedVectorHashes[i] != 0;
        target::Line line;
        line.text(kNames[i]).text(" ").hex(got[i]);
        if (!ok)
            line.text(" expected ").hex(kExpectedVectorHashes[i]);
        target::report(line, ok);
        failures += ok ? 0 : 1;
    }
    if (failures != 0)
        target::fail("elementary functions differ from the expected hashes");
    target::printLine("all elementary-function vectors match");
    target::exitWith(0);
}
