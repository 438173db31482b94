#include "luahelp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include "die.h"

namespace {

// A script state for one test; the table under test is pushed with table().
struct lua_fixture {
    lua_State* L;
    lua_fixture() : L(luaL_newstate()) { luaL_openlibs(L); }
    ~lua_fixture() { lua_close(L); }
    lua_fixture(const lua_fixture&) = delete;
    lua_fixture& operator=(const lua_fixture&) = delete;

    // Runs a chunk; its single result (if it returns one) is left on top.
    void run(const std::string& Chunk) {
        const int Top = lua_gettop(L);
        ASSERT_EQ(luaL_loadstring(L, Chunk.c_str()), 0) << lua_tostring(L, -1);
        ASSERT_EQ(lua_pcall(L, 0, LUA_MULTRET, 0), 0) << lua_tostring(L, -1);
        ASSERT_LE(lua_gettop(L), Top + 1);
    }
    // Pushes the value of a script expression.
    void push(const std::string& Expression) { run("return " + Expression); }
    std::string eval_string(const std::string& Expression) {
        push("tostring(" + Expression + ")");
        std::string Text = lua_tostring(L, -1);
        lua_pop(L, 1);
        return Text;
    }
};

// Runs Call with the table on top and checks it left the stack as found: the
// same height and the same table on top (with a marker below it).
void expect_stack_kept(lua_State* L, const std::function<void()>& Call) {
    lua_pushstring(L, "marker");
    lua_insert(L, -2);
    lua_pushvalue(L, -1);
    const int Ref = luaL_ref(L, LUA_REGISTRYINDEX);
    const int Top = lua_gettop(L);
    Call();
    EXPECT_EQ(lua_gettop(L), Top);
    lua_rawgeti(L, LUA_REGISTRYINDEX, Ref);
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    lua_pop(L, 1);
    EXPECT_STREQ(lua_tostring(L, -2), "marker");
    luaL_unref(L, LUA_REGISTRYINDEX, Ref);
}

std::string captured(const std::function<void()>& Call) {
    testing::internal::CaptureStdout();
    Call();
    return testing::internal::GetCapturedStdout();
}

}  // namespace

// ---------------------------------------------------------------- getters

TEST(TableGetters, StringAcceptsStringsAndNumbersOnly) {
    struct scalar_case {
        const char* Field;  // script expression stored as field f
        const char* Expected;
    };
    const scalar_case Cases[] = {
        {"'hello'", "hello"}, {"42", "42"},     {"0.5", "0.5"},     {"'ab\\0cd'", "ab"},
        {"true", "dflt"},     {"nil", "dflt"},  {"{}", "dflt"},     {"print", "dflt"},
        {"''", ""},           {"1e15", "1e+15"}, {"-3", "-3"},
    };
    for (const scalar_case& C : Cases) {
        lua_fixture S;
        S.push(std::string("{f = ") + C.Field + "}");
        std::string Got;
        expect_stack_kept(S.L, [&] { Got = luahelp_table_getstring(S.L, "f", "dflt"); });
        EXPECT_EQ(Got, C.Expected) << C.Field;
    }
}

TEST(TableGetters, StringLeavesANumberFieldANumber) {
    lua_fixture S;
    S.run("t = {f = 42}");
    S.push("t");
    EXPECT_EQ(luahelp_table_getstring(S.L, "f", ""), "42");
    lua_pop(S.L, 1);
    EXPECT_EQ(S.eval_string("type(t.f)"), "number");
}

TEST(TableGetters, NumberAcceptsNumbersAndNumericStrings) {
    struct number_case {
        const char* Field;
        double Expected;
    };
    const number_case Cases[] = {
        {"12.5", 12.5},   {"'12.5'", 12.5}, {"'0x10'", 16},  {"' 10 '", 10}, {"-2", -2},
        {"'12abc'", -7},  {"true", -7},     {"{}", -7},      {"nil", -7},    {"''", -7},
    };
    for (const number_case& C : Cases) {
        lua_fixture S;
        S.push(std::string("{f = ") + C.Field + "}");
        double Got = 0;
        expect_stack_kept(S.L, [&] { Got = luahelp_table_getnumber(S.L, "f", -7); });
        EXPECT_EQ(Got, C.Expected) << C.Field;
    }
}

TEST(TableGetters, BooleanAcceptsOnlyBooleans) {
    struct bool_case {
        const char* Field;
        bool Default;
        bool Expected;
    };
    const bool_case Cases[] = {
        {"false", true, false}, {"true", false, true}, {"1", false, false},
        {"0", true, true},      {"'true'", false, false}, {"nil", true, true},
    };
    for (const bool_case& C : Cases) {
        lua_fixture S;
        S.push(std::string("{f = ") + C.Field + "}");
        bool Got = !C.Expected;
        expect_stack_kept(S.L, [&] { Got = luahelp_table_getboolean(S.L, "f", C.Default); });
        EXPECT_EQ(Got, C.Expected) << C.Field;
    }
}

TEST(TableGetters, VectorComponentsFallBackOneByOne) {
    lua_fixture S;
    S.push("{p_x = 3, q_z = '9', q_y = 'no', r_x = 1, r_y = 2, r_z = 3}");
    rloc Loc;
    rpos OnlyZ, Full;
    expect_stack_kept(S.L, [&] {
        Loc = luahelp_table_getrloc(S.L, "p", mkrloc(10, 20));
        OnlyZ = luahelp_table_getrpos(S.L, "q", mkrpos(10, 20, 30));
        Full = luahelp_table_getrpos(S.L, "r", rpos());
    });
    EXPECT_EQ(Loc, mkrloc(3, 20));
    EXPECT_EQ(OnlyZ, mkrpos(10, 20, 9));
    EXPECT_EQ(Full, mkrpos(1, 2, 3));
}

TEST(TableGetters, DigitNamesAreStringKeys) {
    lua_fixture S;
    S.push("{'array one', ['1'] = nil, ['2'] = 'string two', 'array two'}");
    expect_stack_kept(S.L, [&] {
        EXPECT_EQ(luahelp_table_getstring(S.L, "1", "none"), "none");
        EXPECT_EQ(luahelp_table_getstring(S.L, "2", "none"), "string two");
    });
}

TEST(TableGetters, LookupsGoThroughIndexMetamethods) {
    lua_fixture S;
    S.push("setmetatable({}, {__index = function(t, k) return k .. '!' end})");
    EXPECT_EQ(luahelp_table_getstring(S.L, "a", ""), "a!");
    lua_pop(S.L, 1);
}

TEST(TableGetters, NameEndsAtItsFirstNul) {
    lua_fixture S;
    S.push("{ab = 'short'}");
    EXPECT_EQ(luahelp_table_getstring(S.L, std::string("ab\0cd", 5), ""), "short");
    lua_pop(S.L, 1);
}

// ---------------------------------------------------------------- colours

TEST(TableGetFcolor, TextAndNumericForms) {
    struct color_case {
        const char* Table;
        fcolor Expected;
        const char* Warning;  // the log output, "" for none
    };
    const fcolor Default = mkfcolor(0.25f, 0.5f, 0.75f, 0.125f);
    const float Half = float(128 / 255.0);
    const color_case Cases[] = {
        {"{c = 'FF8000'}", mkfcolor(1, Half, 0, 1), ""},
        {"{c = 'ff8000'}", mkfcolor(1, Half, 0, 1), ""},
        {"{c = 'zz0000'}", mkfcolor(0, 0, 0, 1), ""},
        {"{c = '#ff800'}", mkfcolor(float(15 / 255.0), float(248 / 255.0), 0, 1), ""},
        {"{c = 'ff8000', c_a = 0.5, c_r = 0}", mkfcolor(1, Half, 0, 1), ""},
        {"{c = 123456}", mkfcolor(float(0x12 / 255.0), float(0x34 / 255.0), float(0x56 / 255.0), 1), ""},
        {"{}", Default, ""},
        {"{c = true, c_g = 1}", mkfcolor(0.25f, 1, 0.75f, 0.125f), ""},
        {"{c = '#ff8000', c_r = 1, c_g = 0, c_b = 0.5, c_a = 1}", mkfcolor(1, 0, 0.5f, 1),
         "! luahelp table getfcolor warning: improperly formatted color string ``#ff8000''\n"},
        {"{c = 5}", Default, "! luahelp table getfcolor warning: improperly formatted color string ``5''\n"},
        {"{c = '', c_b = '0.5'}", mkfcolor(0.25f, 0.5f, 0.5f, 0.125f), ""},
    };
    for (const color_case& C : Cases) {
        lua_fixture S;
        S.push(C.Table);
        fcolor Got;
        const std::string Out =
            captured([&] { expect_stack_kept(S.L, [&] { Got = luahelp_table_getfcolor(S.L, "c", Default); }); });
        EXPECT_EQ(Got, C.Expected) << C.Table;
        EXPECT_EQ(Out, C.Warning) << C.Table;
    }
}

TEST(TableGetFcolor, HexDigitsOfBothCasesAndOtherBytes) {
    lua_fixture S;
    S.push("{a = '09afAF', b = ' g\\200\\255G:'}");
    const fcolor A = luahelp_table_getfcolor(S.L, "a", fcolor());
    EXPECT_EQ(A, mkfcolor(float(0x09 / 255.0), float(0xaf / 255.0), float(0xaf / 255.0), 1));
    EXPECT_EQ(luahelp_table_getfcolor(S.L, "b", fcolor(0.5f)), mkfcolor(0, 0, 0, 1));
    lua_pop(S.L, 1);
}

// ---------------------------------------------------------------- setters

TEST(TableSetters, EachWritesItsFieldAndKeepsTheStack) {
    lua_fixture S;
    S.run("t = {old = {1, 2}, gone = 'x', n = 'text'}");
    S.push("t");
    expect_stack_kept(S.L, [&] {
        luahelp_table_setstring(S.L, "s", std::string("ab\0cd", 5));
        luahelp_table_setnumber(S.L, "n", 2.5);
        luahelp_table_setboolean(S.L, "b", false);
        luahelp_table_setrpos(S.L, "p", mkrpos(1, -2, 3.5));
        luahelp_table_setnewtable(S.L, "old");
        luahelp_table_clear(S.L, "gone");
        luahelp_table_clear(S.L, "absent");
    });
    EXPECT_EQ(luahelp_table_getrpos(S.L, "p", rpos()), mkrpos(1, -2, 3.5));
    lua_pop(S.L, 1);
    EXPECT_EQ(S.eval_string("t.s"), "ab");
    EXPECT_EQ(S.eval_string("type(t.n) .. ' ' .. t.n"), "number 2.5");
    EXPECT_EQ(S.eval_string("t.b"), "false");
    EXPECT_EQ(S.eval_string("type(t.old) .. ' ' .. #t.old .. ' ' .. tostring(next(t.old))"), "table 0 nil");
    EXPECT_EQ(S.eval_string("t.gone"), "nil");
    EXPECT_EQ(S.eval_string("t.p_x .. ',' .. t.p_y .. ',' .. t.p_z"), "1,-2,3.5");
    S.run("n = 0 for _ in pairs(t) do n = n + 1 end");
    EXPECT_EQ(S.eval_string("n"), "7");  // s, n, b, p_x, p_y, p_z, old
}

TEST(TableSetters, StoresGoThroughNewindexInOrder) {
    lua_fixture S;
    S.run("log = {} t = setmetatable({}, {__newindex = function(t, k, v) log[#log + 1] = k .. '=' .. tostring(v) end})");
    S.push("t");
    luahelp_table_setrpos(S.L, "v", mkrpos(1, 2, 3));
    lua_pop(S.L, 1);
    EXPECT_EQ(S.eval_string("table.concat(log, ' ')"), "v_x=1 v_y=2 v_z=3");
}

// ---------------------------------------------------------------- path tables

TEST(PathTable, FoundTableIsLeftOnTop) {
    struct path_case {
        std::vector<const char*> Path;
        const char* Found;  // expression of the table expected on top
    };
    const path_case Cases[] = {
        {{"g", nullptr}, "g"},
        {{"g", "a", nullptr}, "g.a"},
        {{"g", "a", "b", nullptr}, "g.a.b"},
        {{"m", "x", nullptr}, "m.x"},  // through __index
    };
    for (const path_case& C : Cases) {
        lua_fixture S;
        S.run("g = {a = {b = {}}, n = 3} m = setmetatable({}, {__index = function() return g end})");
        lua_pushstring(S.L, "below");
        const int Top = lua_gettop(S.L);
        const std::string Out = captured([&] { luahelp_get_path_table(S.L, const_cast<const char**>(C.Path.data())); });
        EXPECT_EQ(Out, "");
        ASSERT_EQ(lua_gettop(S.L), Top + 1) << C.Found;
        S.push(C.Found);
        EXPECT_TRUE(lua_rawequal(S.L, -1, -2)) << C.Found;
        EXPECT_STREQ(lua_tostring(S.L, -3), "below");
    }
}

TEST(PathTable, FailuresLogAndLeaveNothing) {
    struct path_case {
        std::vector<const char*> Path;
        const char* Log;
    };
    const path_case Cases[] = {
        {{nullptr},
         "* luahelp get path table fatal: didn't pass any path segments in, not pushing anything\n"},
        {{"absent", nullptr}, "* luahelp get path table fatal: global absent isn't a table\n"},
        {{"n", "a", nullptr}, "* luahelp get path table fatal: global n isn't a table\n"},
        {{"g", "n", "b", nullptr},
         "! luahelp get path table fatal: couldn't get subpath ``n''\n"
         "! --- fullpath is: \n"
         "! --- ``g''\n"
         "! --- ``n''\n"
         "! --- ``b''\n"},
        {{"g", "a", "zz", nullptr},
         "! luahelp get path table fatal: couldn't get subpath ``zz''\n"
         "! --- fullpath is: \n"
         "! --- ``g''\n"
         "! --- ``a''\n"
         "! --- ``zz''\n"},
    };
    for (const path_case& C : Cases) {
        lua_fixture S;
        S.run("g = {a = {b = {}}, n = 3} n = 3");
        lua_pushstring(S.L, "below");
        const int Top = lua_gettop(S.L);
        const std::string Out = captured([&] { luahelp_get_path_table(S.L, const_cast<const char**>(C.Path.data())); });
        EXPECT_EQ(Out, C.Log);
        EXPECT_EQ(lua_gettop(S.L), Top);
        EXPECT_STREQ(lua_tostring(S.L, -1), "below");
    }
}

TEST(PathTable, UsesTheGlobalsTableNotALocalEnvironment) {
    lua_fixture S;
    S.run("g = {}");
    lua_newtable(S.L);  // a table with no field g on top makes no difference
    const char* Path[] = {"g", nullptr};
    luahelp_get_path_table(S.L, Path);
    ASSERT_EQ(lua_gettop(S.L), 2);
    EXPECT_TRUE(lua_istable(S.L, -1));
}

// ---------------------------------------------------------------- string sets

TEST(StringSets, TextValuesSortedOnceEachWithWarnings) {
    lua_fixture S;
    S.run("t = {'b', 'a', 7, 'b', true, x = 'ab\\0zz', [{}] = 'k', f = print, s = {'nested'}, '\\200', 'a '}");
    S.push("t");
    std::set<std::string> Got;
    const std::string Out = captured([&] { expect_stack_kept(S.L, [&] { Got = luahelp_getstrings(S.L); }); });
    const std::set<std::string> Expected = {"7", "a", "a ", "ab", "b", "k", "\xC8"};
    EXPECT_EQ(Got, Expected);
    EXPECT_EQ(std::vector<std::string>(Got.begin(), Got.end()).back(), "\xC8");  // bytes compare unsigned
    const std::string Warning = "! luahelp getstrings warning: encountered non-string element, skipping\n";
    EXPECT_EQ(Out, Warning + Warning + Warning);  // true, print, the nested table
    lua_pop(S.L, 1);
    EXPECT_EQ(S.eval_string("type(t[3])"), "number");
}

TEST(StringSets, NonTablesGiveTheEmptySetSilently) {
    for (const char* Value : {"nil", "'text'", "5", "print"}) {
        lua_fixture S;
        S.push(Value);
        std::set<std::string> Got = {"x"};
        const std::string Out = captured([&] { expect_stack_kept(S.L, [&] { Got = luahelp_getstrings(S.L); }); });
        EXPECT_TRUE(Got.empty()) << Value;
        EXPECT_EQ(Out, "") << Value;
    }
}

TEST(StringSets, NamedField) {
    lua_fixture S;
    S.push("{names = {'z', 'y', 'z'}, text = 'abc', ['1'] = {'string key'}, {'array'}}");
    std::set<std::string> Names, Text, Absent, Digit;
    const std::string Out = captured([&] {
        expect_stack_kept(S.L, [&] {
            Names = luahelp_table_getstrings(S.L, "names");
            Text = luahelp_table_getstrings(S.L, "text");
            Absent = luahelp_table_getstrings(S.L, "absent");
            Digit = luahelp_table_getstrings(S.L, "1");
        });
    });
    EXPECT_EQ(Names, (std::set<std::string>{"y", "z"}));
    EXPECT_TRUE(Text.empty());
    EXPECT_TRUE(Absent.empty());
    EXPECT_EQ(Digit, (std::set<std::string>{"string key"}));
    EXPECT_EQ(Out, "");
}
