// Cortex-M4F run of the elementary-function vectors: the same sweeps as on the host must give
// the same result hashes, or the engine's numbers differ between the device and the host.
#include "TestSupport.h"
#include "math_vectors.h"

int main() {
    uint64_t got[kVectorCount];
    fdmath_vector_hashes(got);
    target::Checks checks;
    for (int i = 0; i < kVectorCount; ++i) {
        const bool ok = got[i] == kExpectedVectorHashes[i] && kExpectedVectorHashes[i] != 0;
        target::Line line;
        line.text(kVectorNames[i]).text(" ").hex(got[i]);
        if (!ok)
            line.text(" expected ").hex(kExpectedVectorHashes[i]);
        target::report(line, checks.count(ok));
    }
    checks.finish("vectors checked", "elementary functions differ from the expected hashes",
                  "all elementary-function vectors match");
}
