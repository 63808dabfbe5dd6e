#pragma once
// The engine's own elementary functions, identical on the host and on the Cortex-M4F.
namespace fdmath {
float asinf(float x);
float atan2f(float y, float x);
double sin(double x);
double cos(double x);
double exp(double x);
double asin(double x);
}  // namespace fdmath
