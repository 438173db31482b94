// Numbers to text. Every conversion with a count of decimals cuts toward zero.
#pragma once

#include <string>

// Cuts toward zero to an int; values beyond the int range saturate and NaN
// gives 0, so no number reaches an undefined conversion.
int cut_to_int(double V);

std::string itostr(int X);
std::string ftostr(double D);
std::string ftostr(double D, int Decimals);
std::string ftostr_figs(double D, int Figs);
std::string get_unitized_string(double Value, const std::string& Units);
