#include "sdlkeynames.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

// Every name the scripts know, checked against SDL's own enumerators, so a
// typo in a name or a value shows up against an independent source.
#define KEY(Name) {#Name, SDL_SCANCODE_##Name}
const std::vector<std::pair<std::string, int>> EXPECTED_KEYS = {
    KEY(A), KEY(B), KEY(C), KEY(D), KEY(E), KEY(F), KEY(G), KEY(H), KEY(I),
    KEY(J), KEY(K), KEY(L), KEY(M), KEY(N), KEY(O), KEY(P), KEY(Q), KEY(R),
    KEY(S), KEY(T), KEY(U), KEY(V), KEY(W), KEY(X), KEY(Y), KEY(Z),
    KEY(1), KEY(2), KEY(3), KEY(4), KEY(5), KEY(6), KEY(7), KEY(8), KEY(9), KEY(0),
    KEY(RETURN), KEY(ESCAPE), KEY(BACKSPACE), KEY(TAB), KEY(SPACE), KEY(MINUS),
    KEY(EQUALS), KEY(LEFTBRACKET), KEY(RIGHTBRACKET), KEY(BACKSLASH),
    KEY(NONUSHASH), KEY(SEMICOLON), KEY(APOSTROPHE), KEY(GRAVE), KEY(COMMA),
    KEY(PERIOD), KEY(SLASH), KEY(CAPSLOCK),
    KEY(F1), KEY(F2), KEY(F3), KEY(F4), KEY(F5), KEY(F6), KEY(F7), KEY(F8),
    KEY(F9), KEY(F10), KEY(F11), KEY(F12),
    KEY(LCTRL), KEY(LSHIFT), KEY(LALT), KEY(LGUI), KEY(RCTRL), KEY(RSHIFT),
    KEY(RALT), KEY(RGUI),
    KEY(PRINTSCREEN), KEY(SCROLLLOCK), KEY(PAUSE), KEY(INSERT), KEY(HOME),
    KEY(PAGEUP), KEY(DELETE), KEY(END), KEY(PAGEDOWN), KEY(RIGHT), KEY(LEFT),
    KEY(DOWN), KEY(UP), KEY(VOLUMEUP), KEY(VOLUMEDOWN),
};
#undef KEY

class KeyNames : public testing::Test {
protected:
    void SetUp() override { sdl_key_names_init(); }
};

}  // namespace

TEST_F(KeyNames, BothTablesHoldExactlyTheKnownKeys) {
    ASSERT_EQ(EXPECTED_KEYS.size(), 89u);
    EXPECT_EQ(sdl_scancode_key_names.size(), 89u);
    EXPECT_EQ(sdl_key_name_scancodes.size(), 89u);
    for (const auto& [Name, Scancode] : EXPECTED_KEYS) {
        SCOPED_TRACE(Name);
        auto ByCode = sdl_scancode_key_names.find(Scancode);
        ASSERT_NE(ByCode, sdl_scancode_key_names.end());
        EXPECT_EQ(ByCode->second, Name);
        auto ByName = sdl_key_name_scancodes.find(Name);
        ASSERT_NE(ByName, sdl_key_name_scancodes.end());
        EXPECT_EQ(ByName->second, Scancode);
    }
}

TEST_F(KeyNames, SecondCallChangesNothing) {
    const auto ByCode = sdl_scancode_key_names;
    const auto ByName = sdl_key_name_scancodes;
    sdl_key_names_init();
    EXPECT_EQ(sdl_scancode_key_names, ByCode);
    EXPECT_EQ(sdl_key_name_scancodes, ByName);
}

TEST_F(KeyNames, UnnamedScancodesHaveNoEntry) {
    for (int Scancode : {0, 3, 83, 88, 100, 127, 130, 223, 232, 511})
        EXPECT_EQ(sdl_scancode_key_names.count(Scancode), 0u) << Scancode;
}

TEST_F(KeyNames, NamesAreCaseSensitive) {
    for (const char* Name : {"a", "Return", "left", "f1", "Space", "", "A "})
        EXPECT_EQ(sdl_key_name_scancodes.count(Name), 0u) << '"' << Name << '"';
}

TEST_F(KeyNames, WalkRunsInAscendingScancodeOrder) {
    EXPECT_EQ(sdl_scancode_key_names.begin()->second, "A");
    EXPECT_EQ(sdl_scancode_key_names.rbegin()->second, "RGUI");
    std::vector<std::string> Walk;
    for (const auto& Entry : sdl_scancode_key_names) Walk.push_back(Entry.second);
    auto Up = std::find(Walk.begin(), Walk.end(), "UP");
    ASSERT_LE(Up + 4, Walk.end());
    EXPECT_EQ(std::vector<std::string>(Up, Up + 4),
              (std::vector<std::string>{"UP", "VOLUMEUP", "VOLUMEDOWN", "LCTRL"}));
}
