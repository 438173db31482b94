#include "graphics_images.h"

#include <filesystem>
#include <fstream>

bool write_empty_tga(const std::string& Path) {
    std::filesystem::path P(Path);
    if (P.has_parent_path()) std::filesystem::create_directories(P.parent_path());
    // Uncompressed true-colour header: image type 2, width 0, height 0, 24 bits.
    const unsigned char Header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 24, 0};
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Header), sizeof Header);
    return bool(Out);
}
