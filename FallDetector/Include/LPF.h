#pragma once
// Single-axis first-order low-pass filter whose coefficients are shared by every
// axis of the engine. The coefficients are written only by InitLPF.

extern float CutOffFrequency;    // Hz, 10.0
extern float SamplingFrequency;  // Hz, 500.0 (the engine is fed 50 Hz: about 1 Hz cut-off)
extern float w0;                 // CutOffFrequency x 6.28
extern float a1;                 // feedback coefficient
extern float b0;                 // coefficient of the current input
extern float b1;                 // coefficient of the previous input

// Bilinear first-order coefficients for cut-off fc and sampling fs, computed in double
// and rounded once to float where stored (the printed values are the contract).
struct LpfCoefficients {
    float w;
    float a1;
    float b0;
    float b1;
};
LpfCoefficients LpfComputeCoefficients(float fc, float fs);

void InitLPF();
// One step: y = b0*x + b1*x_prev - a1*y_prev in single precision, each operation
// rounded on its own; then *out = *prevOut = y and *prevIn = x.
void LPF(float *in, float *out, float *prevIn, float *prevOut);
// The step itself, shared with set_lpf.
float LpfStep(float b0c, float b1c, float a1c, float x, float xPrev, float yPrev);
