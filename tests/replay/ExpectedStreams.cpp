#include "ExpectedStreams.h"

namespace regression {

// One engine's data: the device engine's by default, the variant's programs name theirs.
#ifndef EXPECTED_STREAMS_INC
#define EXPECTED_STREAMS_INC "expected_streams.inc"
#endif
#include EXPECTED_STREAMS_INC

const std::size_t kExpectedStreamCount = sizeof(kExpectedStreams) / sizeof(kExpectedStreams[0]);

namespace {
char *put(char *p, const char *s, const char *end) {
    while (*s && p < end) *p++ = *s++;
    return p;
}
char *putNum(char *p, int64_t v, const char *end) {
    char tmp[24];
    char *e = fall_replay::putInt(tmp, v);
    *e = '\0';
    return put(p, tmp, end);
}
}  // namespace

bool matches(const ExpectedStream &want, const fall_replay::RunSummary &got, char *reason) {
    char *p = reason;
    const char *end = reason + kReasonMax - 1;
    p = put(p, want.name, end);
    p = put(p, ": ", end);
    bool ok = true;
    if (got.samples != want.samples) {
        p = put(p, "sample count ", end);
        p = putNum(p, got.samples, end);
        p = put(p, ", expected ", end);
        p = putNum(p, want.samples, end);
        ok = false;
    } else if (got.positiveCount != want.positiveCount) {
        p = put(p, "positive results ", end);
        p = putNum(p, got.positiveCount, end);
        p = put(p, ", expected ", end);
        p = putNum(p, want.positiveCount, end);
        if (got.positiveCount > 0) {
            p = put(p, "; first at sample ", end);
            p = putNum(p, got.positives[0].index, end);
            p = put(p, " type ", end);
            p = putNum(p, got.positives[0].type, end);
        }
        ok = false;
    } else {
        for (uint32_t i = 0; ok && i < want.positiveCount && i < fall_replay::kMaxPositives; ++i) {
            const fall_replay::Positive &w = want.positives[i];
            const fall_replay::Positive &g = got.positives[i];
            if (w.index != g.index || w.type != g.type) {
                p = put(p, "positive result ", end);
                p = putNum(p, i, end);
                p = put(p, " is sample ", end);
                p = putNum(p, g.index, end);
                p = put(p, " type ", end);
                p = putNum(p, g.type, end);
                p = put(p, ", expected sample ", end);
                p = putNum(p, w.index, end);
                p = put(p, " type ", end);
                p = putNum(p, w.type, end);
                ok = false;
            }
        }
        if (ok && got.hash != want.hash) {
            char h[17];
            p = put(p, "output hash ", end);
            *fall_replay::putHex64(h, got.hash) = '\0';
            p = put(p, h, end);
            p = put(p, ", expected ", end);
            *fall_replay::putHex64(h, want.hash) = '\0';
            p = put(p, h, end);
            ok = false;
        }
    }
    if (ok)
        p = put(p, "ok", end);
    *p = '\0';
    return ok;
}

}  // namespace regression
