#include "font.h"

#include <malloc.h>

#include <cstddef>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "gl_record.h"

namespace {

// A script state with the standard libraries, closed at the end of the test.
struct script {
    lua_State* L = luaL_newstate();
    script() { luaL_openlibs(L); }
    ~script() { lua_close(L); }
    script(const script&) = delete;
    script& operator=(const script&) = delete;

    // Runs Chunk, then leaves the global "font" on top of the stack.
    void push_font(const std::string& Chunk) {
        lua_settop(L, 0);
        ASSERT_EQ(luaL_dostring(L, Chunk.c_str()), 0) << lua_tostring(L, -1);
        lua_getglobal(L, "font");
    }
};

// The glyph of the worked example, one sheet pixel per world unit.
const char* const ExampleGlyph =
    "{ bearing_x = 0, bearing_y = 0.046875, texcoord_x = 0.5, texcoord_y = 0.25,"
    "  size_x = 0.03125, size_y = 0.0625, advance = 0.0390625 }";

std::string font_chunk(const std::string& Sheet, const std::string& Fields) {
    return "font = { texture = '" + Sheet + "', pixelsize = 256, " + Fields + " }";
}

#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

// Bytes the program holds from the heap right now.
std::size_t allocated_bytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

void write_sheet(const std::string& Name) {
    ASSERT_TRUE(write_png(Name, 4, 4, 4, std::vector<unsigned char>(64, 255)));
}

// Initialises F from the chunk's "font" table, quietly; the stack must come
// back as it was.
void init_from(script& S, font& F, const std::string& Chunk) {
    S.push_font(Chunk);
    const int Top = lua_gettop(S.L);
    testing::internal::CaptureStdout();
    F.init(S.L);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(lua_gettop(S.L), Top);
    lua_settop(S.L, 0);
}

}  // namespace

TEST(FontDraw, WorkedExampleQuadWithAndWithoutItalics) {
    scratch_dir Dir;
    write_sheet("worked.png");
    script S;
    font F;
    init_from(S, F, font_chunk("worked.png", std::string("glyph_65 = ") + ExampleGlyph));
    ASSERT_FALSE(F.face_t.null());
    EXPECT_EQ(F.pixel_size, 256);
    EXPECT_EQ(F.get_advance(65), 10);
    EXPECT_EQ(F.get_advance(66), 0);

    gl_record_reset();
    F.render_char_quad(mkrpos(100, 50, 0), mkrpos(1, 1, 1), 65, false);
    EXPECT_EQ(gl_call_texts(), std::vector<std::string>({
                                   "glTexCoord2d(0.5,0.3125)", "glVertex3d(100,54,0)",
                                   "glTexCoord2d(0.53125,0.3125)", "glVertex3d(108,54,0)",
                                   "glTexCoord2d(0.53125,0.25)", "glVertex3d(108,38,0)",
                                   "glTexCoord2d(0.5,0.25)", "glVertex3d(100,38,0)",
                               }));

    gl_record_reset();
    F.render_char_quad(mkrpos(100, 50, 7), mkrpos(1, 1, 5), 65, true);
    EXPECT_EQ(gl_call_texts(), std::vector<std::string>({
                                   "glTexCoord2d(0.5,0.3125)", "glVertex3d(98,54,7)",
                                   "glTexCoord2d(0.53125,0.3125)", "glVertex3d(106,54,7)",
                                   "glTexCoord2d(0.53125,0.25)", "glVertex3d(110,38,7)",
                                   "glTexCoord2d(0.5,0.25)", "glVertex3d(102,38,7)",
                               }));

    gl_record_reset();
    F.render_char_quad(mkrpos(0, 0, 0), mkrpos(1, 1, 1), 66, false);
    EXPECT_TRUE(gl_calls.empty());
}

TEST(FontDraw, StringIsOneBatchWithThePenAdvancing) {
    scratch_dir Dir;
    write_sheet("frame.png");
    script S;
    font F;
    init_from(S, F, font_chunk("frame.png", std::string("glyph_65 = ") + ExampleGlyph));
    ASSERT_FALSE(F.face_t.null());
    const std::string Id = std::to_string(F.face_t->id);

    // Scale x 2: each quad 16 wide, the second pen 20 to the right; "B" has
    // no glyph and neither draws nor advances.
    gl_record_reset();
    F.render_string(mkrpos(0, 0, 0), mkrpos(2, 1, 1), "ABA", false);
    std::vector<std::string> Vertices;
    for (const gl_call& C : gl_calls_named("glVertex3d")) Vertices.push_back(C.text);
    EXPECT_EQ(Vertices, std::vector<std::string>({"glVertex3d(0,4,0)", "glVertex3d(16,4,0)", "glVertex3d(16,-12,0)",
                                    "glVertex3d(0,-12,0)", "glVertex3d(20,4,0)", "glVertex3d(36,4,0)",
                                    "glVertex3d(36,-12,0)", "glVertex3d(20,-12,0)"}));
    const std::vector<std::string> Texts = gl_call_texts();
    ASSERT_EQ(Texts.size(), 3u + 16u + 2u);
    EXPECT_EQ(Texts[0], "glBindTexture(0x0DE1," + Id + ")");
    EXPECT_EQ(Texts[1], "glEnable(0x0DE1)");
    EXPECT_EQ(Texts[2], "glBegin(0x0007)");
    EXPECT_EQ(Texts[19], "glEnd()");
    EXPECT_EQ(Texts[20], "glDisable(0x0DE1)");

    const std::vector<std::string> Framing = {"glBindTexture(0x0DE1," + Id + ")", "glEnable(0x0DE1)",
                                              "glBegin(0x0007)", "glEnd()", "glDisable(0x0DE1)"};
    gl_record_reset();
    F.render_string(mkrpos(5, 5, 0), mkrpos(1, 1, 1), "", false);
    EXPECT_EQ(gl_call_texts(), Framing);
    gl_record_reset();
    F.render_char(mkrpos(5, 5, 0), mkrpos(1, 1, 1), 66, false);
    EXPECT_EQ(gl_call_texts(), Framing);
}

TEST(FontMeasure, LengthUsesScaleXAndUnsignedBytes) {
    scratch_dir Dir;
    write_sheet("measure.png");
    script S;
    font F;
    init_from(S, F,
              font_chunk("measure.png", std::string("glyph_65 = ") + ExampleGlyph +
                                            ", glyph_10 = { advance = 0.25 }, glyph_233 = { advance = 0.5, size_x = 0.1 }"));
    struct length_case {
        std::string text;
        rpos scale;
        double length;
    } const Cases[] = {
        {"", mkrpos(1, 1, 1), 0},
        {"AA", mkrpos(2, 1, 1), 40},
        {"AA", mkrpos(1, 9, 9), 20},
        {"A\nB", mkrpos(1, 1, 1), 10 + 64},
        {"\xE9", mkrpos(1, 1, 1), 128},
        {"xyz", mkrpos(1, 1, 1), 0},
    };
    for (const length_case& Case : Cases) {
        SCOPED_TRACE(Case.text);
        EXPECT_EQ(F.get_length(Case.scale, Case.text), Case.length);
    }

    // The byte 0xE9 draws glyph 233 too, and moves the pen by its advance.
    gl_record_reset();
    F.render_string(mkrpos(0, 0, 0), mkrpos(1, 1, 1), "\xE9" "A", false);
    const std::vector<gl_call> Vertices = gl_calls_named("glVertex3d");
    ASSERT_EQ(Vertices.size(), 8u);
    EXPECT_EQ(Vertices[1].text, "glVertex3d(25.6,0,0)");
    EXPECT_EQ(Vertices[4].text, "glVertex3d(128,4,0)");
}

TEST(FontInit, SheetIsSampledSmoothlyWithAutomaticMipmaps) {
    scratch_dir Dir;
    write_sheet("smooth.png");
    script S;
    font F;
    gl_record_reset();
    init_from(S, F, font_chunk("smooth.png", "glyph_65 = { advance = 1 }"));
    ASSERT_FALSE(F.face_t.null());
    std::vector<std::string> Parameters;
    for (const gl_call& C : gl_calls_named("glTexParameteri")) Parameters.push_back(C.text);
    // Linear magnification, trilinear minification, generated mipmaps.
    EXPECT_EQ(Parameters, std::vector<std::string>({
                              "glTexParameteri(0x0DE1,0x2800,0x2601)",
                              "glTexParameteri(0x0DE1,0x2801,0x2703)",
                              "glTexParameteri(0x0DE1,0x2802,0x2901)",
                              "glTexParameteri(0x0DE1,0x2803,0x2901)",
                              "glTexParameteri(0x0DE1,0x8191,0x0001)",
                          }));
    EXPECT_EQ(gl_calls_named("glTexImage2D").size(), 1u);
}

TEST(FontInit, ReadsOnlyTableEntriesUnderTheirDecimalKeys) {
    scratch_dir Dir;
    write_sheet("keys.png");
    script S;
    font F;
    init_from(S, F,
              "local inherited = setmetatable({}, { __index = { glyph_70 = { advance = 3 } } })\n"
              "font = inherited\n"
              "font.texture = 'keys.png'\n"
              "font.pixelsize = 2\n"
              "font.glyph_65 = 5\n"
              "font.glyph_66 = 'x'\n"
              "font.glyph_065 = { advance = 1 }\n"
              "font.glyph_256 = { advance = 1 }\n"
              "font['glyph_-1'] = { advance = 1 }\n"
              "font.glyph_0 = { advance = 0.5 }\n"
              "font.glyph_255 = { advance = 2, size_x = 1, size_y = 1, texcoord_x = 0.5 }\n");
    std::vector<int> Codes;
    for (const auto& Entry : F.glyphs) Codes.push_back(Entry.first);
    EXPECT_EQ(Codes, std::vector<int>({0, 70, 255}));
    EXPECT_EQ(F.get_advance(70), 6);  // reached through the metatable

    // A glyph of advance only draws a zero-area quad at the pen.
    const font::glyph& Zero = F.glyphs.at(0);
    EXPECT_TRUE(Zero.bearing.zero() && Zero.texcoord.zero() && Zero.size.zero() && Zero.rendersize.zero());
    EXPECT_EQ(Zero.advance, 0.5);
    const font::glyph& Last = F.glyphs.at(255);
    EXPECT_EQ(Last.size, mkrloc(1, 1));
    EXPECT_EQ(Last.rendersize, mkrloc(1, 1));
    EXPECT_EQ(Last.texcoord, mkrloc(0.5, 0));
}

TEST(FontInit, PixelSizeAcceptsNumericStringsOnly) {
    scratch_dir Dir;
    write_sheet("ps.png");
    script S;
    struct size_case {
        std::string value;
        double pixel_size;
    } const Cases[] = {{"'2'", 2}, {"'abc'", 0}, {"12.5", 12.5}, {"nil", 0}, {"{}", 0}};
    for (const size_case& Case : Cases) {
        SCOPED_TRACE(Case.value);
        font F;
        F.pixel_size = 99;
        init_from(S, F, "font = { texture = 'ps.png', pixelsize = " + Case.value + " }");
        EXPECT_EQ(F.pixel_size, Case.pixel_size);
    }
}

TEST(FontInit, AgainOverwritesListedCodesAndKeepsTheRest) {
    scratch_dir Dir;
    write_sheet("again1.png");
    write_sheet("again2.png");
    script S;
    font F;
    init_from(S, F, font_chunk("again1.png", "glyph_65 = { advance = 1 }, glyph_66 = { advance = 1, size_x = 1 }"));
    init_from(S, F,
              "font = { texture = 'again2.png', pixelsize = 4, glyph_65 = 7, glyph_66 = { advance = 2 },"
              " glyph_67 = { advance = 3 } }");
    EXPECT_EQ(F.pixel_size, 4);
    EXPECT_EQ(F.get_advance(65), 4);   // skipped entry: the old glyph stays
    EXPECT_EQ(F.get_advance(66), 8);   // overwritten whole
    EXPECT_EQ(F.glyphs.at(66).size, mkrloc(0, 0));
    EXPECT_EQ(F.get_advance(67), 12);
}

TEST(FontInit, FailedSheetKeepsGlyphsAndDrawsNothing) {
    scratch_dir Dir;
    write_sheet("good.png");
    script S;
    font F;
    init_from(S, F, font_chunk("good.png", "glyph_65 = { advance = 0.5 }"));
    ASSERT_FALSE(F.face_t.null());

    S.push_font("font = { texture = 'absent.png', pixelsize = 1, glyph_65 = { advance = 9 } }");
    testing::internal::CaptureStdout();
    F.init(S.L);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "- texture load: loading absent.png\n"
              "* texlib load texdata fatal: couldn't load image file ``absent.png''\n"
              "* font init fatal: couldn't load texture ``absent.png''\n");
    EXPECT_EQ(lua_gettop(S.L), 1);
    EXPECT_TRUE(F.face_t.null());
    EXPECT_EQ(F.pixel_size, 256);
    EXPECT_EQ(F.get_length(mkrpos(1, 1, 1), "AA"), 256);

    gl_record_reset();
    F.render_string(mkrpos(0, 0, 0), mkrpos(1, 1, 1), "AA", false);
    F.render_char(mkrpos(0, 0, 0), mkrpos(1, 1, 1), 65, false);
    EXPECT_TRUE(gl_calls.empty());

    F.clear();
    EXPECT_TRUE(F.glyphs.empty());
    EXPECT_EQ(F.pixel_size, 256);
}

TEST(FontInit, ValueThatIsNotATableIsNotRead) {
    scratch_dir Dir;
    write_sheet("kept.png");
    script S;
    font F;
    init_from(S, F, font_chunk("kept.png", "glyph_65 = { advance = 0.5 }"));
    texture* Sheet = F.face_t.ptr();

    for (const char* Chunk : {"font = nil", "font = 42", "font = 'kept.png'"}) {
        SCOPED_TRACE(Chunk);
        S.push_font(Chunk);
        testing::internal::CaptureStdout();
        F.init(S.L);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "* font init fatal: font description is not a table\n");
        EXPECT_EQ(lua_gettop(S.L), 1);
        EXPECT_EQ(F.face_t.ptr(), Sheet);
        EXPECT_EQ(F.pixel_size, 256);
        EXPECT_EQ(F.get_advance(65), 128);
    }

    S.push_font("font = nil");
    testing::internal::CaptureStdout();
    register_font("from nil", S.L);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "* font init fatal: font description is not a table\n");
    EXPECT_EQ(lua_gettop(S.L), 1);
    font* Registered = get_font("from nil");
    ASSERT_NE(Registered, nullptr);
    EXPECT_TRUE(Registered->face_t.null());
    EXPECT_TRUE(Registered->glyphs.empty());
}

TEST(FontClear, DropsGlyphsAndReleasesTheSheet) {
    scratch_dir Dir;
    write_sheet("cleared.png");
    script S;
    font F;
    init_from(S, F, font_chunk("cleared.png", std::string("glyph_65 = ") + ExampleGlyph));
    // The sheet's holders: cache, index, the font, and this handle.
    const ref<texture> Sheet = F.face_t;
    ASSERT_EQ(Sheet.count(), 4);

    F.clear();
    EXPECT_TRUE(F.glyphs.empty());
    EXPECT_EQ(F.face_t.hub, nullptr);
    EXPECT_EQ(Sheet.count(), 3);
    EXPECT_EQ(F.pixel_size, 256);
    gl_record_reset();
    F.render_string(mkrpos(0, 0, 0), mkrpos(1, 1, 1), "A", false);
    EXPECT_TRUE(gl_calls.empty());
}

TEST(FontRegistry, SecondRegistrationReplacesAndReleasesTheFirst) {
    scratch_dir Dir;
    write_sheet("first.png");
    write_sheet("second.png");
    script S;

    S.push_font(font_chunk("first.png", "glyph_65 = { advance = 1 }"));
    testing::internal::CaptureStdout();
    register_font("menu", S.L);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(lua_gettop(S.L), 1);
    font* First = get_font("menu");
    ASSERT_NE(First, nullptr);
    EXPECT_EQ(First->get_advance(65), 256);

    // The sheet's holders: cache, index, the first font, and this handle.
    ref<texture> FirstSheet = texture_load("first.png", true);
    EXPECT_EQ(FirstSheet.count(), 4);

    S.push_font(font_chunk("second.png", "glyph_65 = { advance = 2 }"));
    testing::internal::CaptureStdout();
    register_font("menu", S.L);
    testing::internal::GetCapturedStdout();
    font* Second = get_font("menu");
    ASSERT_NE(Second, nullptr);
    EXPECT_EQ(Second->get_advance(65), 512);
    EXPECT_EQ(FirstSheet.count(), 3);  // the first font is gone

    EXPECT_EQ(get_font("never registered"), nullptr);
    EXPECT_EQ(get_font("never registered"), nullptr);
    EXPECT_EQ(get_font("Menu"), nullptr);

    // A lookup that finds nothing adds no entry: the heap does not grow.
    const std::string Unknown = "a name that no font was ever registered under";
    const std::size_t Before = allocated_bytes();
    const font* Found = get_font(Unknown);
    const std::size_t After = allocated_bytes();
    EXPECT_EQ(Found, nullptr);
    EXPECT_EQ(After, Before);
}
