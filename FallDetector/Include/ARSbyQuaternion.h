#pragma once
// Attitude estimator: gyro integration with a bias estimate, corrected toward gravity
// by a gain that depends on how close the measured acceleration is to 1 g.
#include <cstdint>

#include "Quaternion.h"

typedef struct {
    Quaternion *_Q;          // current attitude; storage assigned by InitARS
    double average_gyro[3];  // gyro bias estimate, degrees per second
    double adjust_rpy[3];    // zeroed at initialisation, not otherwise used
    int32_t count;           // calls of the bias averaging, capped at 10000
} ARSOBJ;

// Gives the estimator its attitude storage set to (1, 0, 0, 0) and clears the rest.
// Returns 0, or -1 when no storage could be found (then _Q is null and ARS does nothing).
int InitARS(ARSOBJ *ars);
// Folds rate into avg when it is the first call or within +-threshold of avg on every
// axis; counts the call up to maxCount.
void GyroAverage(ARSOBJ *ars, double avg[3], const double rate[3], int maxCount, double threshold);
// One attitude step without the rotation matrix: the detector reads the quaternion itself,
// and building the matrix on every sample would cost the device about 1,800 instructions.
void ARSUpdate(ARSOBJ *ars, const double rate[3], const double acc[3], double dt);
// One attitude step: rate in degrees per second, acc in g, dt in seconds. The adjustment
// is not read. Returns the rotation matrix of the new attitude in fixed storage, so the
// per-sample path never allocates (the detector uses ARSUpdate instead).
Matrix3 ARS(ARSOBJ *ars, const double rate[3], const double acc[3], const double adjustment[3],
            double dt);
