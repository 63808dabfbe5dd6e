#include "LPF.h"

float CutOffFrequency = 10.0f;
float SamplingFrequency = 500.0f;
float w0 = 0.0f;
float a1 = 0.0f;
float b0 = 0.0f;
float b1 = 0.0f;

LpfCoefficients LpfComputeCoefficients(float fc, float fs) {
    // Evaluated in double with the constant 6.28 (not 2*pi) and rounded once when stored:
    // these are the coefficient values the detector has always used.
    const double w = static_cast<double>(fc) * 6.28;
    const double d = 2.0 * static_cast<double>(fs);
    LpfCoefficients c;
    c.w = static_cast<float>(w);
    c.a1 = static_cast<float>((w - d) / (d + w));
    c.b0 = static_cast<float>(w / (d + w));
    c.b1 = c.b0;
    return c;
}

void InitLPF() {
    const LpfCoefficients c = LpfComputeCoefficients(CutOffFrequency, SamplingFrequency);
    w0 = c.w;
    a1 = c.a1;
    b0 = c.b0;
    b1 = c.b1;
}

float LpfStep(float b0c, float b1c, float a1c, float x, float xPrev, float yPrev) {
    // Each product and sum is rounded to float on its own (no contraction, no wider
    // intermediates), so the result is the same on every platform.
    const float t0 = b0c * x;
    const float t1 = b1c * xPrev;
    const float s = t0 + t1;
    const float t2 = a1c * yPrev;
    return s - t2;
}

void LPF(float *in, float *out, float *prevIn, float *prevOut) {
    const float y = LpfStep(b0, b1, a1, *in, *prevIn, *prevOut);
    *out = y;
    *prevOut = y;
    *prevIn = *in;
}
