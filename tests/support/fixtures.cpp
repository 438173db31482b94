#include "fixtures.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace fs = std::filesystem;

scratch_dir::scratch_dir() {
    char Template[] = "/tmp/vireo-test-XXXXXX";
    const char* Made = mkdtemp(Template);
    Path = Made ? Made : "/tmp";
    OldCwd = fs::current_path().string();
    fs::current_path(Path);
}

scratch_dir::~scratch_dir() {
    std::error_code Ignored;
    fs::current_path(OldCwd, Ignored);
    if (Path != "/tmp") fs::remove_all(Path, Ignored);
}

void write_file(const std::string& Path, const std::string& Text) {
    fs::path P(Path);
    if (P.has_parent_path()) fs::create_directories(P.parent_path());
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out << Text;
}

std::string read_file(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
}

std::vector<std::string> split_lines(const std::string& Text) {
    std::vector<std::string> Lines;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
    return Lines;
}

std::vector<std::string> read_lines(const std::string& Path) { return split_lines(read_file(Path)); }

bool write_png(const std::string& Path, int W, int H, int Channels,
               const std::vector<unsigned char>& Pixels) {
    fs::path P(Path);
    if (P.has_parent_path()) fs::create_directories(P.parent_path());
    Uint32 Format = Channels == 1   ? SDL_PIXELFORMAT_INDEX8
                    : Channels == 3 ? SDL_PIXELFORMAT_RGB24
                                    : SDL_PIXELFORMAT_RGBA32;
    std::vector<unsigned char> Copy(Pixels);
    if (Copy.empty()) Copy.resize(1);
    SDL_Surface* S = SDL_CreateRGBSurfaceWithFormatFrom(Copy.data(), W, H, Channels * 8,
                                                        W * Channels, Format);
    if (!S) return false;
    if (Channels == 1) {
        SDL_Color Grey[256];
        for (int i = 0; i < 256; ++i) Grey[i] = {Uint8(i), Uint8(i), Uint8(i), 255};
        SDL_SetPaletteColors(S->format->palette, Grey, 0, 256);
    }
    bool Ok = IMG_SavePNG(S, Path.c_str()) == 0;
    SDL_FreeSurface(S);
    return Ok;
}
