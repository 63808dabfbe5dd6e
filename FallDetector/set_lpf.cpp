#include "set_lpf.h"

#include "LPF.h"

int set_lpf_init(set_lpf *lpf, int fs, int fc) {
    const LpfCoefficients c =
        LpfComputeCoefficients(static_cast<float>(fc), static_cast<float>(fs));
    lpf->a1 = c.a1;
    lpf->b0 = c.b0;
    lpf->b1 = c.b1;
    lpf->ix = lpf->iy = lpf->iz = 0.0f;
    lpf->ox = lpf->oy = lpf->oz = 0.0f;
    return 0;
}

int set_lpf_work(set_lpf *lpf, float x, float y, float z) {
    lpf->ox = LpfStep(lpf->b0, lpf->b1, lpf->a1, x, lpf->ix, lpf->ox);
    lpf->ix = x;
    lpf->oy = LpfStep(lpf->b0, lpf->b1, lpf->a1, y, lpf->iy, lpf->oy);
    lpf->iy = y;
    lpf->oz = LpfStep(lpf->b0, lpf->b1, lpf->a1, z, lpf->iz, lpf->oz);
    lpf->iz = z;
    return 0;
}
