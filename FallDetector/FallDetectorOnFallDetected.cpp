#include "FallDetectorOnFallDetected.h"

namespace {

// The sample count is a plain count up to 2^31 - 2 (about 497 days). Rather than overflow, it
// then moves back by kRebase together with every sample index the detector keeps, so every
// distance between them, and with it every window test, stays what it was, while the warm-up
// and the start-up posture learning, which read the count itself, never come back.
constexpr int32_t kLastPlainCount = INT32_MAX - 1;
constexpr uint32_t kRebase = 1u << 30;
// Indices older than this (about 124 days) are brought up to this age on the way: every
// window the rules look at is far shorter, and it keeps every kept index less than 2^31
// samples from the count until the next rebase.
constexpr uint32_t kOldest = 1u << 29;
// Indices up to this far ahead of the count (the end of the collision watch window) are in
// the future, not in the distant past.
constexpr uint32_t kAhead = 1u << 16;

void Rebase(int32_t *index, int32_t counter) {
    uint32_t age = static_cast<uint32_t>(counter) - static_cast<uint32_t>(*index);
    if (age > kOldest && age <= 0u - kAhead)
        age = kOldest;
    *index = static_cast<int32_t>(static_cast<uint32_t>(counter) - age - kRebase);
}

void RebaseIndices(FALL_DETECTOR *d) {
    const int32_t now = d->wDataCounter;
    Rebase(&d->MaxJumpData.wIndex, now);
    Rebase(&d->MaxJumpData.wJumpStartIndex, now);
    Rebase(&d->FallHistory.wHighFallStartIndex, now);
    Rebase(&d->FallHistory.wHighFallLastIndex, now);
    for (FALL_HISTORY_ITEM &item : d->FallHistory.Items) Rebase(&item.wLastIndex, now);
    Rebase(&d->wCollisionCheckLastIndex, now);
    Rebase(&d->wCollisionRawAccMaxIndex, now);
    d->wDataCounter = static_cast<int32_t>(static_cast<uint32_t>(now) - kRebase);
}

}  // namespace

void FallDetectorAdvance(FALL_DETECTOR *d) {
    d->wFallDataIndex = (d->wFallDataIndex + 1) % FALL_DETECTOR_RING;
    if (d->wDataCounter == kLastPlainCount)
        RebaseIndices(d);
    ++d->wDataCounter;
}

int FallDetectorOnFallDetected(FALL_DETECTOR *d, int type) {
    // A positive result moves the rings on exactly like a quiet sample, so the next call
    // continues from consistent state.
    FallDetectorAdvance(d);
    return type;
}
