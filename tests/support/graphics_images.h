// Image files the PNG writer can't make.
#pragma once

#include <string>

// A 24-bit TGA of 0 by 0 pixels: SDL2_image decodes it to an empty surface
// (a PNG can't have a zero side).
bool write_empty_tga(const std::string& Path);

// A PNG of W by H pixels whose every byte is 0 (black; transparent black with
// 4 channels). Channels: 1 grey, 3 RGB, 4 RGBA. The pixels are never held in
// memory and the file stays small (about 2 bits per 258 bytes of pixels), so
// images far larger than memory limits are quick to make.
bool write_blank_png(const std::string& Path, int W, int H, int Channels);
