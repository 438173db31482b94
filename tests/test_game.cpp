#include "game.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "rngen.h"

#include "fixtures.h"
#include "gl_record.h"
#include "main.h"
#include "sdlkeynames.h"

struct game_probe {
    static lua_State* state(game& G) { return G.L; }
    static const ref<font>& game_font(const game& G) { return G.F; }
};

namespace {

// A glyph sheet of 16 by 16 pixels; "A" is a quarter of it and advances 8
// world units per unit of text size.
const char* const font_script =
    "font = { texture = 'font.png', pixelsize = 16,\n"
    "  glyph_65 = { bearing_x = 0, bearing_y = 0.5, texcoord_x = 0, texcoord_y = 0,\n"
    "               size_x = 0.5, size_y = 0.5, advance = 0.5 } }\n";

const char* const lib_names[] = {"std", "rn", "debug", "class", "matrix", "color"};

// A game directory whose scripts record the order they ran in.
void write_game(const std::string& MainScript, const std::string& FontScript = font_script) {
    for (const char* Name : lib_names)
        write_file(std::string("game/lib/") + Name + ".lua",
                   std::string("order = (order or '') .. '") + Name + " '\n");
    write_file("game/font.lua", "order = order .. 'font '\n" + FontScript);
    write_file("game/main.lua", "order = order .. 'main '\n" + MainScript);
    std::vector<unsigned char> Sheet(16 * 16 * 4, 255);
    write_png("font.png", 16, 16, 4, Sheet);
}

struct Host : testing::Test {
    scratch_dir Dir;
    game G;
    lua_State* L = nullptr;
    std::vector<std::string> Log;

    void SetUp() override {
        sdl_key_names_init();
        quit_flag = false;
    }

    void TearDown() override {
        if (L) {
            EXPECT_EQ(lua_gettop(L), 0) << "the script stack is not as it was";
        }
    }

    void start(const std::string& MainScript, const std::string& FontScript = font_script) {
        write_game(MainScript, FontScript);
        capture([&] { G.init(); });
        L = game_probe::state(G);
    }

    template <typename Fn>
    void capture(Fn Action) {
        testing::internal::CaptureStdout();
        Action();
        Log = split_lines(testing::internal::GetCapturedStdout());
    }

    void lua(const std::string& Code) {
        ASSERT_EQ(luaL_dostring(L, Code.c_str()), 0) << lua_tostring(L, -1);
    }

    // The value of a script expression as tostring shows it.
    std::string eval(const std::string& Expression) {
        std::string Code = "return tostring(" + Expression + ")";
        if (luaL_dostring(L, Code.c_str()) != 0) {
            std::string Error = lua_tostring(L, -1);
            lua_pop(L, 1);
            return "error: " + Error;
        }
        std::string Value = lua_tostring(L, -1);
        lua_pop(L, 1);
        return Value;
    }

    // The GL calls of one render pass, the log in Log.
    std::vector<std::string> render() {
        gl_record_reset();
        capture([&] { G.render(); });
        return gl_call_texts();
    }

    std::vector<std::string> render(const std::string& List) {
        lua("render_list = " + List);
        return render();
    }
};

using Calls = std::vector<std::string>;
using Lines = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Start-up and inclusion

TEST_F(Host, InitRunsTheScriptsInOrderWithTheFunctionsAlreadyThere) {
    write_file("game/lib/std.lua",
               "order = 'std '\n"
               "seen = {}\n"
               "for _, n in ipairs{'include','texture_load','image_load_submask','RN_seed','RN',\n"
               "  'set_palette','image_size','WARN','image_exists','image_load_subpixels',\n"
               "  'str2color','color2str','text_len','game_quit'} do\n"
               "  seen[#seen + 1] = type(_G[n]) end\n"
               "lib_empty = next(LIB) == nil\n");
    write_file("game/main.lua", "order = order .. 'main '\nmain_len = text_len(1, 'AA')\n");
    for (const char* Name : lib_names)
        if (std::string(Name) != "std")
            write_file(std::string("game/lib/") + Name + ".lua", std::string("order = order .. '") + Name + " '\n");
    write_file("game/font.lua", std::string("order = order .. 'font '\nfont_len = text_len(1, 'AA')\n") + font_script);
    write_png("font.png", 16, 16, 4, std::vector<unsigned char>(16 * 16 * 4, 255));
    capture([&] { G.init(); });
    L = game_probe::state(G);

    EXPECT_EQ(eval("order"), "std rn debug class matrix color font main ");
    EXPECT_EQ(eval("table.concat(seen, ' ')"), eval("string.rep('function ', 13) .. 'function'"));
    EXPECT_EQ(eval("lib_empty"), "true");
    for (const char* Path : {"game/lib/std.lua", "game/lib/rn.lua", "game/lib/debug.lua", "game/lib/class.lua",
                             "game/lib/matrix.lua", "game/lib/color.lua", "game/font.lua", "game/main.lua"})
        EXPECT_EQ(eval(std::string("LIB['") + Path + "']"), "true") << Path;
    // The font exists from the main script on, and both holders share it.
    EXPECT_EQ(eval("font_len"), "0");
    EXPECT_EQ(eval("main_len"), "16");
    EXPECT_EQ(game_probe::game_font(G).hub, cur_font.hub);
    EXPECT_EQ(cur_font.count(), 2);
    // init logs nothing of its own.
    for (const std::string& Line : Log) EXPECT_NE(Line[0], '!') << Line;
}

TEST_F(Host, IncludeRunsEachPathOnceSuccessfully) {
    write_file("game/counted.lua", "runs = (runs or 0) + 1\n");
    write_file("game/returns.lua", "return 1, 2, 3\n");
    write_file("game/halfway.lua", "before = (before or 0) + 1\nerror('half way')\nafter = true\n");
    start("");
    struct {
        const char* code;
        const char* expression;
        const char* value;
        size_t warnings;
    } Cases[] = {
        {"include('lib/std')", "order", "std rn debug class matrix color font main ", 0},
        {"include('counted') include('counted')", "runs", "1", 0},
        {"include('./counted')", "runs", "2", 0},
        {"include('returns')", "LIB['game/returns.lua']", "true", 0},
        {"include('missing') include('missing')", "LIB['game/missing.lua']", "nil", 4},
        {"include('halfway') include('halfway')", "tostring(before) .. tostring(after)", "2nil", 4},
        {"LIB['game/counted2.lua'] = false include('counted2')", "runs", "2", 0},
        {"include(7)", "LIB['game/7.lua']", "nil", 2},
    };
    for (const auto& Case : Cases) {
        capture([&] { lua(Case.code); });
        EXPECT_EQ(eval(Case.expression), Case.value) << Case.code;
        size_t Warnings = 0;
        for (const std::string& Line : Log) Warnings += Line[0] == '!';
        EXPECT_EQ(Warnings, Case.warnings) << Case.code;
    }
    capture([&] { lua("include('missing')"); });
    ASSERT_EQ(Log.size(), 2u);
    EXPECT_EQ(Log[0], "! game script include warning: couldn't dofile ``game/missing.lua''");
    EXPECT_EQ(Log[1].substr(0, 6), "! --- ");
    capture([&] { lua("include('halfway')"); });
    EXPECT_EQ(Log.back(), "! --- game/halfway.lua:2: half way");
}

TEST_F(Host, ScriptIncludingItselfNestsUntilTheLimitThenIsMarked) {
    write_file("game/self.lua", "depth = (depth or 0) + 1\ninclude('self')\n");
    start("include('self')");
    EXPECT_EQ(eval("LIB['game/self.lua']"), "true");
    EXPECT_GT(std::stoi(eval("depth")), 10);
    EXPECT_EQ(eval("LIB['game/main.lua']"), "true");
    // Only the innermost run fails, and it is logged once.
    Lines Warnings;
    for (const std::string& Line : Log)
        if (Line[0] == '!') Warnings.push_back(Line);
    ASSERT_EQ(Warnings.size(), 2u) << ::testing::PrintToString(Warnings);
    EXPECT_EQ(Warnings[0], "! game script include warning: couldn't dofile ``game/self.lua''");
    EXPECT_EQ(Warnings[1].rfind("! --- ", 0), 0u);
}

TEST_F(Host, ErrorObjectsWithoutTextAreDescribedByType) {
    write_file("game/tablerr.lua", "error({})\n");
    write_file("game/nilerr.lua", "error()\n");
    start("include('tablerr') include('nilerr') include({})");
    Lines Expected = {
        "! game script include warning: couldn't dofile ``game/tablerr.lua''",
        "! --- (error object is a table value)",
        "! game script include warning: couldn't dofile ``game/nilerr.lua''",
        "! --- (error object is a nil value)",
        "! game script include warning: couldn't dofile ``game/main.lua''",
    };
    ASSERT_GE(Log.size(), Expected.size() + 1);
    Lines Tail(Log.end() - 6, Log.end() - 1);
    EXPECT_EQ(Tail, Expected);
    EXPECT_NE(Log.back().find("bad argument #1 to 'include' (string expected, got table)"), std::string::npos)
        << Log.back();
}

// ---------------------------------------------------------------------------
// update and keypress

TEST_F(Host, UpdatePublishesKeysAndCallsTheScript) {
    start("steps = {}\nfunction update(T) steps[#steps + 1] = T; kd = keys_down end\n");
    capture([&] { G.update(0.02); });
    EXPECT_TRUE(Log.empty());
    lua("first = kd");
    capture([&] { G.update(0.02); });
    EXPECT_EQ(eval("#steps .. ' ' .. steps[1] .. ' ' .. type(kd)"), "2 0.02 table");
    // Nothing is held without a keyboard; every pass gets a fresh table.
    EXPECT_EQ(eval("next(kd)"), "nil");
    EXPECT_EQ(eval("first ~= kd"), "true");
}

TEST_F(Host, UpdateFaultsAreLoggedEveryPass) {
    start("");
    struct {
        const char* code;
        Lines log;
    } Cases[] = {
        {"update = nil", {"* game update fatal: couldn't find the global update () function"}},
        {"update = 5",
         {"! game update warning: error calling update function", "! --- attempt to call a number value"}},
        {"function update() error('boom', 0) end",
         {"! game update warning: error calling update function", "! --- boom"}},
        {"function update() error(setmetatable({}, {})) end",
         {"! game update warning: error calling update function", "! --- (error object is a table value)"}},
    };
    for (const auto& Case : Cases) {
        lua(Case.code);
        for (int Pass = 0; Pass < 2; ++Pass) {
            capture([&] { G.update(0.02); });
            EXPECT_EQ(Log, Case.log) << Case.code;
        }
        EXPECT_EQ(eval("type(keys_down)"), "table") << Case.code;
    }
}

TEST_F(Host, KeypressPassesTheKeyName) {
    start("keys = ''\nfunction keypress(K) keys = keys .. K .. ' ' end\n");
    int A = sdl_key_name_scancodes.at("A");
    int Return = sdl_key_name_scancodes.at("RETURN");
    size_t Names = sdl_scancode_key_names.size();
    capture([&] {
        G.keypress(A);
        G.keypress(Return);
        G.keypress(-1);
        G.keypress(100000);
    });
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(eval("keys"), "A RETURN ");
    EXPECT_EQ(sdl_scancode_key_names.size(), Names);

    struct {
        const char* code;
        Lines log;
    } Cases[] = {
        {"keypress = nil", {"* game keypress fatal: couldn't find keypress () function"}},
        {"keypress = {}",
         {"! game update warning: error calling keypress function", "! --- attempt to call a table value"}},
    };
    for (const auto& Case : Cases) {
        lua(Case.code);
        capture([&] { G.keypress(A); });
        EXPECT_EQ(Log, Case.log) << Case.code;
    }
}

// ---------------------------------------------------------------------------
// The host's own reads of globals under hostile scripts

TEST_F(Host, RaisingGlobalsMetatableIsReportedNotFatal) {
    start("setmetatable(_G, { __index = function(_, K) error('no ' .. K, 0) end,\n"
          "                   __newindex = function(_, K) error('ro ' .. K, 0) end })\n");
    capture([&] { G.update(0.02); });
    EXPECT_EQ(Log, (Lines{"! game update warning: couldn't set the global keys_down", "! --- ro keys_down",
                          "! game update warning: couldn't read the global update", "! --- no update"}));
    capture([&] { G.keypress(sdl_key_name_scancodes.at("A")); });
    EXPECT_EQ(Log, (Lines{"! game keypress warning: couldn't read the global keypress", "! --- no keypress"}));
    render();
    EXPECT_EQ(Log, (Lines{"! game render warning: couldn't read the global render_list", "! --- no render_list"}));
    EXPECT_TRUE(gl_calls.empty());
}

TEST_F(Host, LibGuardThatCannotBeUsedFailsTheInclusion) {
    write_file("game/other.lua", "other_ran = (other_ran or 0) + 1\n");
    // "include" raises into the script that called it.
    start("LIB = 5\ninclude('other')\nafter = true\n");
    EXPECT_EQ(eval("other_ran"), "nil");
    EXPECT_EQ(eval("after"), "nil");
    ASSERT_GE(Log.size(), 2u);
    EXPECT_EQ(Lines(Log.end() - 2, Log.end()),
              (Lines{"! game script include warning: couldn't dofile ``game/main.lua''",
                     "! --- attempt to index a number value"}));

    // A guard that can be read but not written: the script ran, the mark raised.
    lua("LIB = setmetatable({}, { __newindex = function() error('sealed', 0) end })");
    capture([&] { EXPECT_EQ(eval("select(2, pcall(include, 'other'))"), "sealed"); });
    EXPECT_EQ(eval("other_ran"), "1");
    EXPECT_TRUE(Log.empty());
}

TEST_F(Host, LibGuardBrokenDuringStartUpIsLoggedForEachScript) {
    write_game("");
    write_file("game/lib/std.lua", "order = 'std '\nLIB = 5\n");
    capture([&] { G.init(); });
    L = game_probe::state(G);
    EXPECT_EQ(eval("order"), "std ");
    Lines Expected;
    for (const char* Path : {"game/lib/std.lua", "game/lib/rn.lua", "game/lib/debug.lua", "game/lib/class.lua",
                             "game/lib/matrix.lua", "game/lib/color.lua", "game/font.lua", "game/main.lua"}) {
        Expected.push_back(std::string("! game script include warning: couldn't use ``LIB'' for ``") + Path + "''");
        Expected.push_back("! --- attempt to index a number value");
    }
    Lines Warnings;
    for (const std::string& Line : Log)
        if (Line[0] == '!' && Line.find("game font") == std::string::npos && Line.find("global font") == std::string::npos)
            Warnings.push_back(Line);
    EXPECT_EQ(Warnings, Expected);
}

TEST_F(Host, FontThatCannotBeReadLeavesAnEmptyGameFont) {
    struct {
        const char* font_script;
        Lines log;
    } Cases[] = {
        {"font = 5",
         {"! game init warning: couldn't build the game font", "! --- the global font is a number value, not a table"}},
        {"font = nil",
         {"! game init warning: couldn't build the game font", "! --- the global font is a nil value, not a table"}},
        // The sheet's name is too long for a string's inner buffer, so an
        // error that skipped its destructor would leak it.
        {"font = setmetatable({ texture = 'a glyph sheet with a rather long name.png' },\n"
         "                    { __index = function(_, K) error('bad ' .. K, 0) end })",
         {"! game init warning: couldn't build the game font", "! --- bad pixelsize"}},
        {"font = setmetatable({ texture = 'a glyph sheet with a rather long name.png', pixelsize = 16 },\n"
         "                    { __index = function(_, K) if K == 'glyph_65' then error('bad ' .. K, 0) end end })",
         {"! game init warning: couldn't build the game font", "! --- bad glyph_65"}},
        {"setmetatable(_G, { __index = function(_, K) error('no ' .. K, 0) end })",
         {"! game init warning: couldn't read the global font", "! --- no font"}},
    };
    for (const auto& Case : Cases) {
        scratch_dir Inner;
        game Fresh;
        write_game("", Case.font_script);
        write_png("a glyph sheet with a rather long name.png", 16, 16, 4, std::vector<unsigned char>(16 * 16 * 4, 255));
        capture([&] { Fresh.init(); });
        lua_State* FreshL = game_probe::state(Fresh);
        Lines Warnings;
        for (const std::string& Line : Log)
            if (Line[0] == '!') Warnings.push_back(Line);
        EXPECT_EQ(Warnings, Case.log) << Case.font_script;
        ASSERT_FALSE(game_probe::game_font(Fresh).null());
        EXPECT_EQ(game_probe::game_font(Fresh).hub, cur_font.hub);
        EXPECT_EQ(lua_gettop(FreshL), 0);
        ASSERT_EQ(luaL_dostring(FreshL, "render_list = {{'text', 0, 0, 1, 'A'}}; return text_len(1, 'AAA')"), 0);
        EXPECT_EQ(lua_tonumber(FreshL, -1), 0);
        lua_pop(FreshL, 1);
        gl_record_reset();
        capture([&] { Fresh.render(); });
        for (const std::string& Call : gl_call_texts())
            EXPECT_EQ(Call.find("glVertex"), std::string::npos) << Case.font_script;
    }
}

// ---------------------------------------------------------------------------
// Script functions

TEST_F(Host, TextArgumentsThatAreNoTextRaiseBadArgument) {
    start("");
    struct {
        const char* call;
        const char* message;
    } Cases[] = {
        {"texture_load({})", "bad argument #1 to 'texture_load' (string expected, got table)"},
        {"image_load_submask(true, 0, 0, 1, 1)", "bad argument #1 to 'image_load_submask' (string expected, got boolean)"},
        {"image_load_subpixels(nil)", "bad argument #1 to 'image_load_subpixels' (string expected, got nil)"},
        {"image_size()", "bad argument #1 to 'image_size' (string expected, got no value)"},
        {"WARN({})", "bad argument #1 to 'WARN' (string expected, got table)"},
        {"image_exists(print)", "bad argument #1 to 'image_exists' (string expected, got function)"},
        {"str2color({})", "bad argument #1 to 'str2color' (string expected, got table)"},
        {"text_len(1, {})", "bad argument #2 to 'text_len' (string expected, got table)"},
        {"include({})", "bad argument #1 to 'include' (string expected, got table)"},
    };
    for (const auto& Case : Cases) {
        std::string Message;
        capture([&] { Message = eval(std::string("select(2, pcall(function() ") + Case.call + " end))"); });
        EXPECT_NE(Message.find(std::string(":1: ") + Case.message), std::string::npos) << Message;
        EXPECT_TRUE(Log.empty()) << Case.call;
    }
}

TEST_F(Host, TextureLoadGivesHandlesInLoadOrder) {
    std::vector<unsigned char> Pixels(4 * 2 * 4, 200);
    write_png("data/one.png", 4, 2, 4, Pixels);
    write_png("data/sub/two.png", 2, 2, 4, Pixels);
    start("one = texture_load('one') again = texture_load('one')\n"
          "missing = texture_load('nothing')\n"
          "two = texture_load('sub/two')\n");
    EXPECT_EQ(eval("again == one"), "true");
    EXPECT_EQ(eval("two - one"), "1");
    EXPECT_EQ(eval("missing"), "nil");
    Lines Wanted = {"- texture load: loading data/nothing.png",
                    "* texlib load texdata fatal: couldn't load image file ``data/nothing.png''",
                    "* script texture load: could not find texture nothing"};
    auto At = std::search(Log.begin(), Log.end(), Wanted.begin(), Wanted.end());
    EXPECT_NE(At, Log.end());
}

TEST_F(Host, SubRectangleReads) {
    // 2 by 1: (255, 0, 51, 102) then (0, 255, 0, 255).
    write_png("data/pair.png", 2, 1, 4, {255, 0, 51, 102, 0, 255, 0, 255});
    start("");
    struct {
        const char* call;
        const char* result;
    } Cases[] = {
        {"image_load_subpixels('pair', 0, 0, 2, 1)", "1 0 0.2 0 1 0"},
        {"image_load_submask('pair', 0, 0, 2, 1)", "0.4 1"},
        {"image_load_subpixels('pair', 1.9, 0, 2, 1)", "0 1 0 1 1 1"},
        {"image_load_submask('pair', -1, 0, 1, 2)", "1 1"},
        {"image_load_submask('pair', 0, 0, 0, 5)", ""},
        // Empty, however many rows it names.
        {"image_load_submask('pair', 0, -2147483648, 0, 2147483647)", ""},
        {"image_load_subpixels('pair', 0, 0, 3, -1)", ""},
        {"image_load_submask('pair', 2147483646, 0, 3, 1)", "1 1 1"},
        {"image_load_submask('pair', 0 / 0, -1e300, 1, 1)", "1"},
        {"image_load_submask('pair', 1, 0, '1', '1')", "1"},
    };
    lua("function flat(T) local S = {} for i, V in ipairs(T) do S[i] = string.format('%.6g', V) end "
        "return table.concat(S, ' ') end");
    for (const auto& Case : Cases) {
        capture([&] { EXPECT_EQ(eval(std::string("flat(") + Case.call + ")"), Case.result) << Case.call; });
        EXPECT_TRUE(Log.empty() || Log[0].find("image load: loading") != std::string::npos) << Case.call;
    }
    EXPECT_EQ(eval("select('#', image_size('pair'))"), "2");
    EXPECT_EQ(eval("table.concat({image_size('pair')}, ' ')"), "2 1");

    // Refused: a missing image, and a rectangle too large to build.
    struct {
        const char* call;
        const char* line;
    } Refused[] = {
        {"image_load_submask('gone', 0, 0, 1, 1)", "* script image load submask: could not find image gone"},
        {"image_size('gone')", "* script image load submask: could not find image gone"},
        {"image_load_subpixels('gone', 0, 0, 1, 1)", "* script image load submask: could not find image gone"},
        {"image_load_submask('pair', 0, 0, 1e9, 1e9)",
         "* script image load submask: rectangle of 1000000000 by 1000000000 pixels of pair is too large"},
        {"image_load_subpixels('pair', -2147483648, -2147483648, 2147483647, 2147483647)",
         "* script image load submask: rectangle of 2147483647 by 2147483647 pixels of pair is too large"},
    };
    for (const auto& Case : Refused) {
        capture([&] { EXPECT_EQ(eval(std::string("select('#', ") + Case.call + ")"), "0") << Case.call; });
        ASSERT_FALSE(Log.empty()) << Case.call;
        EXPECT_EQ(Log.back(), Case.line);
    }
}

TEST_F(Host, GeneratorSeeding) {
    start("");
    struct {
        const char* a;
        const char* b;
    } Same[] = {
        {"RN_seed(0)", "RN_seed(1)"},
        {"RN_seed('7')", "RN_seed(7)"},
        {"RN_seed()", "RN_seed(1)"},
        {"RN_seed(7.9)", "RN_seed(7)"},
        {"RN_seed(1e300)", "RN_seed(2147483647)"},
        {"RN_seed(-1e300)", "RN_seed(-2147483648)"},
        {"RN_seed(0 / 0)", "RN_seed(0)"},
    };
    for (const auto& Case : Same) {
        std::string Draws = "RN() .. ' ' .. RN() .. ' ' .. RN()";
        lua(Case.a);
        std::string A = eval(Draws);
        lua(Case.b);
        EXPECT_EQ(eval(Draws), A) << Case.a << " vs " << Case.b;
    }
    lua("RN_seed(-1)");
    EXPECT_EQ(RN.mt[0], 0xffffffffUL);
    lua("RN_seed(3)");
    std::string Three = eval("RN()");
    lua("RN_seed(4)");
    EXPECT_NE(eval("RN()"), Three);
}

TEST_F(Host, PaletteGrowsAndRefusesIdsOutsideItsLimits) {
    start("");
    palette.clear();
    lua("set_palette(3, 0.5, '0.25', 1)");
    ASSERT_EQ(palette.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(palette[i] == mkfcolor(0, 0, 0, 0)) << i;
    EXPECT_TRUE(palette[3] == mkfcolor(0.5f, 0.25f, 1, 1));
    struct {
        const char* call;
        const char* line;
    } Cases[] = {
        {"set_palette(-1, 1, 1, 1)", "! script set palette warning: palette id -1 out of range; ignored"},
        {"set_palette(65536, 1, 1, 1)", "! script set palette warning: palette id 65536 out of range; ignored"},
        {"set_palette(1e300, 1, 1, 1)", "! script set palette warning: palette id 2147483647 out of range; ignored"},
    };
    for (const auto& Case : Cases) {
        capture([&] { lua(Case.call); });
        EXPECT_EQ(Log, Lines{Case.line});
        EXPECT_EQ(palette.size(), 4u);
    }
    lua("set_palette(65535, 0, 0, 0)");
    EXPECT_EQ(palette.size(), 65536u);
    palette.clear();
}

TEST_F(Host, ColourTextLengthWarningAndQuit) {
    write_file("data/not_an_image.png", "hello");
    start("");
    struct {
        const char* expression;
        const char* value;
        Lines log;
    } Cases[] = {
        {"string.format('%.17g %.17g %.17g', unpack(str2color('ff8000')))", "1 0.50196081399917603 0", {}},
        {"table.concat(str2color(''), ' ')", "0 0 0", {}},
        {"table.concat(str2color('fff'), ' ')", "0 0 0", {"! str2color fatal: bad color string ``fff''"}},
        {"#str2color('00ff00')", "3", {}},
        {"color2str(1, 0.5, 0)", "ff7f00", {}},
        {"text_len(1, '')", "0", {}},
        {"text_len(2, 'AA')", "32", {}},
        {"text_len('0.5', 'AB')", "4", {}},
        {"image_exists('not_an_image')", "true", {}},
        {"image_exists('missing')", "false", {}},
        {"select('#', WARN(5))", "0", {"! 5"}},
        {"select('#', WARN('watch out'))", "0", {"! watch out"}},
    };
    for (const auto& Case : Cases) {
        capture([&] { EXPECT_EQ(eval(Case.expression), Case.value) << Case.expression; });
        EXPECT_EQ(Log, Case.log) << Case.expression;
    }
    EXPECT_FALSE(quit_flag);
    lua("game_quit()");
    EXPECT_TRUE(quit_flag);
    quit_flag = false;
}

// ---------------------------------------------------------------------------
// The render-command interpreter

const std::string not_table = "* game render command fatal: command is not itself a table!";
const std::string empty_table = "* game render command fatal: empty table specified!";

TEST_F(Host, RenderListFaults) {
    start("");
    for (int Pass = 0; Pass < 2; ++Pass) {
        EXPECT_TRUE(render().empty());
        EXPECT_EQ(Log, Lines{"* game render fatal: couldn't find the global render table"});
    }
    struct {
        const char* list;
        Calls calls;
        Lines log;
    } Cases[] = {
        {"5", {}, {not_table}},
        {"{}", {}, {empty_table}},
        {"{{}, {'rgba', 1, 0, 0, 1}, {}}", {"glColor4d(1,0,0,1)"}, {empty_table, empty_table}},
        {"{{'rgba', 1, 0, 0, 1}, 'oops', {'rgba', 0, 1, 0, 1}}", {"glColor4d(1,0,0,1)", "glColor4d(0,1,0,1)"},
         {not_table}},
        {"{{'RGBA', 1, 1, 1, 1}, {'rgba ', 1}, {7, 1}, {'rgba\\0x', 0, 0, 0, 1}}",
         {"glColor4d(0,0,0,1)"},
         {"! game render command warning: unrecognized command ``RGBA''; skipping",
          "! game render command warning: unrecognized command ``rgba ''; skipping",
          "! game render command warning: unrecognized command ``7''; skipping"}},
        {"{{true, {'rgba', 1, 1, 1, 1}}, {'rgba', 0, 0, 1, 1}}", {"glColor4d(0,0,1,1)"}, {}},
        {"{{'rgba', 1, 1, 1}, {'rgba', 1, 1, 1, 1, {'rect', 0, 0, 1, 1}}, {'none', {'rect', 0, 0, 1, 1}}}",
         {"glColor4d(1,1,1,1)"},
         {}},
        {"{'rgba', '0.5', 'red', {}, true}", {"glColor4d(0.5,0,0,0)"}, {}},
        {"{'camera', 10, -20}", {"glMatrixMode(0x1700)", "glLoadIdentity()", "gluLookAt(10,-20,0,10,-20,1,0,-1,0)"}, {}},
        {"{'camera', 10}", {}, {}},
        {"{'zoffs', 0.25}", {"glTranslated(0,0,0.25)"}, {}},
        {"{'translate', 1, 2}", {}, {}},
        {"{'translate', 1, 2, 'x'}", {"glPushMatrix()", "glTranslated(1,2,0)", "glPopMatrix()"}, {not_table}},
        {"{'translate', 5, 0, {'translate', 10, 0, {'zoffs', 1}}}",
         {"glPushMatrix()", "glTranslated(5,0,0)", "glPushMatrix()", "glTranslated(10,0,0)", "glTranslated(0,0,1)",
          "glPopMatrix()", "glPopMatrix()"},
         {}},
        {"{'scale', 2, 3, {'rgba', 1, 1, 1, 1}, {'rgba', 0, 0, 0, 0}}",
         {"glPushMatrix()", "glScaled(2,3,1)", "glColor4d(1,1,1,1)", "glPopMatrix()"},
         {}},
        {"{'rotate', math.pi, {'camera', 0, 0}}",
         {"glPushMatrix()", "glRotated(180,0,0,1)", "glMatrixMode(0x1700)", "glLoadIdentity()",
          "gluLookAt(0,0,0,0,0,1,0,-1,0)", "glPopMatrix()"},
         {}},
        {"{'rotate'}", {}, {}},
    };
    for (const auto& Case : Cases) {
        EXPECT_EQ(render(Case.list), Case.calls) << Case.list;
        EXPECT_EQ(Log, Case.log) << Case.list;
    }
}

TEST_F(Host, RenderListThatHoldsItselfIsNotWalkedAgain) {
    start("");
    const std::string repeat = "* game render command fatal: render list contains itself; skipping the repeated table";
    const std::string deep =
        "* game render command fatal: render list nested deeper than 200 levels; skipping the deeper tables";
    struct {
        const char* setup;
        Calls calls;
        Lines log;
    } Cases[] = {
        {"L = {{'rgba', 1, 0, 0, 1}} L[2] = L L[3] = L L[4] = {'rgba', 0, 1, 0, 1}",
         {"glColor4d(1,0,0,1)", "glColor4d(0,1,0,1)"},
         {repeat}},
        {"L = {} local A = {L, L} for i = 1, 40 do L[i] = A end",
         {},
         {repeat}},
        {"L = {'translate', 1, 2} L[4] = L", {"glPushMatrix()", "glTranslated(1,2,0)", "glPopMatrix()"}, {repeat}},
        // Deeper than the bound: the first 200 levels are walked, the rest are not.
        {"L = {'rgba', 1, 1, 1, 1} for i = 1, 250 do L = {{'zoffs', i}, L} end", {}, {deep}},
        // The same table twice side by side is no cycle.
        {"local R = {'rgba', 1, 1, 1, 1} L = {R, {R}, R}",
         {"glColor4d(1,1,1,1)", "glColor4d(1,1,1,1)", "glColor4d(1,1,1,1)"},
         {}},
    };
    for (const auto& Case : Cases) {
        lua(std::string(Case.setup) + " render_list = L");
        for (int Pass = 0; Pass < 2; ++Pass) {
            Calls Got = render();
            if (std::string(Case.setup).find("250") != std::string::npos) {
                EXPECT_EQ(Got.size(), 199u) << "zoffs of the walked levels";
                EXPECT_EQ(Got.front(), "glTranslated(0,0,250)");
            } else {
                EXPECT_EQ(Got, Case.calls) << Case.setup;
            }
            EXPECT_EQ(Log, Case.log) << Case.setup;
        }
    }
}

// ---------------------------------------------------------------------------
// Drawing words

size_t count_of(const Calls& C, const std::string& Prefix) {
    size_t N = 0;
    for (const std::string& S : C) N += S.compare(0, Prefix.size(), Prefix) == 0;
    return N;
}

TEST_F(Host, PolygonsAndLines) {
    start("");
    struct {
        const char* list;
        Calls calls;
    } Cases[] = {
        {"{'line', 1, 2, 3, 4, 2.5}",
         {"glLineWidth(2.5)", "glBegin(0x0001)", "glVertex3f(1,2,0)", "glVertex3f(3,4,0)", "glEnd()"}},
        {"{'rect', 0, 0, 10, 5}",
         {"glBegin(0x0007)", "glVertex3f(-10,-5,0)", "glVertex3f(10,-5,0)", "glVertex3f(10,5,0)",
          "glVertex3f(-10,5,0)", "glEnd()"}},
        {"{'quad', 1, 2, 3, 4, 5, 6, 7, 8}",
         {"glBegin(0x0007)", "glVertex3f(1,2,0)", "glVertex3f(3,4,0)", "glVertex3f(5,6,0)", "glVertex3f(7,8,0)",
          "glEnd()"}},
        {"{'quad', 1, 2, 3, 4, 5, 6, 7}", {}},
        {"{'tri', 1, 2, 3, 4, 5, 6}",
         {"glBegin(0x0004)", "glVertex3f(1,2,0)", "glVertex3f(3,4,0)", "glVertex3f(5,6,0)", "glEnd()"}},
        {"{'dashline', 0, 0, 85, 0, 2, 10, 10}",
         {"glLineWidth(2)", "glBegin(0x0001)", "glVertex3dv(0,0,0)", "glVertex3dv(10,0,0)", "glVertex3dv(20,0,0)",
          "glVertex3dv(30,0,0)", "glVertex3dv(40,0,0)", "glVertex3dv(50,0,0)", "glVertex3dv(60,0,0)",
          "glVertex3dv(70,0,0)", "glVertex3dv(80,0,0)", "glVertex3dv(90,0,0)", "glEnd()"}},
        {"{'dashline', 5, 5, 5, 5, 1, 10, 10}", {"glLineWidth(1)", "glBegin(0x0001)", "glEnd()"}},
    };
    for (const auto& Case : Cases) {
        EXPECT_EQ(render(Case.list), Case.calls) << Case.list;
        EXPECT_TRUE(Log.empty()) << Case.list;
    }
    Calls Seven = render("{'dashline', 0, 0, 100, 0, 1, 10, 5}");
    EXPECT_EQ(count_of(Seven, "glVertex3dv"), 14u);
    EXPECT_EQ(Seven[Seven.size() - 3], "glVertex3dv(90,0,0)");
    EXPECT_EQ(Seven[Seven.size() - 2], "glVertex3dv(100,0,0)");
    Calls Diagonal = render("{'dashline', 0, 0, 0, -30, 1, 10, 10}");
    EXPECT_EQ(Diagonal[3], "glVertex3dv(0,-10,0)");
}

TEST_F(Host, DashlineWithoutAPositiveStepDrawsNoDash) {
    start("");
    struct {
        const char* list;
        std::string line;
    } Cases[] = {
        {"{'dashline', 0, 0, 100, 0, 1, 0, 0}", "! game render command warning: dashline with no positive dash plus gap has no dashes"},
        {"{'dashline', 0, 0, 100, 0, 1, 5, -10}", "! game render command warning: dashline with no positive dash plus gap has no dashes"},
        {"{'dashline', 0, 0, 1e100, 0, 1, 1, 1}", "* game render command fatal: dashline of 2147483647 dashes is too long; skipping"},
    };
    for (const auto& Case : Cases) {
        EXPECT_EQ(render(Case.list), (Calls{"glLineWidth(1)", "glBegin(0x0001)", "glEnd()"})) << Case.list;
        EXPECT_EQ(Log, Lines{Case.line}) << Case.list;
    }
}

TEST_F(Host, DashlineWhoseStepIsNotANumberDrawsOneDash) {
    start("");
    EXPECT_EQ(render("{'dashline', 0, 0, 100, 0, 1.5, 12.5, 0/0}"),
              (Calls{"glLineWidth(1.5)", "glBegin(0x0001)", "glVertex3dv(0,0,0)", "glVertex3dv(12.5,0,0)", "glEnd()"}));
    EXPECT_TRUE(Log.empty());
    Calls Infinite = render("{'dashline', 3, 4, 100, 4, 1, math.huge, -math.huge}");
    EXPECT_EQ(count_of(Infinite, "glVertex3dv"), 2u);
    EXPECT_EQ(Infinite[2], "glVertex3dv(3,4,0)");
    EXPECT_EQ(Infinite[3].rfind("glVertex3dv(inf,", 0), 0u) << Infinite[3];
    EXPECT_TRUE(Log.empty());
}

TEST_F(Host, CircarcSegments) {
    start("");
    struct {
        const char* list;
        size_t vertices;
    } Cases[] = {
        {"{'circarc', 0, 0, 100, 0, 2 * math.pi, 1}", 26},
        {"{'circarc', 0, 0, 10, 0, 2 * math.pi, 1}", 3},
        {"{'circarc', 0, 0, 3, 0, 2 * math.pi, 1}", 1},
        {"{'circarc', 0, 0, 50, 0, math.pi / 2, 1}", 4},
        {"{'circarc', 0, 0, -100, 0, 2 * math.pi, 1}", 0},
        {"{'circarc', 0, 0, -100, 0, -2 * math.pi, 1}", 26},
    };
    for (const auto& Case : Cases) {
        Calls C = render(Case.list);
        EXPECT_EQ(count_of(C, "glVertex3f"), Case.vertices) << Case.list;
        EXPECT_EQ(C.front(), "glLineWidth(1)");
        EXPECT_EQ(C[1], "glBegin(0x0003)");
        EXPECT_EQ(C.back(), "glEnd()");
    }
    Calls Ten = render("{'circarc', 5, 0, 10, 0, 2 * math.pi, 3}");
    ASSERT_EQ(Ten.size(), 6u);
    EXPECT_EQ(Ten[2], "glVertex3f(15,0,0)");
    EXPECT_EQ(Ten[3].substr(0, 16), "glVertex3f(-5,1.");  // opposite point, up to rounding
    EXPECT_EQ(Ten[4].substr(0, 14), "glVertex3f(15,");
    // An arc that would need more vertices than a frame can hold is refused.
    EXPECT_TRUE(render("{'circarc', 0, 0, 1e12, 0, 2 * math.pi, 1}").empty());
    EXPECT_EQ(Log, Lines{"* game render command fatal: circarc of 2147483647 segments is too long; skipping"});
}

TEST_F(Host, Pictures) {
    write_png("data/wide.png", 64, 32, 4, std::vector<unsigned char>(64 * 32 * 4, 255));
    start("wide = texture_load('wide')");
    lua("render_list = {'picture', wide}");
    Calls C = render();
    int Id = int(gl_calls_named("glBindTexture").at(0).args.at(1));
    EXPECT_EQ(C, (Calls{"glEnable(0x0DE1)", "glBindTexture(0x0DE1," + std::to_string(Id) + ")", "glBegin(0x0007)",
                        "glNormal3f(0,0,-1)", "glTexCoord2d(0,0)", "glVertex3d(-32,-16,0)", "glTexCoord2d(1,0)",
                        "glVertex3d(32,-16,0)", "glTexCoord2d(1,1)", "glVertex3d(32,16,0)", "glTexCoord2d(0,1)",
                        "glVertex3d(-32,16,0)", "glEnd()", "glDisable(0x0DE1)"}));
    EXPECT_TRUE(Log.empty());
    struct {
        const char* list;
        const char* line;
    } Bad[] = {
        {"{{'picture', -1}, {'rgba', 1, 1, 1, 1}}", "* texture get fatal: texture -1 out of range"},
        {"{{'picture', 1e300}, {'rgba', 1, 1, 1, 1}}", "* texture get fatal: texture 2147483647 out of range"},
        {"{{'picture', wide + 1}, {'rgba', 1, 1, 1, 1}}", nullptr},
    };
    for (const auto& Case : Bad) {
        EXPECT_EQ(render(Case.list), Calls{"glColor4d(1,1,1,1)"}) << Case.list;
        ASSERT_EQ(Log.size(), 1u);
        if (Case.line) {
            EXPECT_EQ(Log[0], Case.line);
        }
    }
}

TEST_F(Host, TextIsAlignedWithTheGameFont) {
    start("");
    struct {
        const char* list;
        double first_x;
    } Cases[] = {
        {"{'text', 100, 50, 1, 'AAAAA'}", 100},
        {"{'centertext', 100, 50, 1, 'AAAAA'}", 80},
        {"{'righttext', 100, 50, 1, 'AAAAA'}", 60},
        {"{'righttext', 100, 50, 2, 'AA'}", 68},
    };
    for (const auto& Case : Cases) {
        render(Case.list);
        std::vector<gl_call> Vertices = gl_calls_named("glVertex3d");
        ASSERT_FALSE(Vertices.empty()) << Case.list;
        EXPECT_EQ(Vertices[0].args[0], Case.first_x) << Case.list;
        EXPECT_EQ(Vertices[0].args[1], 50) << Case.list;
        EXPECT_EQ(gl_calls.front().name, "glBindTexture");
        EXPECT_EQ(gl_call_texts().back(), "glDisable(0x0DE1)");
    }
    // A number is a text too; it has no glyph here, so only the framing shows.
    Calls Number = render("{'text', 0, 0, 1, 5}");
    ASSERT_EQ(Number.size(), 5u);
    EXPECT_EQ(Number[1], "glEnable(0x0DE1)");
    EXPECT_EQ(Number[2], "glBegin(0x0007)");
    for (const char* Word : {"text", "righttext", "centertext"}) {
        Calls C = render(std::string("{'") + Word + "', 100, 50, 1, ''}");
        EXPECT_EQ(count_of(C, "glVertex"), 0u) << Word;
        EXPECT_TRUE(Log.empty());
        C = render(std::string("{{'") + Word + "', 100, 50, 1, {}}, {'rgba', 1, 1, 1, 1}}");
        EXPECT_EQ(C, Calls{"glColor4d(1,1,1,1)"});
        EXPECT_EQ(Log, Lines{"! game render command warning: text is not a string; skipping"});
        EXPECT_TRUE(render(std::string("{'") + Word + "', 100, 50, 1}").empty());
    }
}

TEST_F(Host, TerrainBands) {
    // Four distinct colours, so the picks show in the trace.
    write_png("swatch.png", 2, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0});
    // A 24-bit TGA of 0 by 0 pixels: an image that loads but has no pixel.
    std::string EmptyTga(18, '\0');
    EmptyTga[2] = 2;
    EmptyTga[16] = 24;
    write_file("empty.tga", EmptyTga);
    start("");
    Calls First = render("{{'rgba', 0.5, 0.5, 0.5, 1}, {'terrain', -100, 50, 200, 'swatch.png', 42}}");
    Calls Second = render();
    EXPECT_EQ(First, Second);
    ASSERT_GT(First.size(), 3u);
    EXPECT_EQ(First[1], "glBegin(0x0007)");
    EXPECT_EQ(First.back(), "glColor4f(1,1,1,1)");
    EXPECT_EQ(First[First.size() - 2], "glEnd()");
    size_t Bands = count_of(First, "glColor4fv");
    EXPECT_EQ(count_of(First, "glVertex3f"), 4 * Bands);
    EXPECT_GE(Bands, 200u / 35);
    EXPECT_LE(Bands, 200u / 10 + 1);
    EXPECT_EQ(First[3], "glVertex3f(-50,-100,0)");
    // The last band reaches or passes the far edge; the one before does not.
    std::vector<gl_call> Vertices = gl_calls_named("glVertex3f");
    double LastTop = Vertices[Vertices.size() - 2].args[1];
    double TopBefore = Vertices[Vertices.size() - 6].args[1];
    EXPECT_GE(LastTop, 100);
    EXPECT_LT(TopBefore, 100);

    Calls Other = render("{'terrain', -100, 50, 200, 'swatch.png', 43}");
    EXPECT_NE(Other, First);
    EXPECT_EQ(render("{'terrain', 0, 50, 0, 'swatch.png', 42}"),
              (Calls{"glBegin(0x0007)", "glEnd()", "glColor4f(1,1,1,1)"}));
    EXPECT_EQ(render("{{'rgba', 0.5, 0, 0, 1}, {'terrain', 0, 50, 10, 'nothing.png', 1}}"),
              Calls{"glColor4d(0.5,0,0,1)"});
    ASSERT_FALSE(Log.empty());
    EXPECT_EQ(Log.back(), "* image load fatal: couldn't load image file ``nothing.png''");

    struct {
        const char* list;
        Calls calls;
        std::string line;
    } Bad[] = {
        {"{'terrain', 0, 50, 1e300, 'swatch.png', 1}", {},
         "* game render command fatal: terrain of height 2147483647 is too long; skipping"},
        // So far from 0 that a band can't move the edge.
        {"{'terrain', 1e18, 50, 1000, 'swatch.png', 1}",
         {"glBegin(0x0007)", "glEnd()", "glColor4f(1,1,1,1)"},
         "* game render command fatal: terrain at y 2147483647 can't advance; stopping"},
        {"{'terrain', 0, 50, 1, {}, 1}", {}, "! game render command warning: terrain image name is not a string; skipping"},
        {"{'terrain', 0, 50, 100, 'empty.tga', 1}", {},
         "! game render command warning: terrain image ``empty.tga'' has no pixels; skipping"},
        {"{'terrain', 0, 50, 1, 'swatch.png'}", {}, ""},
    };
    for (const auto& Case : Bad) {
        EXPECT_EQ(render(Case.list), Case.calls) << Case.list;
        // Only a first load logs before the command's own line.
        EXPECT_EQ(Log.empty() ? "" : Log.back(), Case.line) << Case.list;
        EXPECT_LE(Log.size(), 2u) << Case.list;
    }
}

TEST_F(Host, NamedFieldsAreElementsToo) {
    start("");
    // The fourth argument of "rect" and the second command of the list are
    // named fields; the traversal gives them after the sequence.
    EXPECT_EQ(render("{{'rgba', 1, 0, 0, 1}, named = {'rect', 0, 0, 10, h = 5}}"),
              (Calls{"glColor4d(1,0,0,1)", "glBegin(0x0007)", "glVertex3f(-10,-5,0)", "glVertex3f(10,-5,0)",
                     "glVertex3f(10,5,0)", "glVertex3f(-10,5,0)", "glEnd()"}));
    EXPECT_TRUE(Log.empty());
}

// Vertices are worked out in double precision and sent as floats.
TEST_F(Host, RectVerticesAreRoundedOnceFromDoubles) {
    start("");
    const double X = 1.1, Y = 2.3, W = 0.2, H = 2.6;
    // The fixture tells the two roundings apart.
    ASSERT_NE(float(X - W), float(X) - float(W));
    ASSERT_NE(float(Y + H), float(Y) + float(H));
    render("{'rect', 1.1, 2.3, 0.2, 2.6}");
    const std::vector<gl_call> V = gl_calls_named("glVertex3f");
    ASSERT_EQ(V.size(), 4u);
    const double Want[4][2] = {{float(X - W), float(Y - H)},
                               {float(X + W), float(Y - H)},
                               {float(X + W), float(Y + H)},
                               {float(X - W), float(Y + H)}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(V[i].args[0], Want[i][0]) << i;
        EXPECT_EQ(V[i].args[1], Want[i][1]) << i;
    }
}

// The angle grows by repeated addition, so rounding builds up along the
// arc; with the centre at the origin the vertices near the axes show it.
TEST_F(Host, CircarcAnglesAccumulate) {
    start("");
    const double R = 100.5, Pi = 3.141592653589793;
    render("{'circarc', 0, 0, 100.5, 0, math.pi, 1}");
    const std::vector<gl_call> V = gl_calls_named("glVertex3f");
    const int NumSegs = 12;
    ASSERT_EQ(V.size(), size_t(NumSegs + 1));
    const double SegTheta = Pi / NumSegs;
    double Theta = 0;
    bool Telling = false;
    for (int i = 0; i <= NumSegs; ++i) {
        EXPECT_EQ(V[i].args[0], float(R * std::cos(Theta))) << i;
        EXPECT_EQ(V[i].args[1], float(R * std::sin(Theta))) << i;
        const double Product = i * SegTheta;
        Telling = Telling || float(R * std::cos(Product)) != float(R * std::cos(Theta)) ||
                  float(R * std::sin(Product)) != float(R * std::sin(Theta));
        Theta += SegTheta;
    }
    EXPECT_TRUE(Telling) << "the fixture should tell accumulated angles from products";
}

// Each band takes its height from the first draw and its colour from a
// pixel picked by the second.
TEST_F(Host, TerrainBandsFollowTheSeededDraws) {
    const std::vector<unsigned char> Bytes = {255, 51, 0, 0, 102, 255, 204, 0, 153, 51, 255, 102};
    write_png("quads.png", 2, 2, 3, Bytes);
    start("");
    render("{'terrain', -100.25, 50.5, 180, 'quads.png', -7}");
    const std::vector<gl_call> Colours = gl_calls_named("glColor4fv");
    const std::vector<gl_call> Vertices = gl_calls_named("glVertex3f");
    rngen G;
    G.seed(static_cast<unsigned long>(-7L));
    double CurY = -100.25;
    size_t Band = 0;
    for (; CurY < -100.25 + 180; ++Band) {
        const double NextY = G.get() * 25.0 + CurY + 10.0;
        const int Pixel = G.get_index(4);
        ASSERT_LT(Band, Colours.size());
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(Colours[Band].args[c], float(Bytes[3 * Pixel + c] / 255.0f)) << Band << ":" << c;
        EXPECT_EQ(Colours[Band].args[3], 1);
        const double Want[4][2] = {{-50.5, CurY}, {-50.5, NextY}, {50.5, NextY}, {50.5, CurY}};
        for (int v = 0; v < 4; ++v) {
            EXPECT_EQ(Vertices[4 * Band + v].args[0], float(Want[v][0])) << Band;
            EXPECT_EQ(Vertices[4 * Band + v].args[1], float(Want[v][1])) << Band;
        }
        CurY = NextY;
    }
    EXPECT_EQ(Colours.size(), Band);
}

// Numbers as texts read as the interpreter writes them: 0.5 is "0.5".
TEST_F(Host, NumbersAsTextsAreDrawnInTheirShortestForm) {
    start("", "font = { texture = 'font.png', pixelsize = 16,\n"
              "  glyph_46 = { size_x = 0.25, size_y = 0.5, advance = 0.25 },\n"
              "  glyph_48 = { size_x = 0.5, size_y = 0.5, advance = 0.5 },\n"
              "  glyph_53 = { size_x = 0.5, size_y = 0.5, advance = 0.5 } }\n");
    EXPECT_EQ(count_of(render("{'text', 0, 0, 1, 0.5}"), "glVertex3d"), 12u);
    render("{'righttext', 100, 50, 1, 5}");
    const std::vector<gl_call> V = gl_calls_named("glVertex3d");
    ASSERT_EQ(V.size(), 4u);
    EXPECT_EQ(V[0].args[0], 92);
    EXPECT_TRUE(Log.empty());
}

TEST_F(Host, CommandsMissingTheirLastArgumentDoNothing) {
    write_png("data/one.png", 1, 1, 4, {1, 2, 3, 4});
    write_png("swatch.png", 1, 1, 3, {1, 2, 3});
    start("one = texture_load('one')");
    const char* const Lists[] = {
        "{'camera', 1}",
        "{'rgba', 1, 1, 1}",
        "{'picture'}",
        "{'translate', 1, 2}",
        "{'scale', 1, 2}",
        "{'rotate', 1}",
        "{'line', 1, 2, 3, 4}",
        "{'dashline', 0, 0, 100, 0, 1, 10}",
        "{'rect', 1, 2, 3}",
        "{'quad', 1, 2, 3, 4, 5, 6, 7}",
        "{'tri', 1, 2, 3, 4, 5}",
        "{'circarc', 0, 0, 100, 0, 6}",
        "{'zoffs'}",
        "{'terrain', 0, 50, 100, 'swatch.png'}",
        "{'text', 0, 0, 1}",
        "{'righttext', 0, 0, 1}",
        "{'centertext', 0, 0, 1}",
    };
    for (const char* List : Lists) {
        EXPECT_TRUE(render(List).empty()) << List;
        EXPECT_TRUE(Log.empty()) << List;
    }
}

// The script state's memory, failing every new block while armed: a
// script error that the host itself meets, at a point the test chooses.
struct failing_allocator {
    lua_State* L;
    lua_Alloc real;
    void* real_data = nullptr;
    bool armed = false;

    explicit failing_allocator(lua_State* State) : L(State), real(lua_getallocf(State, &real_data)) {
        lua_setallocf(L, allocate, this);
    }
    ~failing_allocator() { lua_setallocf(L, real, real_data); }
    failing_allocator(const failing_allocator&) = delete;
    failing_allocator& operator=(const failing_allocator&) = delete;

    static void* allocate(void* Self, void* Block, size_t Old, size_t New) {
        failing_allocator* A = static_cast<failing_allocator*>(Self);
        if (A->armed && New > (Block ? Old : 0)) return nullptr;
        return A->real(A->real_data, Block, Old, New);
    }
};

TEST_F(Host, ErrorInTheWalkIsLoggedAndLeavesTheMatrixAsItWas) {
    start("");
    lua("render_list = {'translate', 1, 2, {{'rgba', 1, 1, 1, 1}, {'text', 0, 0, 1, 5}}}");
    render();
    ASSERT_TRUE(Log.empty());
    // A number not converted before, so its text must be made; with the
    // collector stopped nothing else is.
    lua("render_list[4][2][5] = 6.25 collectgarbage('stop')");
    {
        failing_allocator Memory(L);
        Memory.armed = true;
        EXPECT_EQ(render(), (Calls{"glPushMatrix()", "glTranslated(1,2,0)", "glColor4d(1,1,1,1)", "glPopMatrix()"}));
    }
    EXPECT_EQ(Log, (Lines{"! game render warning: couldn't walk the render list", "! --- not enough memory"}));
    lua("collectgarbage('restart')");
    Calls Next = render();
    EXPECT_EQ(count_of(Next, "glBindTexture"), 1u);
    EXPECT_EQ(Next.back(), "glPopMatrix()");
    EXPECT_TRUE(Log.empty());
}

TEST_F(Host, ErrorWhilePublishingKeysStillCallsUpdate) {
    start("updated = false function update() updated = true end");
    capture([&] { G.update(0.02); });
    lua("updated = false collectgarbage('stop')");
    {
        failing_allocator Memory(L);
        Memory.armed = true;
        capture([&] { G.update(0.02); });
    }
    lua("collectgarbage('restart')");
    EXPECT_EQ(Log, (Lines{"! game update warning: couldn't set the global keys_down", "! --- not enough memory"}));
    EXPECT_EQ(eval("updated"), "true");
}

}  // namespace
