#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "LPF.h"
#include "set_lpf.h"

namespace {

std::string Printed(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7f", static_cast<double>(v));
    return buf;
}

TEST(Filters, CoefficientsAreThePrintedValues) {
    InitLPF();
    EXPECT_EQ(w0, 62.8f);
    EXPECT_EQ(Printed(a1), "-0.8818216");
    EXPECT_EQ(Printed(b0), "0.0590892");
    EXPECT_EQ(b0, b1);
    set_lpf f;
    EXPECT_EQ(set_lpf_init(&f, 50, 5), 0);
    EXPECT_EQ(Printed(f.a1), "-0.5220700");  // single-precision evaluation would give ...701
    EXPECT_EQ(Printed(f.b0), "0.2389650");
}

TEST(Filters, Steps) {
    InitLPF();
    float in = 1.0f, out = 0.0f, prevIn = 0.0f, prevOut = 0.0f;
    LPF(&in, &out, &prevIn, &prevOut);
    EXPECT_EQ(Printed(out), "0.0590892");
    EXPECT_EQ(prevOut, out);
    for (int i = 1; i < 8; ++i) LPF(&in, &out, &prevIn, &prevOut);
    EXPECT_GT(out, 0.55f);  // time constant of about 8 steps
    EXPECT_LT(out, 0.70f);

    set_lpf f;
    set_lpf_init(&f, 50, 5);
    set_lpf_work(&f, 1.0f, -2.0f, 0.0f);
    EXPECT_EQ(Printed(f.ox), "0.2389650");
    set_lpf_work(&f, 1.0f, -2.0f, 0.0f);
    EXPECT_EQ(f.oy, -2.0f * f.ox);  // each axis its own state; power-of-two scale is exact
    EXPECT_EQ(f.oz, 0.0f);
}

}  // namespace
