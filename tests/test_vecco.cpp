#include "vecco.h"

#include <cmath>

#include <gtest/gtest.h>

TEST(Vecco, DefaultIsAllZeros) {
    fcolor C;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(C[i], 0.0f);
    iloc L;
    EXPECT_EQ(L[0], 0);
    EXPECT_EQ(L[1], 0);
    rpos P = mkrpos(1, 2, 3);
    P.clear();
    EXPECT_TRUE(P.zero());
}

TEST(Vecco, ComponentsAreContiguousBehindThePointer) {
    fcolor C = mkfcolor(0.1f, 0.2f, 0.3f, 0.4f);
    const float* F = C;
    EXPECT_EQ(F, &C[0]);
    EXPECT_EQ(F[3], 0.4f);
}

TEST(Vecco, ArithmeticIsElementWise) {
    rpos A = mkrpos(1, 2, 3);
    EXPECT_EQ(A + mkrpos(10, 20, 30), mkrpos(11, 22, 33));
    EXPECT_EQ(A * 2.0, mkrpos(2, 4, 6));
    EXPECT_EQ(A / 2.0, mkrpos(0.5, 1, 1.5));
    A *= 3.0;
    EXPECT_EQ(A, mkrpos(3, 6, 9));
    A /= 3.0;
    EXPECT_EQ(A, mkrpos(1, 2, 3));
    // Dividing by zero follows floating point rules.
    rpos Z = mkrpos(1, -1, 0) / 0.0;
    EXPECT_TRUE(std::isinf(Z[0]) && Z[0] > 0);
    EXPECT_TRUE(std::isinf(Z[1]) && Z[1] < 0);
    EXPECT_TRUE(std::isnan(Z[2]));
}

TEST(Vecco, Length) {
    EXPECT_EQ(length(mkrpos(3, 4, 0)), 5.0);
    EXPECT_EQ(length_squared(mkrpos(1, 2, 2)), 9.0);
}

TEST(Vecco, SafeNormalize) {
    struct Case { rpos In, Out; };
    const Case Cases[] = {
        {mkrpos(0, 0, 0), mkrpos(1, 0, 0)},
        {mkrpos(3, 4, 0), mkrpos(0.6, 0.8, 0)},
        {mkrpos(-2, 0, 0), mkrpos(-1, 0, 0)},
        {mkrpos(0, 0, -0.0), mkrpos(1, 0, 0)},
    };
    for (const Case& C : Cases) {
        rpos V = C.In;
        safe_normalize(V);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(V[i], C.Out[i], 1e-15) << i;
    }
}

TEST(Vecco, SafeNormalizeOfNaNLengthGivesNaNEverywhere) {
    rpos V = mkrpos(1, NAN, 0);
    safe_normalize(V);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isnan(V[i])) << i;
}
