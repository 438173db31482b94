#include "texture.h"

#include <SDL.h>
#include <SDL_image.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>

#include "fixtures.h"
#include "gl_record.h"
#include "graphics_images.h"

// Library calls this test stands in for (linked with --wrap): IMG_Load can
// hand out a surface the test made, and one allocation can be made to fail.
extern "C" SDL_Surface* __real_IMG_Load(const char* File);
extern "C" void* __real__Znwm(std::size_t Size);
extern "C" void* __real__ZnamRKSt9nothrow_t(std::size_t Size, const std::nothrow_t& Tag) noexcept;

namespace {

// IMG_Load hands out standin_surface, once, for the name standin_name.
std::string standin_name;
SDL_Surface* standin_surface = nullptr;

// When above 0, the allocation with that number, counted from the end of
// the next decode, fails; failed_kind then tells which form failed.
int fail_allocation_after_decode = 0;
int allocations_until_failure = 0;
enum class failed { none, throwing_new, nothrow_array } failed_kind = failed::none;

bool allocation_fails() { return allocations_until_failure > 0 && --allocations_until_failure == 0; }

// The same, counting only the arrays asked for without exceptions.
int fail_nothrow_array_after_decode = 0;
int nothrow_arrays_until_failure = 0;

bool nothrow_array_fails() { return nothrow_arrays_until_failure > 0 && --nothrow_arrays_until_failure == 0; }

}  // namespace

extern "C" SDL_Surface* __wrap_IMG_Load(const char* File) {
    SDL_Surface* Surface = nullptr;
    if (standin_surface && standin_name == File)
        std::swap(Surface, standin_surface);
    else
        Surface = __real_IMG_Load(File);
    allocations_until_failure = fail_allocation_after_decode;
    nothrow_arrays_until_failure = fail_nothrow_array_after_decode;
    return Surface;
}

extern "C" void* __wrap__Znwm(std::size_t Size) {
    if (allocation_fails()) {
        failed_kind = failed::throwing_new;
        throw std::bad_alloc();
    }
    return __real__Znwm(Size);
}

extern "C" void* __wrap__ZnamRKSt9nothrow_t(std::size_t Size, const std::nothrow_t& Tag) noexcept {
    if (nothrow_array_fails() || allocation_fails()) {
        failed_kind = failed::nothrow_array;
        return nullptr;
    }
    return __real__ZnamRKSt9nothrow_t(Size, Tag);
}

namespace {

// Generate, bind, alignment, environment, then the four parameters.
std::vector<std::string> setup_calls(int Name, bool Interp) {
    const std::string N = std::to_string(Name);
    return {
        "glGenTextures(1," + N + ")",
        "glBindTexture(0x0DE1," + N + ")",
        "glPixelStorei(0x0CF5,1)",
        "glTexEnvi(0x2300,0x2200,0x2100)",
        Interp ? "glTexParameteri(0x0DE1,0x2800,0x2601)" : "glTexParameteri(0x0DE1,0x2800,0x2600)",
        Interp ? "glTexParameteri(0x0DE1,0x2801,0x2703)" : "glTexParameteri(0x0DE1,0x2801,0x2600)",
        "glTexParameteri(0x0DE1,0x2802,0x2901)",
        "glTexParameteri(0x0DE1,0x2803,0x2901)",
    };
}

std::string upload(int Level, const char* Format, int W, int H) {
    return "glTexImage2D(0x0DE1," + std::to_string(Level) + "," + Format + "," + std::to_string(W) + "," +
           std::to_string(H) + ",0," + Format + ",0x1401)";
}

const char* const Rgba = "0x1908";
const char* const Rgb = "0x1907";
const char* const Alpha = "0x1906";

ref<texture> load_quietly(const std::string& Name, bool Interp) {
    testing::internal::CaptureStdout();
    ref<texture> T = texture_load(Name, Interp);
    testing::internal::GetCapturedStdout();
    return T;
}

// RGBA pixels that name their own position: (x, y, x ^ y, 255).
std::vector<unsigned char> positional_rgba(int W, int H) {
    std::vector<unsigned char> P;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) P.insert(P.end(), {(unsigned char)x, (unsigned char)y, (unsigned char)(x ^ y), 255});
    return P;
}

}  // namespace

TEST(TextureUpload, NearestSquareBuildsAPickedChainDownToWidthOne) {
    scratch_dir Dir;
    const std::vector<unsigned char> Pixels = positional_rgba(64, 64);
    ASSERT_TRUE(write_png("chain/64.png", 64, 64, 4, Pixels));
    gl_record_reset();
    testing::internal::CaptureStdout();
    ref<texture> T = texture_load("chain/64.png", false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "- texture load: loading chain/64.png\n");
    ASSERT_FALSE(T.null());

    std::vector<std::string> Expected = setup_calls(1, false);
    for (int Level = 0, Side = 64; Side >= 1; ++Level, Side /= 2) Expected.push_back(upload(Level, Rgba, Side, Side));
    EXPECT_EQ(gl_call_texts(), Expected);
    EXPECT_EQ(T->id, 1);
    EXPECT_EQ(T->size_in_pixels, mkrpos(64, 64, 0));

    // Level L holds the top-left pixel of each 2^L block of level 0.
    const std::vector<gl_call> Levels = gl_calls_named("glTexImage2D");
    ASSERT_EQ(Levels.size(), 7u);
    EXPECT_EQ(Levels[0].data, Pixels);
    for (size_t L = 1; L < Levels.size(); ++L) {
        SCOPED_TRACE(L);
        const int Side = 64 >> L;
        ASSERT_EQ(Levels[L].data.size(), size_t(Side * Side * 4));
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                const unsigned char* P = &Levels[L].data[size_t((y * Side + x) * 4)];
                ASSERT_EQ(P[0], x << L);
                ASSERT_EQ(P[1], y << L);
            }
    }
}

TEST(TextureUpload, ChainLevelSizesFollowTheWidth) {
    scratch_dir Dir;
    // Pixels numbered row by row in their red byte; level 1 keeps the even
    // columns of the even rows.
    struct chain_case {
        int side;
        std::vector<int> sizes;
        std::vector<unsigned char> level1_reds;
    } const Cases[] = {
        {6, {6, 3, 1}, {0, 2, 4, 12, 14, 16, 24, 26, 28}},
        {5, {5, 2, 1}, {0, 2, 10, 12}},
        {1, {1}, {}},
    };
    for (const chain_case& Case : Cases) {
        SCOPED_TRACE(Case.side);
        std::vector<unsigned char> Pixels;
        for (int i = 0; i < Case.side * Case.side; ++i) Pixels.insert(Pixels.end(), {(unsigned char)i, 0, 0});
        const std::string Name = "sizes/" + std::to_string(Case.side) + ".png";
        ASSERT_TRUE(write_png(Name, Case.side, Case.side, 3, Pixels));
        gl_record_reset();
        ASSERT_FALSE(load_quietly(Name, false).null());
        std::vector<std::string> Expected = setup_calls(1, false);
        for (size_t L = 0; L < Case.sizes.size(); ++L)
            Expected.push_back(upload(int(L), Rgb, Case.sizes[L], Case.sizes[L]));
        EXPECT_EQ(gl_call_texts(), Expected);

        const std::vector<gl_call> Levels = gl_calls_named("glTexImage2D");
        ASSERT_EQ(Levels.size(), Case.sizes.size());
        EXPECT_EQ(Levels[0].data, Pixels);
        if (Levels.size() < 2) continue;
        std::vector<unsigned char> Level1;
        for (unsigned char Red : Case.level1_reds) Level1.insert(Level1.end(), {Red, 0, 0});
        EXPECT_EQ(Levels[1].data, Level1);
        EXPECT_EQ(Levels.back().data, std::vector<unsigned char>({0, 0, 0}));
    }
}

TEST(TextureUpload, InterpolationOrNonSquareUsesAutomaticMipmaps) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("auto/square.png", 64, 64, 4, positional_rgba(64, 64)));
    ASSERT_TRUE(write_png("auto/wide.png", 64, 32, 4, positional_rgba(64, 32)));
    struct auto_case {
        std::string name;
        bool interp;
        int w, h;
    } const Cases[] = {{"auto/square.png", true, 64, 64}, {"auto/wide.png", false, 64, 32}};
    for (const auto_case& Case : Cases) {
        SCOPED_TRACE(Case.name);
        gl_record_reset();
        ASSERT_FALSE(load_quietly(Case.name, Case.interp).null());
        std::vector<std::string> Expected = setup_calls(1, Case.interp);
        Expected.push_back("glTexParameteri(0x0DE1,0x8191,0x0001)");
        Expected.push_back(upload(0, Rgba, Case.w, Case.h));
        EXPECT_EQ(gl_call_texts(), Expected);
        EXPECT_EQ(gl_calls_named("glTexImage2D")[0].data, positional_rgba(Case.w, Case.h));
    }
}

TEST(TextureUpload, PaddedRowsUploadTightlyPacked) {
    scratch_dir Dir;
    const std::vector<unsigned char> Pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    ASSERT_TRUE(write_png("pad/three.png", 3, 2, 3, Pixels));
    SDL_Surface* Raw = IMG_Load("pad/three.png");
    ASSERT_NE(Raw, nullptr);
    EXPECT_GT(Raw->pitch, 3 * 3);
    SDL_FreeSurface(Raw);

    gl_record_reset();
    ref<texture> T = load_quietly("pad/three.png", false);
    ASSERT_FALSE(T.null());
    const std::vector<gl_call> Uploads = gl_calls_named("glTexImage2D");
    ASSERT_EQ(Uploads.size(), 1u);
    EXPECT_EQ(Uploads[0].text, upload(0, Rgb, 3, 2));
    EXPECT_EQ(Uploads[0].data, Pixels);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_FALSE(T->check_mask(x, y));
}

TEST(TextureUpload, EightBitImageBecomesAnAlphaTexture) {
    scratch_dir Dir;
    const std::vector<unsigned char> Grey = {0, 64, 128, 255};
    ASSERT_TRUE(write_png("alpha/grey.png", 2, 2, 1, Grey));
    gl_record_reset();
    ref<texture> T = load_quietly("alpha/grey.png", true);
    ASSERT_FALSE(T.null());
    const std::vector<gl_call> Uploads = gl_calls_named("glTexImage2D");
    ASSERT_EQ(Uploads.size(), 1u);
    EXPECT_EQ(Uploads[0].text, upload(0, Alpha, 2, 2));
    EXPECT_EQ(Uploads[0].data, Grey);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_FALSE(T->check_mask(x, y));
}

TEST(TextureUpload, ImageWithoutPixelsEndsTheChainAtLevelZero) {
    scratch_dir Dir;
    ASSERT_TRUE(write_empty_tga("empty/none.tga"));
    gl_record_reset();
    ref<texture> T = load_quietly("empty/none.tga", false);
    ASSERT_FALSE(T.null());
    std::vector<std::string> Expected = setup_calls(1, false);
    Expected.push_back(upload(0, Rgb, 0, 0));
    EXPECT_EQ(gl_call_texts(), Expected);
    EXPECT_EQ(T->w, 0);
    EXPECT_FALSE(T->check_mask(0, 0));
}

TEST(TextureMask, OneBitPerPixelRowByRowWhereAlphaIsNonZero) {
    scratch_dir Dir;
    // 3 by 2, alphas 1 0 255 / 7 1 0 under colours that are non-zero where
    // the alpha is 0: no transposition, flip or mirror of it matches itself.
    ASSERT_TRUE(write_png("mask/m.png", 3, 2, 4,
                          {0, 0, 0, 1,  9, 9, 9, 0,  0, 0, 0, 255,  //
                           5, 5, 5, 7,  0, 0, 0, 1,  9, 9, 9, 0}));
    ref<texture> T = load_quietly("mask/m.png", false);
    ASSERT_FALSE(T.null());
    const std::vector<bool> Solid = {true, false, true, true, true, false};
    EXPECT_EQ(T->mask, Solid);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(T->check_mask(x, y), Solid[size_t(3 * y + x)]) << x << "," << y;
    for (auto [X, Y] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {3, 1}, {2, 2}})
        EXPECT_FALSE(T->check_mask(X, Y)) << X << "," << Y;
}

TEST(TextureRegistry, HandlesCountSuccessfulLoadsOnly) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("reg/a.png", 2, 2, 3, std::vector<unsigned char>(12, 1)));
    ASSERT_TRUE(write_png("reg/b.png", 2, 2, 3, std::vector<unsigned char>(12, 2)));

    ref<texture> A = load_quietly("reg/a.png", false);
    ASSERT_FALSE(A.null());
    const int First = A->get_id;
    EXPECT_EQ(A.count(), 3);  // cache, index, caller

    const std::string MissingOnce =
        "- texture load: loading reg/missing.png\n"
        "* texlib load texdata fatal: couldn't load image file ``reg/missing.png''\n";
    testing::internal::CaptureStdout();
    EXPECT_TRUE(texture_load("reg/missing.png", false).null());
    EXPECT_TRUE(texture_load("reg/missing.png", false).null());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), MissingOnce + MissingOnce);

    ref<texture> B = load_quietly("reg/b.png", false);
    ASSERT_FALSE(B.null());
    EXPECT_EQ(B->get_id, First + 1);

    // Cached: no line, no GL call, and the other filtering is ignored.
    gl_record_reset();
    testing::internal::CaptureStdout();
    ref<texture> Again = texture_load("reg/a.png", true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(gl_calls.empty());
    EXPECT_EQ(Again.ptr(), A.ptr());

    // Another text for the same file is another texture.
    ref<texture> Dotted = load_quietly("./reg/a.png", false);
    ASSERT_FALSE(Dotted.null());
    EXPECT_EQ(Dotted->get_id, First + 2);

    EXPECT_EQ(texture_get(First).ptr(), A.ptr());
    EXPECT_EQ(texture_get(First + 1).ptr(), B.ptr());
    EXPECT_EQ(texture_get(First + 2).ptr(), Dotted.ptr());
}

TEST(TextureRegistry, HandlesOutOfRangeAreLogged) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("range/a.png", 1, 1, 3, {1, 2, 3}));
    ref<texture> A = load_quietly("range/a.png", false);
    ASSERT_FALSE(A.null());
    const int Count = A->get_id + 1;
    for (int Id : {-1, Count, Count + 100}) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(texture_get(Id).null());
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "* texture get fatal: texture " + std::to_string(Id) + " out of range\n");
    }
}

namespace {

// A process's first texture: other tests load textures before this one when
// the binary runs whole, so the load runs in a fresh process.
int first_handle_status() {
    scratch_dir Dir;
    if (!write_png("first/one.png", 1, 1, 3, {1, 2, 3})) return 2;
    ref<texture> T = load_quietly("first/one.png", false);
    if (T.null()) return 3;
    if (T->get_id != 0) {
        std::fprintf(stderr, "first handle %d\n", T->get_id);
        return 1;
    }
    return 0;
}

}  // namespace

TEST(TextureRegistry, TheFirstTextureOfAProcessHasHandleZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(first_handle_status()), testing::ExitedWithCode(0), "");
}

TEST(TextureRegistry, RefusedSurfacesMakeNoTextureAndUseNoHandle) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("refuse/a.png", 1, 1, 3, {1, 2, 3}));
    ASSERT_TRUE(write_png("refuse/b.png", 1, 1, 3, {1, 2, 3}));
    const int First = load_quietly("refuse/a.png", false)->get_id;

    // A 16-bit surface, and one whose packed size passes the int range (its
    // pixels are never read, so a small buffer stands behind it). No file of
    // a few bytes decodes to either.
    unsigned char Small[16] = {};
    struct refused {
        std::string name;
        SDL_Surface* (*make)(unsigned char* Pixels);
        std::string line;
    } const Cases[] = {
        {"refuse/16bit.png",
         [](unsigned char*) { return SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 16, SDL_PIXELFORMAT_RGB565); },
         "* load texture fatal: unsupported image bpp 16\n"},
        {"refuse/huge.png",
         [](unsigned char* Pixels) {
             return SDL_CreateRGBSurfaceWithFormatFrom(Pixels, 30000, 30000, 24, 90000, SDL_PIXELFORMAT_RGB24);
         },
         "* load texture fatal: image too large (30000x30000 pixels at 24 bpp)\n"},
    };
    for (const refused& Case : Cases) {
        SCOPED_TRACE(Case.name);
        // Twice: a refusal leaves no entry behind, so the second call decodes
        // and refuses again.
        for (int Attempt = 0; Attempt < 2; ++Attempt) {
            standin_name = Case.name;
            standin_surface = Case.make(Small);
            ASSERT_NE(standin_surface, nullptr);
            gl_record_reset();
            testing::internal::CaptureStdout();
            EXPECT_TRUE(texture_load(Case.name, false).null());
            EXPECT_EQ(testing::internal::GetCapturedStdout(), "- texture load: loading " + Case.name + "\n" + Case.line);
            EXPECT_EQ(standin_surface, nullptr);
            EXPECT_TRUE(gl_calls.empty());
        }
    }
    EXPECT_EQ(load_quietly("refuse/b.png", false)->get_id, First + 1);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(texture_get(First + 2).null());
    testing::internal::GetCapturedStdout();
}

TEST(TextureUpload, LevelThatCannotBeHadDropsTheTexture) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("level/before.png", 1, 1, 3, {1, 2, 3}));
    ASSERT_TRUE(write_png("level/square.png", 4, 4, 4, positional_rgba(4, 4)));
    const int First = load_quietly("level/before.png", false)->get_id;

    // The packed pixels are had; the 2x2 level is not.
    gl_record_reset();
    fail_nothrow_array_after_decode = 2;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(texture_load("level/square.png", false).null());
    const std::string Out = testing::internal::GetCapturedStdout();
    fail_nothrow_array_after_decode = nothrow_arrays_until_failure = 0;
    EXPECT_EQ(Out,
              "- texture load: loading level/square.png\n"
              "* load texture fatal: not enough memory for texture ``level/square.png''\n");
    std::vector<std::string> Want = setup_calls(1, false);
    Want.push_back(upload(0, Rgba, 4, 4));
    Want.push_back("glDeleteTextures(1,1)");
    EXPECT_EQ(gl_call_texts(), Want);

    // Nothing was kept: the name loads afresh and takes the next handle.
    ref<texture> Again = load_quietly("level/square.png", false);
    ASSERT_FALSE(Again.null());
    EXPECT_EQ(Again->get_id, First + 1);
}

TEST(TextureRegistry, EveryAllocationThatFailsRefusesTheWholeLoad) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("sweep/before.png", 1, 1, 3, {1, 2, 3}));
    // Square and uninterpolated, for the picked chain.
    const std::string Name = "sweep/square.png";
    ASSERT_TRUE(write_png(Name, 4, 4, 4, positional_rgba(4, 4)));
    const int First = load_quietly("sweep/before.png", false)->get_id;

    // The recorder allocates as it records; off, it still numbers textures.
    gl_record_reset();
    gl_record_enabled = false;
    const std::string Loading = "- texture load: loading " + Name + "\n";
    int Throwing = 0, NoThrow = 0;
    ref<texture> T;
    for (int N = 1; N < 100 && T.null(); ++N) {
        SCOPED_TRACE(N);
        fail_allocation_after_decode = N;
        failed_kind = failed::none;
        testing::internal::CaptureStdout();
        T = texture_load(Name, false);
        fail_allocation_after_decode = allocations_until_failure = 0;
        const std::string Out = testing::internal::GetCapturedStdout();
        if (failed_kind == failed::none) {
            EXPECT_FALSE(T.null());
            EXPECT_EQ(Out, Loading);
            break;
        }
        EXPECT_TRUE(T.null()) << "a load that ran out of memory was kept";
        if (failed_kind == failed::nothrow_array)
            ++NoThrow;
        else
            ++Throwing;
        // The packed pixels are the first array asked for without exceptions,
        // and keep the line of an unsupported depth; the level buffers follow.
        const bool PackedPixels = failed_kind == failed::nothrow_array && NoThrow == 1;
        EXPECT_EQ(Out, Loading + (PackedPixels ? std::string("* load texture fatal: unsupported image bpp 32\n")
                                               : "* load texture fatal: not enough memory for texture ``" + Name +
                                                     "''\n"));
    }
    gl_record_enabled = true;
    // The record, its mask, its handle and the cache node (and the index when
    // it grows; the key's text is made inside the C++ library, out of reach);
    // the packed pixels, and level buffers (which ones the sweep reaches
    // depends on when the index last grew).
    EXPECT_GE(Throwing, 4);
    EXPECT_GE(NoThrow, 2);
    ASSERT_FALSE(T.null());
    EXPECT_EQ(T->get_id, First + 1);
    EXPECT_EQ(T.count(), 3);
    EXPECT_EQ(texture_get(First + 1).ptr(), T.ptr());
    testing::internal::CaptureStdout();
    EXPECT_TRUE(texture_get(First + 2).null());
    testing::internal::GetCapturedStdout();
}
