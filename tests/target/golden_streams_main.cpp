// Cortex-M4F run of the synthetic streams: generates every stream on the target with the
// same generator code as the host, runs the engine and compares each stream's positive results
// and hash of per-sample observable output with the committed regression data. Built once per
// engine, with that engine's catalogue and data.
#include "TestSupport.h"
#include "fall_synth/Run.h"

int main() {
    static FALL_DETECTOR detector;  // large: static storage, not the stack
    target::printLine(fall_replay::engineName());
    target::Checks checks;
    for (std::size_t i = 0; i < regression::kExpectedStreamCount; ++i) {
        const regression::ExpectedStream &want = regression::kExpectedStreams[i];
        const fall_synth::StreamDef *def = fall_synth::findStream(want.name);
        if (!def)
            target::fail("the regression data names a stream the catalogue lacks");
        const fall_replay::RunSummary got = fall_synth::runStream(*def, detector);
        regression::Line reason;
        const bool ok = regression::matches(want, got, reason);
        target::report(reason, checks.count(ok));
    }
    checks.finish("streams checked", "streams differ from the host's regression data",
                  "all streams match the host's regression data");
}
