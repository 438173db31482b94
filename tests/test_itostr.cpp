#include "itostr.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

namespace {
struct row {
    const char* call;
    std::string got;
    const char* want;
};
}  // namespace

TEST(Itostr, WorkedResults) {
    const row Rows[] = {
        {"itostr(-42)", itostr(-42), "-42"},
        {"itostr(INT_MIN)", itostr(INT_MIN), "-2147483648"},
        {"ftostr(1.5)", ftostr(1.5), "1.500000"},
        {"ftostr(3.14159, 2)", ftostr(3.14159, 2), "3.14"},
        {"ftostr(1.999, 2)", ftostr(1.999, 2), "1.99"},
        {"ftostr(0.007, 2)", ftostr(0.007, 2), "0.00"},
        {"ftostr(0.05, 2)", ftostr(0.05, 2), "0.05"},
        {"ftostr(-0.5, 2)", ftostr(-0.5, 2), "-0.50"},
        {"ftostr(-3.25, 1)", ftostr(-3.25, 1), "-3.2"},
        {"ftostr(12.0, 3)", ftostr(12.0, 3), "12.000"},
        {"ftostr(-0.0, 2)", ftostr(-0.0, 2), "0.00"},
        {"ftostr(2.5, 0)", ftostr(2.5, 0), "2"},
        {"ftostr(-0.7, 0)", ftostr(-0.7, 0), "0"},
        {"ftostr(-0.05, 1)", ftostr(-0.05, 1), "-0.0"},
        {"ftostr(0.29, 2)", ftostr(0.29, 2), "0.28"},
        {"ftostr(1.005, 2)", ftostr(1.005, 2), "1.00"},
        {"ftostr_figs(5, 2)", ftostr_figs(5, 2), "5.000"},
        {"ftostr_figs(12.5, 2)", ftostr_figs(12.5, 2), "12.50"},
        {"ftostr_figs(123.456, 2)", ftostr_figs(123.456, 2), "123.4"},
        {"ftostr_figs(100, 2)", ftostr_figs(100, 2), "100.0"},
        {"ftostr_figs(1000, 2)", ftostr_figs(1000, 2), "1000.0"},
        {"ftostr_figs(0.05, 2)", ftostr_figs(0.05, 2), "0.0500"},
        {"ftostr_figs(1234.5, 1)", ftostr_figs(1234.5, 1), "1234"},
        {"ftostr_figs(0, 2)", ftostr_figs(0, 2), "0"},
        {"ftostr_figs(-5, 2)", ftostr_figs(-5, 2), "-5"},
        {"get_unitized_string(5)", get_unitized_string(5, "m"), "5.000 m"},
        {"get_unitized_string(999)", get_unitized_string(999, "m"), "999.0 m"},
        {"get_unitized_string(0.25)", get_unitized_string(0.25, "m"), "0.250 m"},
        {"get_unitized_string(1000)", get_unitized_string(1000, "m"), "1.000 Km"},
        {"get_unitized_string(999999)", get_unitized_string(999999, "m"), "999.9 Km"},
        {"get_unitized_string(123456789)", get_unitized_string(123456789, "m"), "123.4 Mm"},
        {"get_unitized_string(999e9)", get_unitized_string(999e9, "m"), "999.0 Gm"},
        {"get_unitized_string(1e12)", get_unitized_string(1e12, "m"), "1 Tm"},
        {"get_unitized_string(2.5e15)", get_unitized_string(2.5e15, "m"), "2500 Tm"},
        {"get_unitized_string(0)", get_unitized_string(0, "m"), "0 m"},
        {"get_unitized_string(-1234.5)", get_unitized_string(-1234.5, "m"), "-1234 m"},
        {"get_unitized_string(1500, B)", get_unitized_string(1500, "B"), "1.500 KB"},
    };
    for (const row& R : Rows) EXPECT_EQ(R.got, R.want) << R.call;
}

// Outside the documented ranges: counts clamp into 0..9, conversions to int
// saturate and NaN counts as 0, so every input gives text.
TEST(Itostr, OutOfRangeInputsGiveDefinedText) {
    const row Rows[] = {
        {"ftostr(1.25, -3)", ftostr(1.25, -3), "1"},
        {"ftostr(0.5, 12)", ftostr(0.5, 12), "0.500000000"},
        {"ftostr(NAN, 2)", ftostr(NAN, 2), "0.00"},
        {"ftostr(INFINITY, 1)", ftostr(INFINITY, 1), "2147483647.7"},
        {"ftostr(-1e20, 0)", ftostr(-1e20, 0), "-2147483648"},
        {"ftostr(-1e20, 2)", ftostr(-1e20, 2), "-2147483647.47"},
        {"ftostr_figs(NAN, 2)", ftostr_figs(NAN, 2), "0"},
        {"ftostr_figs(1e-12, 2)", ftostr_figs(1e-12, 2), "0.000000000"},
        {"ftostr_figs(INFINITY, 2)", ftostr_figs(INFINITY, 2), "2147483647"},
        {"get_unitized_string(NAN)", get_unitized_string(NAN, "m"), "0 Tm"},
        {"get_unitized_string(1e30)", get_unitized_string(1e30, "m"), "2147483647 Tm"},
    };
    for (const row& R : Rows) EXPECT_EQ(R.got, R.want) << R.call;
    // "%f" text longer than the usual buffer comes out whole.
    char Whole[400];
    std::snprintf(Whole, sizeof Whole, "%f", -1e60);
    EXPECT_GT(std::string(Whole).size(), 49u);
    EXPECT_EQ(ftostr(-1e60), Whole);
}
