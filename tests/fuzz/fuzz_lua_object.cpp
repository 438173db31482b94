// Feeds arbitrary bytes to the script value reader. Whatever it reads must
// leave the stack one value higher or unchanged, and whatever value it builds
// must write out as a stream that reads back as exactly one value, with every
// byte consumed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "luahelp.h"

namespace {

lua_State* shared_state() {
    static lua_State* L = [] {
        lua_State* State = luaL_newstate();
        luaL_openlibs(State);
        return State;
    }();
    return L;
}

void fail(const char* What) {
    std::fprintf(stderr, "fuzz_lua_object: %s\n", What);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    lua_State* L = shared_state();
    // Something below the value, so a reader that pops too much shows.
    lua_settop(L, 0);
    lua_pushstring(L, "bottom");
    const int Top = lua_gettop(L);

    std::istringstream Source(std::string(reinterpret_cast<const char*>(Data), Size));
    fget_lua_object(L, Source);
    const int Pushed = lua_gettop(L) - Top;
    if (Pushed != 0 && Pushed != 1) fail("reader pushed neither 0 nor 1 values");
    if (lua_type(L, Top) != LUA_TSTRING) fail("reader disturbed the value below");

    if (Pushed == 1) {
        std::ostringstream Dest;
        fput_lua_object(L, -1, Dest);
        if (lua_gettop(L) != Top + 1) fail("writer changed the stack height");
        const std::string Written = Dest.str();
        std::istringstream Again(Written);
        fget_lua_object(L, Again);
        const int Back = lua_gettop(L) - Top - 1;
        // A nil value is written as a nil record, which pushes nothing.
        const int Expected = lua_isnil(L, Top + 1) ? 0 : 1;
        if (Back != Expected) fail("written value did not read back as one value");
        if (Again.peek() != std::char_traits<char>::eof() || Again.fail())
            fail("written value was not read back exactly");
    }
    lua_settop(L, 0);
    return 0;
}
