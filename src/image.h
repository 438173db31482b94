// Images decoded into colour arrays, kept by file name; colour text.
#pragma once

#include <string>
#include <vector>

#include "ref.h"
#include "rngen.h"
#include "vecco.h"

struct image {
    iloc size;
    std::vector<fcolor> pixels;

    // Opaque white outside the image.
    fcolor get_pixel(const iloc& Pos) const;
    // One pixel picked with exactly one draw of G.
    fcolor get_any_pixel(rngen& G) const;
};

ref<image> image_load(const std::string& Name);

fcolor str2color(const std::string& CHex);
std::string color2str(const fcolor& C);
