#include "rngen.h"

#include <cmath>

static const unsigned long WORD_MASK = 0xffffffffUL;
static const unsigned long mag01[2] = {0x0UL, 0x9908b0dfUL};

void rngen::seed(unsigned long S) {
    if (S == 0) S = 1;
    mt[0] = S & WORD_MASK;
    for (int i = 1; i < 624; ++i) mt[i] = (69069UL * mt[i - 1]) & WORD_MASK;
    mti = 624;
}

void rngen::operator>>(double& D) {
    if (mti >= 624) {
        if (mti == 625) seed(4357);
        for (int k = 0; k < 624; ++k) {
            unsigned long y = (mt[k] & 0x80000000UL) | (mt[(k + 1) % 624] & 0x7fffffffUL);
            mt[k] = mt[(k + 397) % 624] ^ (y >> 1) ^ mag01[y & 1];
        }
        mti = 0;
    }
    unsigned long y = mt[mti++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680UL;
    y ^= (y << 15) & 0xefc60000UL;
    y ^= y >> 18;
    D = static_cast<double>(y) / 4294967295.0;
}

double rngen::get() {
    double D;
    *this >> D;
    return D;
}

int rngen::get_index(int Size) {
    double D = get();
    int Index = static_cast<int>(Size * D);
    return Index < Size ? Index : 0;
}

// Polar method; only the deviate from X is used, every call draws afresh.
double rngen::gauss(double Variance, double Bias) {
    double X, Y, R;
    do {
        X = 2 * get() - 1;
        Y = 2 * get() - 1;
        R = X * X + Y * Y;
    } while (R == 0 || R > 1.0);
    double Z = X * std::sqrt(-2 * std::log(R) / R);
    return Bias + Z * Variance;
}
