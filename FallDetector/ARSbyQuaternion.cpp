#include "ARSbyQuaternion.h"

#include <cmath>
#include <new>

#include "FallDetectorMath.h"

namespace {

// Attitude storage. The estimator keeps only a pointer to its quaternion, and the
// detector is zeroed byte by byte before InitARS runs, so a quaternion handed out
// earlier cannot be found through the record itself. Instead the storage is keyed by
// the address of the estimator object: initialising the same object again (a detector
// set up again for a new stream) reuses its storage, so setting up again never leaks.
// The first estimators take fixed storage, so the firmware, which sets up its one
// detector once at start-up, never touches the heap. A host program that sets up more
// estimators at distinct addresses gets one heap block for each new address, kept for
// the life of the program (there is no operation that ends a detector).
struct AttitudeSlot {
    const ARSOBJ *owner;
    AttitudeSlot *next;
    alignas(Quaternion) unsigned char storage[sizeof(Quaternion)];
};
constexpr int kFixedAttitudeSlots = 2;
AttitudeSlot g_fixedAttitudeSlots[kFixedAttitudeSlots];
int g_fixedAttitudeSlotsUsed = 0;
AttitudeSlot *g_attitudeSlots = nullptr;

Quaternion *AttitudeStorageFor(const ARSOBJ *ars) {
    AttitudeSlot *slot = g_attitudeSlots;
    while (slot != nullptr && slot->owner != ars) slot = slot->next;
    if (slot == nullptr) {
        slot = (g_fixedAttitudeSlotsUsed < kFixedAttitudeSlots)
                   ? &g_fixedAttitudeSlots[g_fixedAttitudeSlotsUsed++]
                   : new (std::nothrow) AttitudeSlot;
        if (slot == nullptr)
            return nullptr;
        slot->owner = ars;
        slot->next = g_attitudeSlots;
        g_attitudeSlots = slot;
    }
    return reinterpret_cast<Quaternion *>(slot->storage);
}

}  // namespace

int InitARS(ARSOBJ *ars) {
    Quaternion *storage = AttitudeStorageFor(ars);
    ars->_Q = storage ? new (storage) Quaternion() : nullptr;
    for (int i = 0; i < 3; ++i) {
        ars->average_gyro[i] = 0.0;
        ars->adjust_rpy[i] = 0.0;
    }
    ars->count = 0;
    return ars->_Q ? 0 : -1;
}

void GyroAverage(ARSOBJ *ars, double avg[3], const double rate[3], int maxCount, double threshold) {
    const int32_t n = ars->count;
    bool fold = (n == 0);
    if (!fold) {
        fold = true;
        for (int i = 0; i < 3; ++i) {
            const double diff = rate[i] - avg[i];
            if (!(diff > -threshold && diff < threshold))
                fold = false;
        }
    }
    if (fold) {
        for (int i = 0; i < 3; ++i)
            avg[i] = (static_cast<double>(n) * avg[i] + rate[i]) / static_cast<double>(n + 1);
    }
    if (n < maxCount)
        ars->count = n + 1;
}

void ARSUpdate(ARSOBJ *ars, const double rate[3], const double acc[3], double dt) {
    if (ars->_Q == nullptr)
        return;
    Quaternion &q = *ars->_Q;

    GyroAverage(ars, ars->average_gyro, rate, 10000, 10.0);

    double theta[3];
    for (int i = 0; i < 3; ++i)
        theta[i] = (rate[i] - ars->average_gyro[i]) * 0.017453292519943295 * dt;
    q = q * Quaternion(theta[0], theta[1], theta[2]);

    // Measured acceleration in the reference frame, and the rotation that would bring it
    // onto the gravity reference (0, 0, -1).
    const Quaternion qa(0.0, acc[0], acc[1], acc[2]);
    const Quaternion r = (q * qa) * q.i();
    const Vector3 &u = r.v();
    const Vector3 k = Cross(u, Vector3(0.0, 0.0, -1.0));
    const double kLen = Norm2(k);
    const double uLen = Norm2(u);

    // Already aligned (kLen 0) or no acceleration at all (uLen 0): the correction is the
    // identity, and computing it would divide by zero and poison the attitude for good.
    if (kLen != 0.0 && uLen != 0.0) {
        double ratio = kLen / uLen;
        if (ratio > 1.0)
            ratio = 1.0;  // |u x e| <= |u|; guard the arcsine against rounding
        const double alpha = fdmath::asin(ratio);
        const double m = std::sqrt(acc[0] * acc[0] + acc[1] * acc[1] + acc[2] * acc[2]);
        // Full gain 0.1 at 1 g, falling off fast away from it (0.0018 at 0.8 g or 1.2 g).
        const double gamma = 0.1 * fdmath::exp((m - 1) * (m - 1) / -(0.1 * 0.1));
        q = Quaternion(gamma * alpha, k) * q;
    }
}

Matrix3 ARS(ARSOBJ *ars, const double rate[3], const double acc[3], const double adjustment[3],
            double dt) {
    (void)adjustment;
    ARSUpdate(ars, rate, acc, dt);
    return ars->_Q ? ars->_Q->RotationMatrix3() : Quaternion().RotationMatrix3();
}
