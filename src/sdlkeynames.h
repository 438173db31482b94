// Names of the SDL scancodes the scripts know, in both directions.
#pragma once

#include <map>
#include <string>

extern std::map<int, std::string> sdl_scancode_key_names;
extern std::map<std::string, int> sdl_key_name_scancodes;

// Fills both tables on the first call; later calls do nothing.
void sdl_key_names_init();
