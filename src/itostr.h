// Numbers to text. Every conversion with a count of decimals cuts toward zero.
#pragma once

#include <string>

std::string itostr(int X);
std::string ftostr(double D);
std::string ftostr(double D, int Decimals);
std::string ftostr_figs(double D, int Figs);
std::string get_unitized_string(double Value, const std::string& Units);
