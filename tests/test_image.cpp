#include "image.h"

#include <SDL.h>
#include <SDL_image.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <sys/resource.h>

#include "fixtures.h"
#include "graphics_images.h"

namespace {

std::string hex3(int R, int G, int B) {
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "%02x%02x%02x", R, G, B);
    return Buf;
}

void expect_color(const fcolor& C, float R, float G, float B, float A) {
    EXPECT_EQ(C[0], R);
    EXPECT_EQ(C[1], G);
    EXPECT_EQ(C[2], B);
    EXPECT_EQ(C[3], A);
}

const fcolor White = mkfcolor(1, 1, 1, 1);

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif

// For a child process: under an address-space limit of 1.5 GiB, Name is
// refused with the line Refusal; then, with a small image written under the
// same name, it loads afresh (nothing was kept from the refusal). 0 when all
// of that holds, else 1 after saying what differed.
int refusal_under_memory_limit(const std::string& Name, const std::string& Refusal) {
    rlimit Limit{};
    getrlimit(RLIMIT_AS, &Limit);
    Limit.rlim_cur = rlim_t(3) << 29;
    if (setrlimit(RLIMIT_AS, &Limit) != 0) return 2;

    testing::internal::CaptureStdout();
    const bool Refused = image_load(Name).null();
    const bool Written = write_png(Name, 1, 1, 4, {9, 8, 7, 6});
    ref<image> Small = image_load(Name);
    const std::string Out = testing::internal::GetCapturedStdout();

    const std::string Loading = "- image load: loading " + Name + "\n";
    const std::string Expected = Loading + Refusal + "\n" + Loading;
    const bool SmallLoaded = !Small.null() && color2str(Small->get_pixel(mkiloc(0, 0))) == "090807";
    if (Refused && Written && SmallLoaded && Out == Expected) return 0;
    std::fprintf(stderr, "refused %d, small image loaded %d, lines:\n%s", Refused, SmallLoaded, Out.c_str());
    return 1;
}

}  // namespace

TEST(ImageLoad, SecondLoadOfANameSharesTheFirstDecode) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("reg/two.png", 2, 1, 3, {1, 2, 3, 4, 5, 6}));
    testing::internal::CaptureStdout();
    ref<image> First = image_load("reg/two.png");
    ASSERT_FALSE(First.null());
    EXPECT_EQ(First.count(), 2);  // the registry and this handle
    ref<image> Second = image_load("reg/two.png");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "- image load: loading reg/two.png\n");
    EXPECT_EQ(First.ptr(), Second.ptr());
    EXPECT_EQ(First.count(), 3);

    // Another text for the same file is another image.
    testing::internal::CaptureStdout();
    ref<image> Other = image_load("./reg/two.png");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "- image load: loading ./reg/two.png\n");
    EXPECT_NE(Other.ptr(), First.ptr());
}

TEST(ImageLoad, FailuresAreLoggedAndTriedAgainOnEveryCall) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("fail/grey.png", 2, 2, 1, {0, 50, 100, 150}));
    struct failing {
        std::string name;
        std::string failure;
    } const Cases[] = {
        {"fail/missing.png", "* image load fatal: couldn't load image file ``fail/missing.png''\n"},
        {"fail/grey.png", "* image load fatal: unsupported BPP 8\n"},
    };
    for (const failing& Case : Cases) {
        SCOPED_TRACE(Case.name);
        const std::string Once = "- image load: loading " + Case.name + "\n" + Case.failure;
        testing::internal::CaptureStdout();
        EXPECT_TRUE(image_load(Case.name).null());
        EXPECT_TRUE(image_load(Case.name).null());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), Once + Once);
    }

    // Nothing was cached under the missing name: once the file exists it loads.
    ASSERT_TRUE(write_png("fail/missing.png", 1, 1, 4, {9, 8, 7, 6}));
    testing::internal::CaptureStdout();
    ref<image> Now = image_load("fail/missing.png");
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(Now.null());
    EXPECT_EQ(color2str(Now->get_pixel(mkiloc(0, 0))), "090807");
}

TEST(ImageLoad, HugeImagesAreRefusedUnderAMemoryLimit) {
#ifdef UNDER_ADDRESS_SANITIZER
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit an address-space limit, "
                    "and its allocator ends the process where a failed new would throw";
#endif
    scratch_dir Dir;
    // As colours at 16 bytes a pixel: 2.3 GB for the grey image (which is
    // refused for its depth before that), 1.6 GB for the RGBA one.
    ASSERT_TRUE(write_blank_png("huge/grey.png", 12000, 12000, 1));
    ASSERT_TRUE(write_blank_png("huge/rgba.png", 10000, 10000, 4));
    struct huge {
        std::string name;
        std::string refusal;
    } const Cases[] = {
        {"huge/grey.png", "* image load fatal: unsupported BPP 8"},
        {"huge/rgba.png", "* image load fatal: not enough memory for image ``huge/rgba.png''"},
    };
    for (const huge& Case : Cases)
        EXPECT_EXIT(std::exit(refusal_under_memory_limit(Case.name, Case.refusal)), testing::ExitedWithCode(0), "")
            << Case.name;
}

TEST(ImageLoad, TwentyFourBitRowsWithPaddedPitchKeepEveryPixel) {
    scratch_dir Dir;
    // 3 pixels wide: 9 bytes of pixels per row, padded by the decoder.
    const std::vector<unsigned char> Bytes = {
        255, 128, 0,   1, 2, 3,     4, 5, 6,        //
        7, 8, 9,       10, 11, 12,  13, 14, 15,     //
        250, 251, 252, 16, 32, 64,  200, 100, 50,   //
    };
    ASSERT_TRUE(write_png("rgb/three.png", 3, 3, 3, Bytes));
    SDL_Surface* Raw = IMG_Load("rgb/three.png");
    ASSERT_NE(Raw, nullptr);
    EXPECT_EQ(Raw->format->BitsPerPixel, 24);
    EXPECT_GT(Raw->pitch, 3 * 3);
    SDL_FreeSurface(Raw);

    testing::internal::CaptureStdout();
    ref<image> I = image_load("rgb/three.png");
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(I.null());
    EXPECT_EQ(I->size, mkiloc(3, 3));
    ASSERT_EQ(I->pixels.size(), 9u);
    expect_color(I->pixels[0], 1, 128 / 255.0f, 0, 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const unsigned char* B = &Bytes[(y * 3 + x) * 3];
            const std::string Hex = hex3(B[0], B[1], B[2]);
            SCOPED_TRACE(Hex);
            const fcolor C = I->get_pixel(mkiloc(x, y));
            EXPECT_EQ(C, I->pixels[size_t(y * 3 + x)]);
            EXPECT_EQ(C, str2color(Hex));
            EXPECT_EQ(color2str(C), Hex);
        }
}

TEST(ImageLoad, ThirtyTwoBitPixelsCarryTheirAlpha) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("rgba/two.png", 2, 1, 4, {0, 0, 0, 0, 10, 20, 30, 128}));
    testing::internal::CaptureStdout();
    ref<image> I = image_load("rgba/two.png");
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(I.null());
    expect_color(I->get_pixel(mkiloc(0, 0)), 0, 0, 0, 0);
    expect_color(I->get_pixel(mkiloc(1, 0)), 10 / 255.0f, 20 / 255.0f, 30 / 255.0f, 128 / 255.0f);
}

TEST(ImagePixels, OutsideTheImageIsOpaqueWhite) {
    scratch_dir Dir;
    ASSERT_TRUE(write_png("px/grid.png", 3, 2, 3, {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5}));
    testing::internal::CaptureStdout();
    ref<image> I = image_load("px/grid.png");
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(I.null());
    for (const iloc& Pos : {mkiloc(-1, 0), mkiloc(0, -1), mkiloc(3, 0), mkiloc(0, 2), mkiloc(3, 2)}) {
        SCOPED_TRACE(testing::Message() << Pos[0] << "," << Pos[1]);
        EXPECT_EQ(I->get_pixel(Pos), White);
    }
    EXPECT_EQ(color2str(I->get_pixel(mkiloc(2, 1))), "050505");
    EXPECT_EQ(color2str(I->get_pixel(mkiloc(0, 1))), "030303");
}

TEST(ImagePixels, AnyPixelTakesExactlyOneDrawPerCall) {
    scratch_dir Dir;
    std::vector<unsigned char> Bytes;
    for (int i = 0; i < 16; ++i) Bytes.insert(Bytes.end(), {(unsigned char)(i * 16), 0, 0});
    ASSERT_TRUE(write_png("any/row.png", 16, 1, 3, Bytes));
    ASSERT_TRUE(write_png("any/one.png", 1, 1, 3, {7, 7, 7}));
    testing::internal::CaptureStdout();
    ref<image> Row = image_load("any/row.png");
    ref<image> One = image_load("any/one.png");
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(Row.null());
    ASSERT_FALSE(One.null());

    rngen G, Reference;
    G.seed(99);
    Reference.seed(99);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Row->get_any_pixel(G), Row->pixels[size_t(Reference.get_index(16))]);
    EXPECT_EQ(color2str(One->get_any_pixel(G)), "070707");
    Reference.get();
    EXPECT_EQ(G.get(), Reference.get());
}

TEST(ImagePixels, AnImageWithoutPixelsGivesWhiteAndStillDraws) {
    scratch_dir Dir;
    ASSERT_TRUE(write_empty_tga("empty/none.tga"));
    testing::internal::CaptureStdout();
    ref<image> Empty = image_load("empty/none.tga");
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(Empty.null());
    EXPECT_EQ(Empty->size, mkiloc(0, 0));
    EXPECT_TRUE(Empty->pixels.empty());

    rngen G, Reference;
    G.seed(5);
    Reference.seed(5);
    EXPECT_EQ(Empty->get_any_pixel(G), White);
    EXPECT_EQ(image().get_any_pixel(G), White);
    Reference.get();
    Reference.get();
    EXPECT_EQ(G.get(), Reference.get());
    EXPECT_EQ(Empty->get_pixel(mkiloc(0, 0)), White);
}

TEST(ColourText, TextToColour) {
    struct text_case {
        std::string text;
        fcolor color;
        bool warns;
    } const Cases[] = {
        {"ff8000", mkfcolor(1, float(128 / 255.0), 0, 1), false},
        {"FF8000", mkfcolor(1, float(128 / 255.0), 0, 1), false},
        {"000000", mkfcolor(0, 0, 0, 1), false},
        {"zz0000", mkfcolor(0, 0, 0, 1), false},
        {"1z0000", mkfcolor(float(16 / 255.0), 0, 0, 1), false},
        {"0a0B0c", mkfcolor(float(10 / 255.0), float(11 / 255.0), float(12 / 255.0), 1), false},
        {"", mkfcolor(0, 0, 0, 0), false},
        {"fff", mkfcolor(0, 0, 0, 0), true},
        {"ff800", mkfcolor(0, 0, 0, 0), true},
        {"#ff8000", mkfcolor(0, 0, 0, 0), true},
    };
    for (const text_case& Case : Cases) {
        SCOPED_TRACE(Case.text);
        testing::internal::CaptureStdout();
        const fcolor C = str2color(Case.text);
        const std::string Out = testing::internal::GetCapturedStdout();
        expect_color(C, Case.color[0], Case.color[1], Case.color[2], Case.color[3]);
        EXPECT_EQ(Out, Case.warns ? "! str2color fatal: bad color string ``" + Case.text + "''\n" : "");
    }
    EXPECT_FLOAT_EQ(str2color("ff8000")[1], 0.5019608f);
}

TEST(ColourText, ColourToTextTruncatesAndIgnoresAlpha) {
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    struct colour_case {
        fcolor color;
        std::string text;
    } const Cases[] = {
        {mkfcolor(0.5f, 1, 0.25f, 1), "7fff3f"},
        {mkfcolor(1, 1, 1, 0), "ffffff"},
        {mkfcolor(1, 0, 0, 0), "ff0000"},
        {mkfcolor(0, 0, 0, 1), "000000"},
        {mkfcolor(1.5f, 0, 0, 1), "17e0000"},
        {mkfcolor(-0.5f, 0, 0, 1), "ffffff810000"},
        // Beyond int range the product is pinned to the nearest int; NaN is 0.
        {mkfcolor(1e10f, 0, 0, 1), "7fffffff0000"},
        {mkfcolor(-1e10f, 0, 0, 1), "800000000000"},
        {mkfcolor(NaN, 0, 0, 1), "000000"},
    };
    for (const colour_case& Case : Cases) {
        SCOPED_TRACE(Case.text);
        EXPECT_EQ(color2str(Case.color), Case.text);
    }
}

TEST(ColourText, EveryByteSurvivesTheRoundTrip) {
    for (int V = 0; V < 256; ++V) {
        const std::string Lower = hex3(V, 255 - V, (V * 7) & 255);
        std::string Upper = Lower;
        for (char& Ch : Upper) Ch = char(std::toupper(static_cast<unsigned char>(Ch)));
        EXPECT_EQ(color2str(str2color(Lower)), Lower);
        EXPECT_EQ(color2str(str2color(Upper)), Lower);
    }
}
