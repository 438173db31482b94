// The game object: owns the script state and the game font, runs the scripts
// and turns their render list into OpenGL drawing.
#pragma once

#include <string>
#include <vector>

#include <lua.hpp>

#include "font.h"
#include "ref.h"
#include "rngen.h"
#include "vecco.h"

class game {
public:
    game();
    virtual ~game();

    void init();
    void update(double T);
    void keypress(int Scancode);
    void render();

private:
    lua_State* L;
    ref<font> F;

    void render_command();
    void include(const std::string& ScriptName);
    void lib(const std::string& LibName);

    // The tables being walked, outermost first, so a render list that holds
    // itself is not walked into again; cleared at the start of every frame.
    std::vector<const void*> walking;
    bool repeat_logged = false;
    bool depth_logged = false;
    // Transforms entered and not yet left, so a walk that a script error
    // stops part way can leave the model-view matrix as it found it.
    int matrix_pushes = 0;

    static int protected_walk(lua_State* L);
    void walk_table(int V);
    bool run_word(int Word, int V);
    bool read_numbers(int V, double* Out, int N);
    int read_text(int V, const char*& Out);
    void build_font();

    friend struct game_probe;
};

extern ref<font> cur_font;
extern std::vector<fcolor> palette;
extern rngen RN;

int base_include(lua_State* L, const std::string& ScriptName);

int script_include(lua_State* L);
int script_texture_load(lua_State* L);
int script_image_load_submask(lua_State* L);
int script_RN_seed(lua_State* L);
int script_RN(lua_State* L);
int script_set_palette(lua_State* L);
int script_image_size(lua_State* L);
int script_WARN(lua_State* L);
int script_image_exists(lua_State* L);
int script_image_load_subpixels(lua_State* L);
int script_str2color(lua_State* L);
int script_color2str(lua_State* L);
int script_text_len(lua_State* L);
int script_game_quit(lua_State* L);
