// File test and raw binary stream primitives (host byte order).
#pragma once

#include <istream>
#include <ostream>
#include <string>

bool fexist(const std::string& File);

void fput_int(std::ostream& Dest, int Value);
int fget_int(std::istream& Source);
void fput_double(std::ostream& Dest, double Value);
double fget_double(std::istream& Source);
void fput_string(std::ostream& Dest, const std::string& Value);
std::string fget_string(std::istream& Source);
