#include "luahelp.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "die.h"
#include "filehelp.h"

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

// ---------------------------------------------------------------- value stream

namespace {

// Deeper tables are neither written nor read: each level costs a C frame and
// a few script stack slots, and no script builds anything near this deep.
const int MaxTableDepth = 200;

// Tables being written, outermost first: the enclosing tables of the current one.
typedef std::vector<const void*> open_tables;

void put_object(lua_State* L, int Index, std::ostream& Dest, open_tables& Open);

// Writes the code of a value that reads back as nil, in place of a table that
// cannot be written; inside a table the entry is then dropped by the reader.
void put_refused_table(std::ostream& Dest, const char* Why) {
    log_line('!', "fput lua object warning: ", Why, ", writing nil");
    fput_int(Dest, LUA_TNONE);
}

// Index is absolute, so a table key is walked just as a table value is.
void put_table(lua_State* L, int Index, std::ostream& Dest, open_tables& Open) {
    const void* Table = lua_topointer(L, Index);
    if (std::find(Open.begin(), Open.end(), Table) != Open.end())
        return put_refused_table(Dest, "table contains itself");
    if (int(Open.size()) >= MaxTableDepth)
        return put_refused_table(Dest, "tables nested too deeply");
    if (!lua_checkstack(L, 2)) return put_refused_table(Dest, "no room on the script stack");

    fput_int(Dest, LUA_TTABLE);
    int NumEntries = 0;
    lua_pushnil(L);
    while (lua_next(L, Index)) {
        ++NumEntries;
        lua_pop(L, 1);
    }
    fput_int(Dest, NumEntries);

    Open.push_back(Table);
    lua_pushnil(L);
    while (lua_next(L, Index)) {
        const int Value = lua_gettop(L);
        put_object(L, Value - 1, Dest, Open);
        put_object(L, Value, Dest, Open);
        lua_pop(L, 1);
    }
    Open.pop_back();
}

void put_object(lua_State* L, int Index, std::ostream& Dest, open_tables& Open) {
    const int Type = lua_type(L, Index);
    if (Type == LUA_TTABLE) return put_table(L, Index, Dest, Open);
    fput_int(Dest, Type);
    switch (Type) {
        case LUA_TNIL:
            break;
        case LUA_TBOOLEAN:
            fput_int(Dest, lua_toboolean(L, Index) ? 1 : 0);
            break;
        case LUA_TNUMBER:
            fput_double(Dest, lua_tonumber(L, Index));
            break;
        case LUA_TSTRING:
            fput_string(Dest, lua_tostring(L, Index));
            break;
        default:
            log_line('!', "fput lua object warning: unsupported object type ", Type);
            break;
    }
}

// Index 0, or a negative index reaching below the bottom of the stack, names
// no value (the interpreter would read outside the stack for them).
bool names_no_value(lua_State* L, int StackID) {
    return StackID == 0 || (StackID < 0 && StackID > LUA_REGISTRYINDEX && -StackID > lua_gettop(L));
}

int get_object(lua_State* L, std::istream& Source, int Depth);

// Reads one key and value record into the table on top. Returns false when
// the stream failed on the way, so the caller reads no further.
bool get_entry(lua_State* L, std::istream& Source, int Depth) {
    const int Pushed = get_object(L, Source, Depth) + get_object(L, Source, Depth);
    if (!Source) {
        lua_pop(L, Pushed);
        return false;
    }
    if (Pushed != 2) {
        log_line('!', "fget lua object warning: nil record inside a table, skipping the entry");
        lua_pop(L, Pushed);
    } else if (lua_isnil(L, -2)) {
        // The key's record was of an unsupported type, already reported.
        lua_pop(L, 2);
    } else if (lua_type(L, -2) == LUA_TNUMBER && std::isnan(lua_tonumber(L, -2))) {
        log_line('!', "fget lua object warning: NaN table key, skipping the entry");
        lua_pop(L, 2);
    } else {
        lua_settable(L, -3);
    }
    return true;
}

// Pushes the table of a table record (nil when it lies too deep). A read that
// cannot go on marks the stream failed, so enclosing tables stop too.
void get_table(lua_State* L, std::istream& Source, int Depth) {
    if (Depth > MaxTableDepth) {
        log_line('!', "fget lua object warning: tables nested too deeply, stopping the read");
        Source.setstate(std::ios::failbit);
        lua_pushnil(L);
        return;
    }
    const int NumEntries = fget_int(Source);
    lua_newtable(L);
    if (!Source) return;
    if (NumEntries < 0) {
        log_line('!', "fget lua object warning: negative entry count ", NumEntries, ", reading an empty table");
        return;
    }
    if (!lua_checkstack(L, 2)) {
        log_line('!', "fget lua object warning: no room on the script stack, stopping the read");
        Source.setstate(std::ios::failbit);
        return;
    }
    for (int i = 0; i < NumEntries; ++i)
        if (!get_entry(L, Source, Depth + 1)) return;
}

// Reads one record and pushes its value; returns the count of values pushed:
// 0 for a nil record or when the stream ends before a type code, else 1.
int get_object(lua_State* L, std::istream& Source, int Depth) {
    const int Type = fget_int(Source);
    if (!Source) return 0;
    switch (Type) {
        case LUA_TNIL:
            return 0;
        case LUA_TBOOLEAN:
            lua_pushboolean(L, fget_int(Source) != 0);
            break;
        case LUA_TNUMBER:
            lua_pushnumber(L, fget_double(Source));
            break;
        case LUA_TSTRING: {
            const std::string Text = fget_string(Source);
            lua_pushlstring(L, Text.data(), Text.size());
            break;
        }
        case LUA_TTABLE:
            get_table(L, Source, Depth);
            break;
        default:
            log_line('!', "fget lua object warning: unsupported object type ", Type);
            lua_pushnil(L);
            break;
    }
    return 1;
}

}  // namespace

void fput_lua_object(lua_State* L, int StackID, std::ostream& Dest) {
    open_tables Open;
    if (names_no_value(L, StackID)) {
        fput_int(Dest, LUA_TNONE);
        log_line('!', "fput lua object warning: unsupported object type ", LUA_TNONE);
        return;
    }
    put_object(L, lua_absindex(L, StackID), Dest, Open);
}

void fget_lua_object(lua_State* L, std::istream& Source) { get_object(L, Source, 1); }
