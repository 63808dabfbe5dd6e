#pragma once
// Three-axis first-order low-pass filter with its own coefficients.

typedef struct {
    float a1;  // feedback coefficient
    float b0;  // coefficient of the current input
    float b1;  // coefficient of the previous input
    float ix;  // previous inputs
    float iy;
    float iz;
    float ox;  // outputs, which are also the previous outputs
    float oy;
    float oz;
} set_lpf;

// Coefficients for sampling frequency fs and cut-off fc (both Hz); clears the state. Returns 0.
int set_lpf_init(set_lpf *lpf, int fs, int fc);
// One filter step on each axis; the results are left in ox, oy, oz. Returns 0.
int set_lpf_work(set_lpf *lpf, float x, float y, float z);
