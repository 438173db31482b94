#include "luahelp.h"

#include "die.h"

namespace {

// Field access: the table is at -1 on entry; the value looked up sits on top
// of it until the caller pops it.
void push_field(lua_State* L, const std::string& Name) {
    lua_pushstring(L, Name.c_str());
    lua_gettable(L, -2);
}

void set_field_from_top(lua_State* L) {
    // Stack: table, key, value.
    lua_settable(L, -3);
}

int hex_to_int(char H) {
    if (H >= '0' && H <= '9') return H - '0';
    if (H >= 'A' && H <= 'F') return H - 'A' + 10;
    if (H >= 'a' && H <= 'f') return H - 'a' + 10;
    return 0;
}

int hex_to_int(char MSH, char LSH) { return 16 * hex_to_int(MSH) + hex_to_int(LSH); }

template <typename T, int S>
vecco<T, S> get_suffixed(lua_State* L, const std::string& Name, const vecco<T, S>& Default,
                         const char* const (&Suffixes)[S]) {
    vecco<T, S> Result;
    for (int i = 0; i < S; ++i)
        Result[i] = T(luahelp_table_getnumber(L, Name + Suffixes[i], double(Default[i])));
    return Result;
}

const char* const XY[2] = {"_x", "_y"};
const char* const XYZ[3] = {"_x", "_y", "_z"};
const char* const RGBA[4] = {"_r", "_g", "_b", "_a"};

}  // namespace

std::string luahelp_table_getstring(lua_State* L, const std::string& Name, const std::string& Default) {
    std::string Result = Default;
    push_field(L, Name);
    // lua_tostring converts a number in the pushed copy only; the field keeps its number.
    if (lua_isstring(L, -1)) Result = lua_tostring(L, -1);
    lua_settop(L, -2);
    return Result;
}

double luahelp_table_getnumber(lua_State* L, const std::string& Name, double Default) {
    double Result = Default;
    push_field(L, Name);
    if (lua_isnumber(L, -1)) Result = lua_tonumber(L, -1);
    lua_settop(L, -2);
    return Result;
}

bool luahelp_table_getboolean(lua_State* L, const std::string& Name, bool Default) {
    bool Result = Default;
    push_field(L, Name);
    if (lua_isboolean(L, -1)) Result = lua_toboolean(L, -1) != 0;
    lua_settop(L, -2);
    return Result;
}

rloc luahelp_table_getrloc(lua_State* L, const std::string& Name, const rloc& Default) {
    return get_suffixed(L, Name, Default, XY);
}

rpos luahelp_table_getrpos(lua_State* L, const std::string& Name, const rpos& Default) {
    return get_suffixed(L, Name, Default, XYZ);
}

fcolor luahelp_table_getfcolor(lua_State* L, const std::string& Name, const fcolor& Default) {
    const std::string CHex = luahelp_table_getstring(L, Name, "");
    if (CHex.size() == 6) {
        return mkfcolor(float(hex_to_int(CHex[0], CHex[1]) / 255.0), float(hex_to_int(CHex[2], CHex[3]) / 255.0),
                        float(hex_to_int(CHex[4], CHex[5]) / 255.0), 1.0f);
    }
    if (!CHex.empty())
        log_line('!', "luahelp table getfcolor warning: improperly formatted color string ``", CHex, "''");
    return get_suffixed(L, Name, Default, RGBA);
}

void luahelp_table_setstring(lua_State* L, const std::string& Name, const std::string& Value) {
    lua_pushstring(L, Name.c_str());
    lua_pushstring(L, Value.c_str());
    set_field_from_top(L);
}

void luahelp_table_setnumber(lua_State* L, const std::string& Name, double Value) {
    lua_pushstring(L, Name.c_str());
    lua_pushnumber(L, Value);
    set_field_from_top(L);
}

void luahelp_table_setboolean(lua_State* L, const std::string& Name, bool Value) {
    lua_pushstring(L, Name.c_str());
    lua_pushboolean(L, Value ? 1 : 0);
    set_field_from_top(L);
}

void luahelp_table_setrpos(lua_State* L, const std::string& Name, const rpos& Value) {
    for (int i = 0; i < 3; ++i) luahelp_table_setnumber(L, Name + XYZ[i], Value[i]);
}

void luahelp_table_setnewtable(lua_State* L, const std::string& Name) {
    lua_pushstring(L, Name.c_str());
    lua_newtable(L);
    set_field_from_top(L);
}

void luahelp_table_clear(lua_State* L, const std::string& Name) {
    lua_pushstring(L, Name.c_str());
    lua_pushnil(L);
    set_field_from_top(L);
}

// ---------------------------------------------------------------- path tables and string sets

namespace {

void log_subpath_failure(const char** Path, const char* Failing) {
    log_line('!', "luahelp get path table fatal: couldn't get subpath ``", Failing, "''");
    log_line('!', "--- fullpath is: ");
    for (const char** Segment = Path; *Segment; ++Segment) log_line('!', "--- ``", *Segment, "''");
}

}  // namespace

void luahelp_get_path_table(lua_State* L, const char** Path) {
    if (!Path[0]) {
        log_line('*', "luahelp get path table fatal: didn't pass any path segments in, not pushing anything");
        return;
    }
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushstring(L, Path[0]);
    lua_gettable(L, -2);
    if (!lua_istable(L, -1)) {
        log_line('*', "luahelp get path table fatal: global ", Path[0], " isn't a table");
        lua_pop(L, 2);
        return;
    }
    // Stack: globals, current table.
    for (const char** Segment = Path + 1; *Segment; ++Segment) {
        lua_pushstring(L, *Segment);
        lua_gettable(L, -2);
        if (!lua_istable(L, -1)) {
            log_subpath_failure(Path, *Segment);
            lua_pop(L, 3);
            return;
        }
        lua_remove(L, -2);
    }
    lua_remove(L, -2);
}

std::set<std::string> luahelp_getstrings(lua_State* L) {
    std::set<std::string> Strings;
    if (!lua_istable(L, -1)) return Strings;
    lua_pushnil(L);
    while (lua_next(L, -2)) {
        // Converting the value (never the key) keeps the traversal intact.
        if (lua_isstring(L, -1))
            Strings.insert(lua_tostring(L, -1));
        else
            log_line('!', "luahelp getstrings warning: encountered non-string element, skipping");
        lua_pop(L, 1);
    }
    return Strings;
}

std::set<std::string> luahelp_table_getstrings(lua_State* L, const std::string& Name) {
    push_field(L, Name);
    std::set<std::string> Strings = luahelp_getstrings(L);
    lua_pop(L, 1);
    return Strings;
}
