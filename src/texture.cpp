#include "texture.h"

#include <SDL.h>
#include <SDL_image.h>

#include <GL/gl.h>

#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "die.h"

// Successful loads only, by exact name and in load order; the index in
// loaded_index is the handle the scripts hold.
static std::map<std::string, ref<texture>> loaded;
static std::vector<ref<texture>> loaded_index;

bool texture::check_mask(int X, int Y) const {
    if (X < 0 || X >= w || Y < 0 || Y >= h) return false;
    return mask[size_t(w) * size_t(Y) + size_t(X)];
}

unsigned char* downsample_image_nearest(int BytesPP, const unsigned char* Data, int W, int H,
                                        int& DestW, int& DestH) {
    DestW = W / 2;
    DestH = H / 2;
    unsigned char* Dest = new (std::nothrow) unsigned char[size_t(DestW) * size_t(DestH) * size_t(BytesPP)];
    if (!Dest) return nullptr;
    const size_t SrcRow = size_t(W) * size_t(BytesPP);
    for (int y = 0; y < DestH; ++y)
        for (int x = 0; x < DestW; ++x)
            std::memcpy(Dest + (size_t(DestW) * size_t(y) + size_t(x)) * size_t(BytesPP),
                        Data + size_t(2 * y) * SrcRow + size_t(2 * x) * size_t(BytesPP), size_t(BytesPP));
    return Dest;
}

static GLenum format_for_depth(int Bits) {
    switch (Bits) {
        case 8: return GL_ALPHA;
        case 24: return GL_RGB;
        case 32: return GL_RGBA;
        default: return 0;
    }
}

// Copies the surface's rows into a tightly packed buffer and fills the hit
// mask from the alpha byte of 32-bit pixels.
static unsigned char* pack_pixels(const SDL_Surface* Surface, int BytesPP, texture& Tex) {
    const size_t Bytes = size_t(Tex.w) * size_t(Tex.h) * size_t(BytesPP);
    unsigned char* Data = new (std::nothrow) unsigned char[Bytes];
    if (!Data) return nullptr;
    const unsigned char* Base = static_cast<const unsigned char*>(Surface->pixels);
    for (int y = 0; y < Tex.h; ++y) {
        const unsigned char* Row = Base + size_t(y) * size_t(Surface->pitch);
        for (int x = 0; x < Tex.w; ++x) {
            const size_t Pixel = size_t(Tex.w) * size_t(y) + size_t(x);
            const unsigned char* Src = Row + size_t(x) * size_t(BytesPP);
            std::memcpy(Data + Pixel * size_t(BytesPP), Src, size_t(BytesPP));
            if (BytesPP == 4) Tex.mask[Pixel] = Src[3] != 0;
        }
    }
    return Data;
}

static void upload_level(GLenum Format, int Level, int W, int H, const unsigned char* Data) {
    glTexImage2D(GL_TEXTURE_2D, Level, GLint(Format), W, H, 0, Format, GL_UNSIGNED_BYTE, Data);
}

static GLuint create_gl_texture(bool Interp) {
    GLuint Name = GLuint(-1);
    glGenTextures(1, &Name);
    glBindTexture(GL_TEXTURE_2D, Name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, Interp ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, Interp ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return Name;
}

// Nearest-pixel levels for square images; releases Data. The chain stops at
// width 1, or at once for an image without pixels (width 0 never halves to
// 1). False when a level's buffer can't be had.
static bool upload_picked_chain(GLenum Format, int BytesPP, unsigned char* Data, int W, int H) {
    for (int Level = 0;; ++Level) {
        upload_level(Format, Level, W, H, Data);
        if (W <= 1) break;
        int HalfW = 0, HalfH = 0;
        unsigned char* Half = downsample_image_nearest(BytesPP, Data, W, H, HalfW, HalfH);
        delete[] Data;
        if (!Half) return false;
        Data = Half;
        W = HalfW;
        H = HalfH;
    }
    delete[] Data;
    return true;
}

// What a load must hold before its first OpenGL call, so that registering
// the texture afterwards can't run out of memory.
struct texture_reservation {
    ref<texture> handle;
    // The cache entry for the name, moved into loaded once the upload is done.
    std::map<std::string, ref<texture>> entry;
};

// The record with its mask, its handle, its cache entry and room in the
// index; false when memory runs out.
static bool reserve_texture(const std::string& Name, int W, int H, texture_reservation& Slot) {
    try {
        std::unique_ptr<texture> Tex(new texture);
        Tex->w = W;
        Tex->h = H;
        Tex->size_in_pixels = mkrpos(W, H, 0);
        Tex->mask.assign(size_t(W) * size_t(H), false);
        Slot.handle = mkref(Tex.get());
        Tex.release();
        Slot.entry.emplace(Name, Slot.handle);
        if (loaded_index.size() == loaded_index.capacity()) loaded_index.reserve(2 * loaded_index.size() + 1);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Allocates nothing: the cache node and the index room were reserved.
static void register_texture(texture_reservation& Slot, GLuint Id) {
    Slot.handle->id = int(Id);
    Slot.handle->get_id = int(loaded_index.size());
    loaded.insert(Slot.entry.extract(Slot.entry.begin()));
    loaded_index.push_back(Slot.handle);
}

// The part of texture_load after decoding; frees Surface.
static ref<texture> texture_from_surface(const std::string& Name, bool Interp, SDL_Surface* Surface) {
    const int W = Surface->w;
    const int H = Surface->h;
    const int Bits = Surface->format->BitsPerPixel;
    const GLenum Format = format_for_depth(Bits);
    const int BytesPP = Bits / 8;

    if (Format == 0) {
        SDL_FreeSurface(Surface);
        log_line('*', "load texture fatal: unsupported image bpp ", Bits);
        return ref<texture>();
    }
    // Byte counts are handed to OpenGL as ints; larger images are refused
    // before anything is allocated.
    if (static_cast<long long>(W) * H * BytesPP > INT_MAX) {
        SDL_FreeSurface(Surface);
        log_line('*', "load texture fatal: image too large (", W, "x", H, " pixels at ", Bits, " bpp)");
        return ref<texture>();
    }
    texture_reservation Slot;
    if (!reserve_texture(Name, W, H, Slot)) {
        SDL_FreeSurface(Surface);
        log_line('*', "load texture fatal: not enough memory for texture ``", Name, "''");
        return ref<texture>();
    }
    unsigned char* Data = pack_pixels(Surface, BytesPP, *Slot.handle.ptr());
    SDL_FreeSurface(Surface);
    if (!Data) {
        log_line('*', "load texture fatal: unsupported image bpp ", Bits);
        return ref<texture>();
    }

    GLuint Id = create_gl_texture(Interp);
    if (Interp || W != H) {
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        upload_level(Format, 0, W, H, Data);
        delete[] Data;
    } else if (!upload_picked_chain(Format, BytesPP, Data, W, H)) {
        // A texture without all its levels is not kept, nor its name.
        glDeleteTextures(1, &Id);
        log_line('*', "load texture fatal: not enough memory for texture ``", Name, "''");
        return ref<texture>();
    }

    register_texture(Slot, Id);
    return Slot.handle;
}

ref<texture> texture_load(const std::string& Name, bool Interp) {
    auto Found = loaded.find(Name);
    if (Found != loaded.end()) return Found->second;

    log_line('-', "texture load: loading ", Name);
    SDL_Surface* Surface = IMG_Load(Name.c_str());
    if (!Surface) {
        log_line('*', "texlib load texdata fatal: couldn't load image file ``", Name, "''");
        return ref<texture>();
    }
    return texture_from_surface(Name, Interp, Surface);
}

ref<texture> texture_get(int GetID) {
    if (GetID >= 0 && GetID < int(loaded_index.size())) return loaded_index[size_t(GetID)];
    log_line('*', "texture get fatal: texture ", GetID, " out of range");
    return ref<texture>();
}
