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

// ---------------------------------------------------------------- value stream

namespace {

// "05000000 01" -> the bytes 05 00 00 00 01; blanks are ignored.
std::string hex(const std::string& Text) {
    std::string Bytes;
    std::string Digits;
    for (char C : Text)
        if (C != ' ') Digits += C;
    for (size_t i = 0; i + 1 < Digits.size(); i += 2) Bytes += char(std::stoi(Digits.substr(i, 2), nullptr, 16));
    return Bytes;
}

// A script state with a printer of values that sorts table entries, so two
// equal values print the same.
struct stream_fixture : lua_fixture {
    stream_fixture() {
        run("function dump(v)\n"
            "  if type(v) == 'number' then return string.format('n:%.17g', v) end\n"
            "  if type(v) ~= 'table' then return type(v) .. ':' .. tostring(v) end\n"
            "  local keys, parts = {}, {}\n"
            "  for k in pairs(v) do keys[#keys + 1] = k end\n"
            "  table.sort(keys, function(a, b) return dump(a) < dump(b) end)\n"
            "  for _, k in ipairs(keys) do parts[#parts + 1] = '[' .. dump(k) .. ']=' .. dump(v[k]) end\n"
            "  return '{' .. table.concat(parts, ',') .. '}'\n"
            "end");
    }
    // Writes the value of an expression from the top of the stack; checks
    // the writer kept the stack.
    std::string write(const std::string& Expression) {
        push(Expression);
        std::ostringstream Dest;
        expect_stack_kept(L, [&] { fput_lua_object(L, -1, Dest); });
        lua_pop(L, 1);
        return Dest.str();
    }
    // Reads one record into the global "got" (nil when nothing was pushed);
    // returns the count of values pushed and the bytes left unread.
    int read(const std::string& Bytes, std::string* Left = nullptr) {
        std::istringstream Source(Bytes);
        lua_pushstring(L, "marker");
        const int Top = lua_gettop(L);
        fget_lua_object(L, Source);
        const int Pushed = lua_gettop(L) - Top;
        EXPECT_TRUE(Pushed == 0 || Pushed == 1) << Pushed;
        if (Pushed == 0) lua_pushnil(L);
        lua_setglobal(L, "got");
        lua_settop(L, Top);
        EXPECT_STREQ(lua_tostring(L, -1), "marker");
        lua_pop(L, 1);
        if (Left) {
            Source.clear();
            *Left = Bytes.substr(std::min<size_t>(Bytes.size(), size_t(std::streamoff(Source.tellg()))));
        }
        return Pushed;
    }
};

}  // namespace

TEST(ValueStream, RecordLayouts) {
    struct layout_case {
        const char* Expression;
        const char* Bytes;
    };
    const layout_case Cases[] = {
        {"{x = 1}", "05000000 01000000 04000000 01000000 78 03000000 000000000000F03F"},
        {"true", "01000000 01000000"},
        {"false", "01000000 00000000"},
        {"nil", "00000000"},
        {"1", "03000000 000000000000F03F"},
        {"-2.5", "03000000 00000000000004C0"},
        {"'abc'", "04000000 03000000 616263"},
        {"''", "04000000 00000000"},
        {"'ab\\0cd'", "04000000 02000000 6162"},
        {"{}", "05000000 00000000"},
        {"{true}", "05000000 01000000 03000000 000000000000F03F 01000000 01000000"},
        {"{[false] = {}}", "05000000 01000000 01000000 00000000 05000000 00000000"},
    };
    for (const layout_case& C : Cases) {
        stream_fixture S;
        EXPECT_EQ(S.write(C.Expression), hex(C.Bytes)) << C.Expression;
    }
}

TEST(ValueStream, RoundTripsConsumeExactlyWhatWasWritten) {
    const char* const Values[] = {
        "true", "false", "0", "-2.5", "1e300", "''", "'text'", "{}",
        "{x = 1, y = 'two', [3] = true, [-0.5] = false, [true] = 7}",
        "{a = {b = {c = {'deep'}}}, list = {1, 2, 3, 'four'}}",
        "{[{1, 2}] = 'table key', [{}] = {}}",
        "(function() local s = {v = 1} return {s, s, k = s} end)()",
    };
    for (const char* Value : Values) {
        stream_fixture S;
        const std::string Bytes = S.write(Value);
        std::string Left;
        ASSERT_EQ(S.read(Bytes + hex("01000000 01000000"), &Left), 1) << Value;
        EXPECT_EQ(Left, hex("01000000 01000000")) << Value;
        EXPECT_EQ(S.eval_string("dump(got)"), S.eval_string("dump(" + std::string(Value) + ")")) << Value;
    }
}

TEST(ValueStream, NilWritesTheCodeAndReadsAsNothing) {
    stream_fixture S;
    EXPECT_EQ(S.write("nil"), hex("00000000"));
    std::string Left;
    EXPECT_EQ(S.read(hex("00000000 03000000"), &Left), 0);
    EXPECT_EQ(Left, hex("03000000"));
}

TEST(ValueStream, SharedTableReadsBackAsTwoTables) {
    stream_fixture S;
    S.read(S.write("(function() local s = {v = 1} return {s, s} end)()"));
    EXPECT_EQ(S.eval_string("got[1] ~= got[2] and got[1].v == got[2].v"), "true");
}

TEST(ValueStream, KeysKeepTheirTypes) {
    stream_fixture S;
    S.read(S.write("{[1] = 'number', ['1'] = 'string', [true] = 'boolean'}"));
    EXPECT_EQ(S.eval_string("got[1] .. ' ' .. got['1'] .. ' ' .. got[true]"), "number string boolean");
}

TEST(ValueStream, ReaderTakesAnyNonZeroBooleanAsTrue) {
    stream_fixture S;
    S.read(hex("01000000 07000000"));
    EXPECT_EQ(S.eval_string("got"), "true");
    S.read(hex("01000000 000000FF"));
    EXPECT_EQ(S.eval_string("got"), "true");
}

TEST(ValueStream, UnsupportedValuesTravelAsBareCodes) {
    stream_fixture S;
    std::string Bytes;
    std::string Out = captured([&] { Bytes = S.write("{f = print, k = 1}"); });
    EXPECT_EQ(Out, "! fput lua object warning: unsupported object type 6\n");
    EXPECT_EQ(Bytes.size(), size_t(4 + 4 + (4 + 4 + 1 + 4) + (4 + 4 + 1 + 4 + 8)));
    EXPECT_NE(Bytes.find(hex("04000000 01000000 66 06000000")), std::string::npos);
    Out = captured([&] { S.read(Bytes); });
    EXPECT_EQ(Out, "! fget lua object warning: unsupported object type 6\n");
    EXPECT_EQ(S.eval_string("dump(got)"), "{[string:k]=n:1}");

    // Light userdata (2), coroutines (8) and full userdata (7) alike.
    lua_pushlightuserdata(S.L, &S);
    std::ostringstream Light;
    Out = captured([&] { fput_lua_object(S.L, -1, Light); });
    lua_pop(S.L, 1);
    EXPECT_EQ(Light.str(), hex("02000000"));
    EXPECT_EQ(Out, "! fput lua object warning: unsupported object type 2\n");
    EXPECT_EQ(S.write("coroutine.create(print)"), hex("08000000"));
    EXPECT_EQ(S.write("io.stdout"), hex("07000000"));
}

TEST(ValueStream, IndexWithoutValueWritesMinusOne) {
    stream_fixture S;
    lua_pushnumber(S.L, 1);
    for (int StackID : {5, -3, 0}) {
        std::ostringstream Dest;
        const int Top = lua_gettop(S.L);
        const std::string Out = captured([&] { fput_lua_object(S.L, StackID, Dest); });
        EXPECT_EQ(lua_gettop(S.L), Top);
        EXPECT_EQ(Dest.str(), hex("FFFFFFFF")) << StackID;
        EXPECT_EQ(Out, "! fput lua object warning: unsupported object type -1\n") << StackID;
    }
    lua_pop(S.L, 1);
    for (const char* Code : {"FFFFFFFF", "02000000", "06000000", "09000000", "FBFFFFFF"}) {
        std::string Left;
        const std::string Out = captured([&] { EXPECT_EQ(S.read(hex(Code) + "z", &Left), 1); });
        EXPECT_EQ(S.eval_string("got"), "nil");
        EXPECT_EQ(Left, "z");
        const int Type = int(std::stoul(std::string(Code).substr(6, 2) + std::string(Code).substr(4, 2) +
                                            std::string(Code).substr(2, 2) + std::string(Code).substr(0, 2),
                                        nullptr, 16));
        EXPECT_EQ(Out, "! fget lua object warning: unsupported object type " + std::to_string(Type) + "\n");
    }
}

TEST(ValueStream, WriterWalksATableAtAnAbsoluteIndex) {
    stream_fixture S;
    S.push("{x = 1}");
    const int Table = lua_gettop(S.L);
    std::ostringstream Dest;
    fput_lua_object(S.L, Table, Dest);
    EXPECT_EQ(Dest.str(), hex("05000000 01000000 04000000 01000000 78 03000000 000000000000F03F"));
    EXPECT_EQ(lua_gettop(S.L), Table);
    lua_pop(S.L, 1);
}

// ---------------------------------------------------------------- value stream: refused and corrupt input

TEST(ValueStream, TableThatContainsItselfIsCut) {
    struct cycle_case {
        const char* Build;     // chunk returning the table to write
        const char* ReadBack;  // dump of what the reader makes of it
        int Warnings;
    };
    const cycle_case Cases[] = {
        {"local t = {v = 1} t.self = t return t", "{[string:v]=n:1}", 1},
        {"local a = {} a.b = {c = {up = a, w = 2}} return a", "{[string:b]={[string:c]={[string:w]=n:2}}}", 1},
        {"local t = {} t[t] = 'key' t[1] = t t.ok = true return t", "{[string:ok]=boolean:true}", 2},
        {"local s = {} return {s, {s}}", "{[n:1]={},[n:2]={[n:1]={}}}", 0},
    };
    for (const cycle_case& C : Cases) {
        stream_fixture S;
        S.run("function build() " + std::string(C.Build) + " end");
        std::string Bytes;
        const std::string WriteLog = captured([&] { Bytes = S.write("build()"); });
        std::string Expected;
        for (int i = 0; i < C.Warnings; ++i)
            Expected += "! fput lua object warning: table contains itself, writing nil\n";
        EXPECT_EQ(WriteLog, Expected) << C.Build;
        std::string Left = "?";
        captured([&] { EXPECT_EQ(S.read(Bytes, &Left), 1); });
        EXPECT_EQ(Left, "") << C.Build;
        EXPECT_EQ(S.eval_string("dump(got)"), C.ReadBack) << C.Build;
    }
}

TEST(ValueStream, DepthIsBoundedOnBothSides) {
    stream_fixture S;
    S.run("function nest(n) local t = {} for i = 1, n - 1 do t = {t} end return t end");
    S.run("function depth(t) local d = 0 while type(t) == 'table' do d = d + 1 t = t[1] end return d end");

    std::string Bytes;
    std::string Out = captured([&] { Bytes = S.write("nest(200)"); });
    EXPECT_EQ(Out, "");
    Out = captured([&] { S.read(Bytes); });
    EXPECT_EQ(Out, "");
    EXPECT_EQ(S.eval_string("depth(got)"), "200");

    Out = captured([&] { Bytes = S.write("nest(1000)"); });
    EXPECT_EQ(Out, "! fput lua object warning: tables nested too deeply, writing nil\n");
    Out = captured([&] { S.read(Bytes); });
    EXPECT_EQ(S.eval_string("depth(got)"), "200");

    // A foreign stream nesting deeper than the writer ever does: the read
    // stops, and the caller still gets one table.
    std::string Deep;
    for (int i = 0; i < 300; ++i) Deep += hex("05000000 01000000 03000000 000000000000F03F");
    Deep += hex("05000000 00000000");
    std::istringstream Source(Deep);
    const int Top = lua_gettop(S.L);
    Out = captured([&] { fget_lua_object(S.L, Source); });
    EXPECT_EQ(Out, "! fget lua object warning: tables nested too deeply, stopping the read\n");
    EXPECT_EQ(lua_gettop(S.L), Top + 1);
    EXPECT_TRUE(lua_istable(S.L, -1));
    EXPECT_TRUE(Source.fail());
    lua_pop(S.L, 1);
}

TEST(ValueStream, BadEntriesAreSkippedAndTheRestRead) {
    struct entry_case {
        const char* Name;
        const char* Entry;  // one key and value, between a good entry before and after
        const char* Log;
    };
    const entry_case Cases[] = {
        {"nil key", "00000000 03000000 000000000000F03F",
         "! fget lua object warning: nil record inside a table, skipping the entry\n"},
        {"nil value", "03000000 000000000000F03F 00000000",
         "! fget lua object warning: nil record inside a table, skipping the entry\n"},
        {"nil both", "00000000 00000000", "! fget lua object warning: nil record inside a table, skipping the entry\n"},
        {"NaN key", "03000000 000000000000F87F 01000000 01000000",
         "! fget lua object warning: NaN table key, skipping the entry\n"},
        {"function key", "06000000 01000000 01000000", "! fget lua object warning: unsupported object type 6\n"},
        {"function value", "04000000 01000000 66 06000000",
         "! fget lua object warning: unsupported object type 6\n"},
        {"table key", "05000000 00000000 04000000 01000000 76", ""},
    };
    for (const entry_case& C : Cases) {
        stream_fixture S;
        const std::string Bytes = hex(std::string("05000000 03000000") +
                                      "04000000 01000000 61 01000000 01000000" + C.Entry +
                                      "04000000 01000000 62 01000000 00000000" + "03000000");
        std::string Left;
        const std::string Out = captured([&] { EXPECT_EQ(S.read(Bytes, &Left), 1); });
        EXPECT_EQ(Out, C.Log) << C.Name;
        EXPECT_EQ(Left, hex("03000000")) << C.Name;
        EXPECT_EQ(S.eval_string("got.a and not got.b"), "true") << C.Name;
    }
}

TEST(ValueStream, NegativeEntryCountReadsAnEmptyTable) {
    stream_fixture S;
    std::string Left;
    const std::string Out = captured([&] { S.read(hex("05000000 FEFFFFFF 01000000"), &Left); });
    EXPECT_EQ(Out, "! fget lua object warning: negative entry count -2, reading an empty table\n");
    EXPECT_EQ(S.eval_string("dump(got)"), "{}");
    EXPECT_EQ(Left, hex("01000000"));
}

TEST(ValueStream, EndedStreamStopsTheRead) {
    struct end_case {
        const char* Bytes;
        int Pushed;
        const char* ReadBack;
    };
    const end_case Cases[] = {
        {"", 0, "nil:nil"},
        {"050000", 0, "nil:nil"},  // cut inside the type code
        {"05000000", 1, "{}"},
        {"05000000 FFFFFF7F", 1, "{}"},  // 2^31-1 entries promised, none there
        {"05000000 FFFFFF7F 01000000 01000000 01000000 01000000 030000", 1, "{[boolean:true]=boolean:true}"},
        {"05000000 02000000 01000000 01000000 05000000 05000000 01000000", 1, "{}"},
        {"04000000 FFFFFF7F 616263", 1, "string:abc"},  // length beyond the stream
        {"05000000 01000000 03000000 000000000000F03F 04000000 FFFFFF7F 616263", 1, "{}"},
        {"03000000 0000", 1, "n:0"},
    };
    for (const end_case& C : Cases) {
        stream_fixture S;
        std::string Out = captured([&] { EXPECT_EQ(S.read(hex(C.Bytes)), C.Pushed) << C.Bytes; });
        EXPECT_EQ(Out, "") << C.Bytes;
        EXPECT_EQ(S.eval_string("dump(got)"), C.ReadBack) << C.Bytes;
    }
}

TEST(ValueStream, ReaderAlreadyFailedStreamPushesNothing) {
    stream_fixture S;
    std::istringstream Source(hex("01000000 01000000"));
    Source.setstate(std::ios::failbit);
    const int Top = lua_gettop(S.L);
    fget_lua_object(S.L, Source);
    EXPECT_EQ(lua_gettop(S.L), Top);
}
