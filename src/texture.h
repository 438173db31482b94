// OpenGL textures with alpha hit masks, kept by file name and by load order.
#pragma once

#include <string>
#include <vector>

#include "ref.h"
#include "vecco.h"

struct texture {
    int id = 0;
    int get_id = 0;
    rpos size_in_pixels;
    std::vector<bool> mask;
    int w = 0;
    int h = 0;

    bool check_mask(int X, int Y) const;
};

ref<texture> texture_load(const std::string& Name, bool Interp);
ref<texture> texture_get(int GetID);

// Half-size level by picking the top-left pixel of each 2x2 block; the
// caller owns the returned buffer (delete[]). Null when it can't be had.
unsigned char* downsample_image_nearest(int BytesPP, const unsigned char* Data, int W, int H,
                                        int& DestW, int& DestH);
