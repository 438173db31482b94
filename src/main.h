// Program entry globals and the display: the window, its OpenGL context and
// the 4:3 viewport.
#pragma once

#include <SDL.h>
#include <lua.hpp>

#include "ref.h"
#include "vecco.h"

class game;

extern bool quit_flag;
extern lua_State* script_state;

extern SDL_Window* screen_window;
extern bool is_fullscreen;
extern SDL_GLContext gl_context;
extern fcolor clear_color;

int screen_open(int ScreenW, int ScreenH, bool IsFullscreen, bool IsResizable);
void refresh_gl_viewport_from_window_size();
void toggle_fullscreen();

int script_open();

// The milliseconds still to wait before a pass that starts at NewTicks, when
// the pass before it compared against Ticks; negative when late. Defined
// across the wrap of the 32-bit millisecond counter.
int frame_wait_ticks(Uint32 Ticks, Uint32 NewTicks);

// Runs passes of the game until a pass ends with quit_flag set. Ticks is the
// tick the first pass compares against.
void run_frame_loop(ref<game>& G, Uint32 Ticks);
