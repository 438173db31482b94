// Typed access to fields of the script table on top of the Lua stack, global
// path tables, string sets, and a binary stream format for Lua values.
#pragma once

#include <istream>
#include <ostream>
#include <set>
#include <string>

#include <lua.hpp>

#include "vecco.h"

std::string luahelp_table_getstring(lua_State* L, const std::string& Name, const std::string& Default);
double luahelp_table_getnumber(lua_State* L, const std::string& Name, double Default);
bool luahelp_table_getboolean(lua_State* L, const std::string& Name, bool Default);
rloc luahelp_table_getrloc(lua_State* L, const std::string& Name, const rloc& Default);
rpos luahelp_table_getrpos(lua_State* L, const std::string& Name, const rpos& Default);
fcolor luahelp_table_getfcolor(lua_State* L, const std::string& Name, const fcolor& Default);

void luahelp_table_setstring(lua_State* L, const std::string& Name, const std::string& Value);
void luahelp_table_setnumber(lua_State* L, const std::string& Name, double Value);
void luahelp_table_setboolean(lua_State* L, const std::string& Name, bool Value);
void luahelp_table_setrpos(lua_State* L, const std::string& Name, const rpos& Value);
void luahelp_table_setnewtable(lua_State* L, const std::string& Name);
void luahelp_table_clear(lua_State* L, const std::string& Name);

// Leaves the table found on top of the stack, or nothing on failure.
void luahelp_get_path_table(lua_State* L, const char** Path);
std::set<std::string> luahelp_getstrings(lua_State* L);
std::set<std::string> luahelp_table_getstrings(lua_State* L, const std::string& Name);

void fput_lua_object(lua_State* L, int StackID, std::ostream& Dest);
void fget_lua_object(lua_State* L, std::istream& Source);
