#include "main.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>

#include "die.h"
#include "game.h"
#include "ref.h"
#include "sdlkeynames.h"

bool quit_flag = false;
lua_State* script_state = nullptr;

SDL_Window* screen_window = nullptr;
bool is_fullscreen = false;
SDL_GLContext gl_context = nullptr;
fcolor clear_color;

namespace {

const int DEFAULT_SCREEN_W = 800;
const int DEFAULT_SCREEN_H = 600;
const Uint32 FRAME_TICKS = 20;
const double FRAME_TIME = 0.02;

void request_gl_attributes() {
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
}

// The fixed world box (800 by 600 units, y up, centred on the origin) and the
// blending, depth and alpha tests every drawing relies on.
void set_initial_gl_state() {
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(-400, 400, -300, 300);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    refresh_gl_viewport_from_window_size();
}

}  // namespace

int screen_open(int ScreenW, int ScreenH, bool IsFullscreen, bool IsResizable) {
    // There is one window for the whole run; a second open is a bug in the
    // caller, stopped in every build before it reaches SDL.
    if (screen_window) {
        log_line('*', "screen open fatal: a window is already open");
        std::abort();
    }

    const int WantBPP = 32;
    log_line('-', "screen open: want BPP is ", WantBPP);

    log_line('-', "screen open: setting GL color sizes attributes");
    request_gl_attributes();

    log_line('-', "screen open: setting video mode");
    const bool BothSizes = ScreenW != 0 && ScreenH != 0;
    Uint32 VFlags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
    int VWindowPos = SDL_WINDOWPOS_CENTERED;
    if (IsFullscreen) {
        VWindowPos = SDL_WINDOWPOS_UNDEFINED;
        if (BothSizes) {
            VFlags |= SDL_WINDOW_FULLSCREEN;
            log_line('-', "screen open: setting to fullscreen ", ScreenW, "x", ScreenH);
        } else {
            VFlags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            log_line('-', "screen open: setting to fullscreen desktop resolution");
        }
    } else if (BothSizes) {
        log_line('-', "screen open: setting to windowed ", ScreenW, "x", ScreenH);
    } else {
        log_line('-', "screen open: 0 for screen w or h, setting to default windowed resolution ",
                 DEFAULT_SCREEN_W, "x", DEFAULT_SCREEN_H);
    }
    if (!BothSizes) {
        ScreenW = DEFAULT_SCREEN_W;
        ScreenH = DEFAULT_SCREEN_H;
    }
    if (IsResizable) VFlags |= SDL_WINDOW_RESIZABLE;

    screen_window = SDL_CreateWindow("Loading...", VWindowPos, VWindowPos, ScreenW, ScreenH, VFlags);
    if (!screen_window) {
        log_line('*', "screen open: couldn't set GL mode; ", SDL_GetError());
        return -1;
    }

    gl_context = SDL_GL_CreateContext(screen_window);
    if (!gl_context) {
        // Without a context no GL call may be made; drop the window too, so a
        // failed open always leaves the display with no window.
        log_line('*', "screen open: couldn't create GL context; ", SDL_GetError());
        SDL_DestroyWindow(screen_window);
        screen_window = nullptr;
        return -1;
    }
    is_fullscreen = IsFullscreen;
    set_initial_gl_state();
    return 0;
}

void refresh_gl_viewport_from_window_size() {
    int ScreenW = 0;
    int ScreenH = 0;
    SDL_GetWindowSize(screen_window, &ScreenW, &ScreenH);
    if (ScreenH <= 0) {
        // Only happens with no window: there is nothing to fit a viewport to.
        log_line('!', "refresh screen viewport warning: window size ", ScreenW, "x", ScreenH,
                 ", viewport left as it was");
        return;
    }
    int ViewW, ViewH, X, Y;
    if ((3 * ScreenW) / ScreenH <= 4) {
        ViewW = ScreenW;
        ViewH = (3 * ScreenW) / 4;
        X = 0;
        Y = (ScreenH - ViewH) / 2;
    } else {
        ViewH = ScreenH;
        ViewW = (4 * ScreenH) / 3;
        Y = 0;
        X = (ScreenW - ViewW) / 2;
    }
    glViewport(X, Y, ViewW, ViewH);
    log_line('-', "refresh screen viewport: now ", ScreenW, "x", ScreenH, ", viewport ", ViewW, "x",
             ViewH);
}

void toggle_fullscreen() {
    is_fullscreen = !is_fullscreen;
    SDL_SetWindowFullscreen(screen_window, is_fullscreen ? SDL_WINDOW_FULLSCREEN : 0);
    log_line('-', "toggle fullscreen: now ", is_fullscreen ? "fullscreen" : "windowed");
    refresh_gl_viewport_from_window_size();
}

int script_open() {
    script_state = luaL_newstate();
    luaL_openlibs(script_state);
    return 0;
}

int frame_wait_ticks(Uint32 Ticks, Uint32 NewTicks) {
    // Unsigned subtraction wraps with the millisecond counter; the result is
    // then read as a signed 32-bit count.
    return static_cast<int32_t>(FRAME_TICKS - (NewTicks - Ticks));
}

namespace {

// Under the software renderer the GL driver's memory grows the heap by
// megabytes every frame, and glibc's default thresholds give it back at the
// end of the frame, so the next frame faults every page in again. Keeping up
// to 64 MB of free heap, and serving blocks up to 32 MB from the heap, keeps
// those pages. Fixed thresholds turn glibc's adaptive ones off and hold for
// every arena, the renderer threads' too.
void tune_malloc() {
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
}

void dispatch_event(const SDL_Event& E, ref<game>& G) {
    if (E.type == SDL_QUIT) {
        quit_flag = true;
    } else if (E.type == SDL_KEYDOWN) {
        if (E.key.keysym.sym == SDLK_F12)
            quit_flag = true;
        else if (E.key.keysym.sym == SDLK_F11)
            toggle_fullscreen();
        else
            G->keypress(E.key.keysym.scancode);
    }
}

}  // namespace

void run_frame_loop(ref<game>& G, Uint32 Ticks) {
    for (;;) {
        const Uint32 NewTicks = SDL_GetTicks();
        const int WaitTicks = frame_wait_ticks(Ticks, NewTicks);
        if (WaitTicks > 0) SDL_Delay(WaitTicks);

        G->update(FRAME_TIME);
        G->render();
        SDL_GL_SwapWindow(screen_window);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

        SDL_Event E;
        while (SDL_PollEvent(&E)) dispatch_event(E, G);
        if (quit_flag) return;
        Ticks = NewTicks;
    }
}

int main(int ArgC, char** ArgV) {
    tune_malloc();
    (void)ArgC;
    (void)ArgV;
    die_init("trace.txt");
    log_line('-', "vireo: game by Orlenk for Tindle #13");
    log_line('-', "main: initializing SDL");
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) {
        log_line('*', "main fatal: can't initialize SDL: ", SDL_GetError());
        return -1;
    }
    sdl_key_names_init();
    screen_open(DEFAULT_SCREEN_W, DEFAULT_SCREEN_H, false, false);
    script_open();

    ref<game> G = mkref(new game());
    G->init();
    SDL_SetWindowTitle(screen_window, "Vireo");

    const Uint32 Ticks = SDL_GetTicks();
    if (!quit_flag) run_frame_loop(G, Ticks);

    log_line('-', "main: closing world");
    log_line('-', "main: quitting SDL");
    // llvmpipe may still be drawing on its own threads; closing the display
    // under them can leave SDL_Quit waiting on those threads for ever.
    if (gl_context) glFinish();
    SDL_Quit();
    G.clear();
    return 0;
}
