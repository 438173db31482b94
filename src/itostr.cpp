#include "itostr.h"

#include <climits>
#include <cmath>
#include <cstdio>

int cut_to_int(double V) {
    if (std::isnan(V)) return 0;
    if (V >= 2147483647.0) return INT_MAX;
    if (V <= -2147483648.0) return INT_MIN;
    return static_cast<int>(V);
}

std::string itostr(int X) {
    char Buffer[50];
    std::snprintf(Buffer, sizeof Buffer, "%d", X);
    return Buffer;
}

std::string ftostr(double D) {
    char Buffer[50];
    int Needed = std::snprintf(Buffer, sizeof Buffer, "%f", D);
    if (Needed < static_cast<int>(sizeof Buffer)) return Buffer;
    // Very large magnitudes: print again into room for the whole text.
    std::string Long(static_cast<size_t>(Needed) + 1, '\0');
    std::snprintf(&Long[0], Long.size(), "%f", D);
    Long.resize(static_cast<size_t>(Needed));
    return Long;
}

std::string ftostr(double D, int Decimals) {
    // Ten to the count has to fit an int.
    if (Decimals < 0) Decimals = 0;
    if (Decimals > 9) Decimals = 9;
    if (Decimals == 0) return itostr(cut_to_int(D));

    double A = std::fabs(D);
    int M = cut_to_int(std::pow(10.0, Decimals));
    std::string Fraction = itostr(cut_to_int(A * M) % M);
    if (static_cast<int>(Fraction.size()) < Decimals)
        Fraction.insert(0, static_cast<size_t>(Decimals) - Fraction.size(), '0');
    bool Sign = D < 0;
    return (Sign ? "-" : "") + itostr(cut_to_int(A)) + "." + Fraction;
}

std::string ftostr_figs(double D, int Figs) {
    long long DeciFigs = 0;
    // Zero, negatives and NaN have no logarithm and get no decimals.
    if (D > 0) {
        long long WholeFigs = cut_to_int(std::log(D) / 2.302585092994046) - 1LL;
        DeciFigs = Figs - WholeFigs;
        if (DeciFigs < 0) DeciFigs = 0;
        if (DeciFigs > 9) DeciFigs = 9;
    }
    return ftostr(D, static_cast<int>(DeciFigs));
}

std::string get_unitized_string(double Value, const std::string& Units) {
    static const char* const SU[5] = {" ", " K", " M", " G", " T"};
    static const double Ranges[4] = {1e3, 1e6, 1e9, 1e12};
    static const double Divisor[4] = {1, 1e3, 1e6, 1e9};
    for (int a = 0; a < 4; ++a)
        if (Value < Ranges[a]) return ftostr_figs(Value / Divisor[a], 2) + SU[a] + Units;
    return itostr(cut_to_int(Value / 1e12)) + SU[4] + Units;
}
