// Image files the PNG writer can't make.
#pragma once

#include <string>

// A 24-bit TGA of 0 by 0 pixels: SDL2_image decodes it to an empty surface
// (a PNG can't have a zero side).
bool write_empty_tga(const std::string& Path);
