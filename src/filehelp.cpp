#include "filehelp.h"

#include <algorithm>
#include <cstdio>

bool fexist(const std::string& File) {
    std::FILE* F = std::fopen(File.c_str(), "rb");
    if (!F) return false;
    std::fclose(F);
    return true;
}

namespace {

// Values travel as their own bytes, in host order.
template <typename T>
void put_raw(std::ostream& Dest, T Value) {
    Dest.write(reinterpret_cast<const char*>(&Value), sizeof Value);
}

// What a short read does not deliver stays 0.
template <typename T>
T get_raw(std::istream& Source) {
    T Value = 0;
    Source.read(reinterpret_cast<char*>(&Value), sizeof Value);
    return Value;
}

}  // namespace

void fput_int(std::ostream& Dest, int Value) { put_raw(Dest, Value); }
int fget_int(std::istream& Source) { return get_raw<int>(Source); }
void fput_double(std::ostream& Dest, double Value) { put_raw(Dest, Value); }
double fget_double(std::istream& Source) { return get_raw<double>(Source); }

void fput_string(std::ostream& Dest, const std::string& Value) {
    fput_int(Dest, static_cast<int>(Value.size()));
    Dest.write(Value.data(), static_cast<std::streamsize>(Value.size()));
}

std::string fget_string(std::istream& Source) {
    int Count = fget_int(Source);
    // A negative count is no text of this format: reject it, read nothing.
    if (Count < 0) {
        Source.setstate(std::ios::failbit);
        return std::string();
    }
    // Read in bounded chunks so a corrupt count costs no more memory than the
    // stream actually holds.
    const std::streamsize Chunk = 64 * 1024;
    std::string Text;
    std::streamsize Left = Count;
    while (Left > 0) {
        std::streamsize Want = std::min(Left, Chunk);
        size_t Old = Text.size();
        Text.resize(Old + static_cast<size_t>(Want));
        Source.read(&Text[Old], Want);
        std::streamsize Got = Source.gcount();
        Text.resize(Old + static_cast<size_t>(Got));
        if (Got < Want) break;
        Left -= Want;
    }
    size_t Nul = Text.find('\0');
    if (Nul != std::string::npos) Text.resize(Nul);
    return Text;
}
