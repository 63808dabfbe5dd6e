#include "ExpectedStreams.h"

namespace regression {

// One engine's data: the device engine's by default, the variant's programs name theirs.
#ifndef EXPECTED_STREAMS_INC
#define EXPECTED_STREAMS_INC "expected_streams.inc"
#endif
#include EXPECTED_STREAMS_INC

const std::size_t kExpectedStreamCount = sizeof(kExpectedStreams) / sizeof(kExpectedStreams[0]);

bool matches(const ExpectedStream &want, const fall_replay::RunSummary &got, Line &reason) {
    reason.text(want.name).text(": ");
    if (got.samples != want.samples) {
        reason.text("sample count ").num(got.samples).text(", expected ").num(want.samples);
        return false;
    }
    if (got.positiveCount != want.positiveCount) {
        reason.text("positive results ").num(got.positiveCount).text(", expected ");
        reason.num(want.positiveCount);
        if (got.positiveCount > 0) {
            reason.text("; first at sample ").num(got.positives[0].index).text(" type ");
            reason.num(got.positives[0].type);
        }
        return false;
    }
    for (uint32_t i = 0; i < want.positiveCount && i < fall_replay::kMaxPositives; ++i) {
        const fall_replay::Positive &w = want.positives[i];
        const fall_replay::Positive &g = got.positives[i];
        if (w.index != g.index || w.type != g.type) {
            reason.text("positive result ").num(i).text(" is sample ").num(g.index);
            reason.text(" type ").num(g.type).text(", expected sample ").num(w.index);
            reason.text(" type ").num(w.type);
            return false;
        }
    }
    if (got.hash != want.hash) {
        reason.text("output hash ").hex(got.hash).text(", expected ").hex(want.hash);
        return false;
    }
    reason.text("ok");
    return true;
}

}  // namespace regression
