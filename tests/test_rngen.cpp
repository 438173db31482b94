#include "rngen.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {
// The tempered 32-bit word behind one draw.
unsigned long word(rngen& R) { return static_cast<unsigned long>(std::llround(R.get() * 4294967295.0)); }

std::vector<unsigned long> words(rngen& R, int N) {
    std::vector<unsigned long> W;
    for (int i = 0; i < N; ++i) W.push_back(word(R));
    return W;
}
}  // namespace

TEST(Rngen, UnseededDrawsAsSeed4357) {
    rngen Fresh;
    EXPECT_EQ(Fresh.mti, 625);
    EXPECT_EQ(Fresh.get(), 0.8173300600185361);
    rngen Unseeded, Seeded;
    Seeded.seed(4357);
    EXPECT_EQ(Seeded.mti, 624);
    std::vector<unsigned long> A = words(Unseeded, 626);
    EXPECT_EQ(A, words(Seeded, 626));
    EXPECT_EQ(A[0], 3510405877UL);
    EXPECT_EQ(A[1], 4290933890UL);
    EXPECT_EQ(A[2], 2191955339UL);
    // The 625th draw is the first word of the second regeneration.
    EXPECT_EQ(A[623], 730882493UL);
    EXPECT_EQ(A[624], 2222118351UL);
    EXPECT_EQ(A[625], 4107301035UL);
    EXPECT_EQ(Seeded.mti, 2);
}

TEST(Rngen, SeedZeroCountsAsOne) {
    rngen Zero, One;
    Zero.seed(0);
    One.seed(1);
    EXPECT_EQ(Zero.mt[0], 1UL);
    std::vector<unsigned long> W = words(Zero, 3);
    EXPECT_EQ(W, words(One, 3));
    EXPECT_EQ(W, (std::vector<unsigned long>{3796174982UL, 4182529786UL, 2180050607UL}));
}

TEST(Rngen, SeedingFillsByMultiplierModulo32Bits) {
    rngen R;
    R.seed(0x1ffffffffUL);  // only the low 32 bits count
    EXPECT_EQ(R.mt[0], 0xffffffffUL);
    EXPECT_EQ(R.mt[1], (69069UL * 0xffffffffUL) & 0xffffffffUL);
    for (int i = 0; i < 624; ++i) EXPECT_LT(R.mt[i], 1UL << 32);
}

TEST(Rngen, ReseedingRestartsTheSequence) {
    rngen R;
    R.seed(77);
    std::vector<unsigned long> First = words(R, 5);
    words(R, 700);
    R.seed(77);
    EXPECT_EQ(words(R, 5), First);
}

TEST(Rngen, GetIndexTakesOneDrawWhateverTheSize) {
    rngen R, Mirror;
    R.seed(9);
    Mirror.seed(9);
    for (int Size : {1, 0, -5}) {
        EXPECT_EQ(R.get_index(Size), 0) << Size;
        Mirror.get();
    }
    EXPECT_EQ(R.get(), Mirror.get());
    for (int i = 0; i < 1000; ++i) {
        double D = Mirror.get();
        int I = R.get_index(10);
        EXPECT_EQ(I, static_cast<int>(10 * D));
        EXPECT_GE(I, 0);
        EXPECT_LT(I, 10);
    }
}

TEST(Rngen, GaussStatistics) {
    rngen R;
    R.seed(12345);
    const int N = 20000;
    double Sum = 0, SumSq = 0;
    for (int i = 0; i < N; ++i) {
        double G = R.gauss(1.0, 0.0);
        Sum += G;
        SumSq += G * G;
    }
    double Mean = Sum / N;
    EXPECT_NEAR(Mean, 0.0, 0.05);
    EXPECT_NEAR(std::sqrt(SumSq / N - Mean * Mean), 1.0, 0.05);
    EXPECT_EQ(R.gauss(0.0, 3.5), 3.5);
    EXPECT_NEAR(R.gauss(2.0, 10.0), 10.0, 20.0);
}

TEST(Rngen, GaussUsesTheFirstDrawOfAnAcceptedPair) {
    rngen R, Mirror;
    R.seed(4);
    Mirror.seed(4);
    double X, Y, S;
    do {
        X = 2 * Mirror.get() - 1;
        Y = 2 * Mirror.get() - 1;
        S = X * X + Y * Y;
    } while (S == 0 || S > 1.0);
    EXPECT_DOUBLE_EQ(R.gauss(1.5, 2.0), 2.0 + 1.5 * X * std::sqrt(-2 * std::log(S) / S));
    EXPECT_EQ(R.get(), Mirror.get());  // the spare deviate is not kept
}

namespace {
// The state word that tempering turns into Tempered: each step of the
// tempering undone, last step first.
unsigned long untemper(unsigned long Tempered) {
    unsigned long Y = Tempered;
    Y ^= Y >> 18;
    Y ^= (Y << 15) & 0xefc60000UL;
    unsigned long X = Y;
    for (int i = 0; i < 4; ++i) X = Y ^ ((X << 7) & 0x9d2c5680UL);
    Y = X;
    for (int i = 0; i < 2; ++i) X = Y ^ (X >> 11);
    return X & 0xffffffffUL;
}

// A generator whose next draw is the tempered word Tempered, midway through
// its state.
rngen drawing(unsigned long Tempered) {
    rngen R;
    R.seed(5);
    R.mti = 311;
    R.mt[R.mti] = untemper(Tempered);
    return R;
}
}  // namespace

TEST(Rngen, DrawsCoverTheClosedIntervalAndIndicesStayInRange) {
    EXPECT_EQ(drawing(0xffffffffUL).get(), 1.0);
    EXPECT_EQ(drawing(0).get(), 0.0);
    EXPECT_EQ(drawing(0x9e3779b9UL).get(), 0x9e3779b9UL / 4294967295.0);

    // The one draw that reaches Size gives 0; the word below it, the last index.
    struct index_case {
        unsigned long tempered;
        int size;
        int index;
    } const Cases[] = {
        {0xffffffffUL, 7, 0},         {0xffffffffUL, 2, 0},      {0xffffffffUL, 1000, 0},
        {0xffffffffUL, 2147483647, 0}, {0xfffffffeUL, 7, 6},      {0x80000000UL, 2, 1},
        {0x7fffffffUL, 2, 0},         {0, 1000, 0},
    };
    for (const index_case& Case : Cases) {
        SCOPED_TRACE(testing::Message() << std::hex << Case.tempered << std::dec << " " << Case.size);
        rngen R = drawing(Case.tempered);
        EXPECT_EQ(R.get_index(Case.size), Case.index);
        EXPECT_EQ(R.mti, 312);
    }
}
