// TEMPORARY: forwards to the C library until the engine's own implementations land.
#include "FallDetectorMath.h"
#include <cmath>
namespace fdmath {
float asinf(float x) { return std::asin(x); }
float atan2f(float y, float x) { return std::atan2(y, x); }
double sin(double x) { return std::sin(x); }
double cos(double x) { return std::cos(x); }
double exp(double x) { return std::exp(x); }
double asin(double x) { return std::asin(x); }
}  // namespace fdmath
