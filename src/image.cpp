#include "image.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <map>
#include <memory>
#include <new>

#include "die.h"
#include "itostr.h"

// Successful loads only, by the exact name they were loaded under.
static std::map<std::string, ref<image>> loaded;

fcolor image::get_pixel(const iloc& Pos) const {
    if (Pos[0] < 0 || Pos[0] >= size[0] || Pos[1] < 0 || Pos[1] >= size[1])
        return mkfcolor(1, 1, 1, 1);
    return pixels[size_t(size[0]) * size_t(Pos[1]) + size_t(Pos[0])];
}

fcolor image::get_any_pixel(rngen& G) const {
    const int Count = int(pixels.size());
    // The draw is taken even when there is nothing to pick, so that the
    // caller's sequence stays in step.
    const int K = G.get_index(Count);
    if (K < 0 || K >= Count) return mkfcolor(1, 1, 1, 1);
    return pixels[K];
}

static float byte_to_unit(unsigned char B) { return float(B) / 255.0f; }

static void convert_pixels(const SDL_Surface* Surface, int BytesPP, image& Image) {
    const unsigned char* Base = static_cast<const unsigned char*>(Surface->pixels);
    for (int y = 0; y < Surface->h; ++y) {
        const unsigned char* Row = Base + size_t(y) * size_t(Surface->pitch);
        for (int x = 0; x < Surface->w; ++x) {
            const unsigned char* P = Row + size_t(x) * size_t(BytesPP);
            const float Alpha = BytesPP == 4 ? byte_to_unit(P[3]) : 1.0f;
            Image.pixels[size_t(Surface->w) * size_t(y) + size_t(x)] =
                mkfcolor(byte_to_unit(P[0]), byte_to_unit(P[1]), byte_to_unit(P[2]), Alpha);
        }
    }
}

// The image decoded from Surface, or an empty handle when memory runs out.
static ref<image> image_from_surface(const SDL_Surface* Surface, int BytesPP) {
    try {
        std::unique_ptr<image> Made(new image);
        Made->size = mkiloc(Surface->w, Surface->h);
        Made->pixels.resize(size_t(Surface->w) * size_t(Surface->h));
        convert_pixels(Surface, BytesPP, *Made);
        ref<image> Handle = mkref(Made.get());
        Made.release();
        return Handle;
    } catch (const std::bad_alloc&) {
        return ref<image>();
    }
}

// False when memory runs out; nothing is registered then.
static bool register_image(const std::string& Name, const ref<image>& Image) {
    try {
        loaded.emplace(Name, Image);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

ref<image> image_load(const std::string& Name) {
    auto Found = loaded.find(Name);
    if (Found != loaded.end()) return Found->second;

    log_line('-', "image load: loading ", Name);
    SDL_Surface* Surface = IMG_Load(Name.c_str());
    if (!Surface) {
        log_line('*', "image load fatal: couldn't load image file ``", Name, "''");
        return ref<image>();
    }

    // The depth is checked before anything is sized: a large 8-bit file
    // would otherwise ask for 16 bytes a pixel only to be refused.
    const int Bits = Surface->format->BitsPerPixel;
    if (Bits != 24 && Bits != 32) {
        log_line('*', "image load fatal: unsupported BPP ", Bits);
        SDL_FreeSurface(Surface);
        return ref<image>();
    }
    ref<image> Image = image_from_surface(Surface, Bits / 8);
    SDL_FreeSurface(Surface);
    if (Image.null() || !register_image(Name, Image)) {
        log_line('*', "image load fatal: not enough memory for image ``", Name, "''");
        return ref<image>();
    }
    return Image;
}

static int hex_to_int(char H) {
    if (H >= '0' && H <= '9') return H - '0';
    if (H >= 'A' && H <= 'F') return H - 'A' + 10;
    if (H >= 'a' && H <= 'f') return H - 'a' + 10;
    return 0;
}

static int hex_to_int(char MSH, char LSH) { return 16 * hex_to_int(MSH) + hex_to_int(LSH); }

fcolor str2color(const std::string& CHex) {
    fcolor Color;
    if (CHex.size() == 6) {
        Color[0] = float(hex_to_int(CHex[0], CHex[1]) / 255.0);
        Color[1] = float(hex_to_int(CHex[2], CHex[3]) / 255.0);
        Color[2] = float(hex_to_int(CHex[4], CHex[5]) / 255.0);
        Color[3] = 1.0f;
        return Color;
    }
    if (!CHex.empty()) log_line('!', "str2color fatal: bad color string ``", CHex, "''");
    return Color;
}

// Out-of-range components are written as their 32-bit two's complement.
static unsigned component_to_byte_text(float C) { return unsigned(cut_to_int(double(C) * 255.0)); }

std::string color2str(const fcolor& C) {
    char Buf[32];
    std::snprintf(Buf, sizeof Buf, "%02x%02x%02x", component_to_byte_text(C[0]),
                  component_to_byte_text(C[1]), component_to_byte_text(C[2]));
    return Buf;
}
