#pragma once
// The engine's own elementary functions, identical on the host and on the Cortex-M4F.
// Within 1 ulp everywhere. asin and asinf give +-pi/2 for finite arguments beyond +-1 (a
// ratio or a quaternion component that rounded just past the end), NaN for NaN and inf.
// atan2f follows C99 for signed zeros and infinities. Invalid operations give a quiet NaN.
namespace fdmath {
float asinf(float x);
float atan2f(float y, float x);
double sin(double x);
double cos(double x);
double exp(double x);
double asin(double x);
}  // namespace fdmath
