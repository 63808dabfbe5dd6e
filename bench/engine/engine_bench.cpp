// Samples per second per core of FallDetectorWork, fed with the synthetic streams. The samples
// are generated beforehand so that only the engine is timed; the detector is set up again at
// the start of each pass over a stream, as the firmware does once at start-up.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "FallDetector.h"
#include "fall_synth/Synth.h"

namespace {

std::vector<FALL_DETECTOR_SENSOR_DATA> samplesOf(const fall_synth::StreamDef &def) {
    std::vector<FALL_DETECTOR_SENSOR_DATA> v;
    fall_synth::Generator g(def);
    fall_synth::Sample s;
    while (g.next(s)) v.push_back({s.ax, s.ay, s.az, s.gx, s.gy, s.gz});
    return v;
}

void runStreams(benchmark::State &state, const std::vector<const fall_synth::StreamDef *> &defs) {
    std::vector<std::vector<FALL_DETECTOR_SENSOR_DATA>> streams;
    for (const auto *d : defs) streams.push_back(samplesOf(*d));
    FALL_DETECTOR_CFG cfg;
    FallDetectorSetDefaultConfig(&cfg);
    auto det = std::make_unique<FALL_DETECTOR>();
    int64_t samples = 0;
    for (auto _ : state) {
        for (const auto &v : streams) {
            state.PauseTiming();
            FallDetectorSet(det.get(), &cfg);
            state.ResumeTiming();
            for (const auto &s : v) benchmark::DoNotOptimize(FallDetectorWork(det.get(), &s));
            samples += static_cast<int64_t>(v.size());
        }
    }
    state.SetItemsProcessed(samples);  // reported as items_per_second = samples per second
}

void BM_AllStreams(benchmark::State &state) {
    std::vector<const fall_synth::StreamDef *> defs;
    for (std::size_t i = 0; i < fall_synth::streamCount(); ++i)
        defs.push_back(&fall_synth::stream(i));
    runStreams(state, defs);
}
BENCHMARK(BM_AllStreams)->Unit(benchmark::kMillisecond);

void BM_Stream(benchmark::State &state, const char *name) {
    runStreams(state, {fall_synth::findStream(name)});
}
BENCHMARK_CAPTURE(BM_Stream, standing, "standing")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stream, walking, "walking")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stream, tumbling_fall, "tumbling_fall")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
