#include "sdlkeynames.h"

std::map<int, std::string> sdl_scancode_key_names;
std::map<std::string, int> sdl_key_name_scancodes;

static bool sdl_key_names_init_flag = false;

namespace {

struct key_entry {
    const char* name;
    int scancode;
};

// The names of SDL2's scancode enumerators without their SDL_SCANCODE_
// prefix, with the enumerators' values: physical positions on a US keyboard.
const key_entry KEY_TABLE[] = {
    {"A", 4},  {"B", 5},  {"C", 6},  {"D", 7},  {"E", 8},  {"F", 9},  {"G", 10},
    {"H", 11}, {"I", 12}, {"J", 13}, {"K", 14}, {"L", 15}, {"M", 16}, {"N", 17},
    {"O", 18}, {"P", 19}, {"Q", 20}, {"R", 21}, {"S", 22}, {"T", 23}, {"U", 24},
    {"V", 25}, {"W", 26}, {"X", 27}, {"Y", 28}, {"Z", 29},
    {"1", 30}, {"2", 31}, {"3", 32}, {"4", 33}, {"5", 34}, {"6", 35}, {"7", 36},
    {"8", 37}, {"9", 38}, {"0", 39},
    {"RETURN", 40},
    {"ESCAPE", 41},
    {"BACKSPACE", 42},
    {"TAB", 43},
    {"SPACE", 44},
    {"MINUS", 45},
    {"EQUALS", 46},
    {"LEFTBRACKET", 47},
    {"RIGHTBRACKET", 48},
    {"BACKSLASH", 49},
    {"NONUSHASH", 50},
    {"SEMICOLON", 51},
    {"APOSTROPHE", 52},
    {"GRAVE", 53},
    {"COMMA", 54},
    {"PERIOD", 55},
    {"SLASH", 56},
    {"CAPSLOCK", 57},
    {"F1", 58}, {"F2", 59}, {"F3", 60}, {"F4", 61},  {"F5", 62},  {"F6", 63},
    {"F7", 64}, {"F8", 65}, {"F9", 66}, {"F10", 67}, {"F11", 68}, {"F12", 69},
    {"LCTRL", 224},
    {"LSHIFT", 225},
    {"LALT", 226},
    {"LGUI", 227},
    {"RCTRL", 228},
    {"RSHIFT", 229},
    {"RALT", 230},
    {"RGUI", 231},
    {"PRINTSCREEN", 70},
    {"SCROLLLOCK", 71},
    {"PAUSE", 72},
    {"INSERT", 73},
    {"HOME", 74},
    {"PAGEUP", 75},
    {"DELETE", 76},
    {"END", 77},
    {"PAGEDOWN", 78},
    {"RIGHT", 79},
    {"LEFT", 80},
    {"DOWN", 81},
    {"UP", 82},
    {"VOLUMEUP", 128},
    {"VOLUMEDOWN", 129},
};

}  // namespace

void sdl_key_names_init() {
    if (sdl_key_names_init_flag) return;
    sdl_key_names_init_flag = true;
    for (const key_entry& Key : KEY_TABLE) {
        sdl_key_name_scancodes[Key.name] = Key.scancode;
        sdl_scancode_key_names[Key.scancode] = Key.name;
    }
}
