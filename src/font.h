// Bitmap font: one glyph sheet texture plus per-character metrics read from a
// script table, drawn as textured quads.
#pragma once

#include <map>
#include <string>

#include <lua.hpp>

#include "ref.h"
#include "texture.h"
#include "vecco.h"

class font {
public:
    struct glyph {
        rloc bearing;
        rloc texcoord;
        rloc size;
        rloc rendersize;
        double advance = 0;
    };

    double pixel_size = 0;
    std::map<int, glyph> glyphs;
    ref<texture> face_t;

    void init(lua_State* L);
    double get_advance(int Ascii) const;
    double get_length(const rpos& Scale, const std::string& Text) const;
    void render_char_quad(const rpos& Center, const rpos& Scale, int Ascii, bool Italics) const;
    void render_string(const rpos& Position, const rpos& Scale, const std::string& Text, bool Italics) const;
    void render_char(const rpos& Center, const rpos& Scale, int Ascii, bool Italics) const;
    void clear();
};

void register_font(const std::string& Name, lua_State* L);
font* get_font(const std::string& Name);
