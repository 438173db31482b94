// The window, its OpenGL context and the viewport, the frame loop and the
// program's start and end, on a virtual display with real SDL windows; the GL
// calls go to the recording stand-in. The SDL calls the host makes are
// wrapped (see tests/CMakeLists.txt): they are recorded among the GL calls,
// and a test can make some of them fail or run the clock itself.
#include "main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "die.h"
#include "fixtures.h"
#include "game.h"
#include "gl_record.h"
#include "sdlkeynames.h"

int vireo_main(int ArgC, char** ArgV);

namespace {

std::string hex(Uint32 V) {
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "0x%08X", unsigned(V));
    return Buf;
}

// What the wrapped SDL calls do besides passing through and being recorded.
struct sdl_stand_in {
    bool fail_init = false;
    bool fail_create_window = false;
    // The millisecond clock, when a test runs the loop: it moves only by the
    // host's sleeps and, at each buffer swap, by that pass's work.
    bool fake_clock = false;
    Uint32 now = 0;
    std::vector<Uint32> work_ms;  // by pass; the last one repeats
    int swaps = 0;
    // Events pushed at the buffer swap of pass N (from 1): the pass drains them.
    std::vector<std::vector<SDL_Event>> events_at_swap;
};
sdl_stand_in stand_in;

}  // namespace

extern "C" {

int __real_SDL_Init(Uint32 Flags);
int __wrap_SDL_Init(Uint32 Flags) {
    gl_record_note("SDL_Init", "SDL_Init(" + hex(Flags) + ")");
    if (!stand_in.fail_init) return __real_SDL_Init(Flags);
    SDL_SetError("no SDL in this test");
    return -1;
}

int __real_SDL_GL_SetAttribute(SDL_GLattr Attr, int Value);
int __wrap_SDL_GL_SetAttribute(SDL_GLattr Attr, int Value) {
    const char* Names[] = {"RED_SIZE",   "GREEN_SIZE",  "BLUE_SIZE",
                           "ALPHA_SIZE", "BUFFER_SIZE", "DOUBLEBUFFER",
                           "DEPTH_SIZE", "STENCIL_SIZE"};
    const std::string Name = Attr >= 0 && Attr < int(sizeof Names / sizeof *Names)
                                 ? Names[Attr]
                                 : std::to_string(int(Attr));
    gl_record_note("SDL_GL_SetAttribute",
                   "SDL_GL_SetAttribute(" + Name + "," + std::to_string(Value) + ")");
    return __real_SDL_GL_SetAttribute(Attr, Value);
}

SDL_Window* __real_SDL_CreateWindow(const char* Title, int X, int Y, int W, int H, Uint32 Flags);
SDL_Window* __wrap_SDL_CreateWindow(const char* Title, int X, int Y, int W, int H, Uint32 Flags) {
    std::ostringstream Text;
    Text << "SDL_CreateWindow(" << Title << "," << hex(X) << "," << hex(Y) << "," << W << ","
         << H << "," << hex(Flags) << ")";
    gl_record_note("SDL_CreateWindow", Text.str());
    if (!stand_in.fail_create_window) return __real_SDL_CreateWindow(Title, X, Y, W, H, Flags);
    SDL_SetError("no window in this test");
    return nullptr;
}

int __real_SDL_SetWindowFullscreen(SDL_Window* Window, Uint32 Flags);
int __wrap_SDL_SetWindowFullscreen(SDL_Window* Window, Uint32 Flags) {
    gl_record_note("SDL_SetWindowFullscreen", "SDL_SetWindowFullscreen(" + hex(Flags) + ")");
    return __real_SDL_SetWindowFullscreen(Window, Flags);
}

Uint32 __real_SDL_GetTicks();
Uint32 __wrap_SDL_GetTicks() { return stand_in.fake_clock ? stand_in.now : __real_SDL_GetTicks(); }

void __real_SDL_Delay(Uint32 Ms);
void __wrap_SDL_Delay(Uint32 Ms) {
    gl_record_note("SDL_Delay", "SDL_Delay(" + std::to_string(Ms) + ")");
    if (stand_in.fake_clock)
        stand_in.now += Ms;
    else
        __real_SDL_Delay(Ms);
}

void __real_SDL_GL_SwapWindow(SDL_Window* Window);
void __wrap_SDL_GL_SwapWindow(SDL_Window* Window) {
    gl_record_note("SDL_GL_SwapWindow", "SDL_GL_SwapWindow()");
    __real_SDL_GL_SwapWindow(Window);
    const size_t Pass = ++stand_in.swaps;
    if (stand_in.fake_clock && !stand_in.work_ms.empty())
        stand_in.now += stand_in.work_ms[std::min(Pass, stand_in.work_ms.size()) - 1];
    if (Pass <= stand_in.events_at_swap.size())
        for (SDL_Event E : stand_in.events_at_swap[Pass - 1]) SDL_PushEvent(&E);
}

// SDL stays up for the whole test program (see Display below), so the
// host's shutdown is only noted.
void __wrap_SDL_Quit() { gl_record_note("SDL_Quit", "SDL_Quit()"); }

}  // extern "C"

namespace {

// The log lines written to the captured standard output Out and the calls
// recorded meanwhile, as one sequence in the order they happened: each call
// comes after the lines that were written before it.
std::vector<std::string> timeline(const std::string& Out) {
    std::vector<std::string> Events;
    size_t Placed = 0;
    auto place_lines_to = [&](size_t End) {
        while (Placed < End) {
            size_t Eol = Out.find('\n', Placed);
            if (Eol == std::string::npos) Eol = Out.size();
            Events.push_back(Out.substr(Placed, Eol - Placed));
            Placed = Eol + 1;
        }
    };
    for (const gl_call& C : gl_calls) {
        place_lines_to(std::min(size_t(std::max(C.stdout_bytes, 0L)), Out.size()));
        Events.push_back(C.text);
    }
    place_lines_to(Out.size());
    return Events;
}

// Runs Action with standard output captured and gives what it logged and
// called, in order.
template <typename F>
std::vector<std::string> timeline_of(F Action) {
    gl_record_reset();
    testing::internal::CaptureStdout();
    Action();
    return timeline(testing::internal::GetCapturedStdout());
}

// Each case opens its own window: screen_open allows one at a time, so the
// window goes (and the globals are reset) between cases.
class Display : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
    // SDL stays up to the end: shutting it down unloads the GL driver, whose
    // leftover allocations would then have no module to be told apart by.

    void SetUp() override { gl_record_reset(); }
    void TearDown() override {
        SDL_GL_ResetAttributes();
        if (gl_context) SDL_GL_DeleteContext(gl_context);
        if (screen_window) SDL_DestroyWindow(screen_window);
        gl_context = nullptr;
        screen_window = nullptr;
        is_fullscreen = false;
        quit_flag = false;
        stand_in = sdl_stand_in();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    // Runs screen_open and gives its result and the log lines it wrote.
    int open(int W, int H, bool Fullscreen, bool Resizable, std::vector<std::string>& Lines) {
        testing::internal::CaptureStdout();
        const int Result = screen_open(W, H, Fullscreen, Resizable);
        Lines = split_lines(testing::internal::GetCapturedStdout());
        return Result;
    }

    static std::vector<std::string> logged_by(void (*Action)()) {
        testing::internal::CaptureStdout();
        Action();
        return split_lines(testing::internal::GetCapturedStdout());
    }
};

// The recorded calls whose name is Name, as text.
std::vector<std::string> texts_named(const std::string& Name) {
    std::vector<std::string> Texts;
    for (const gl_call& C : gl_calls_named(Name)) Texts.push_back(C.text);
    return Texts;
}

// The recorded GL calls, without the SDL calls noted among them.
std::vector<std::string> gl_only_texts() {
    std::vector<std::string> Texts;
    for (const std::string& T : gl_call_texts())
        if (T.rfind("gl", 0) == 0) Texts.push_back(T);
    return Texts;
}

}  // namespace

TEST_F(Display, OpensTheDefaultWindowWithItsLogLinesAndGlState) {
    int Result = -1;
    const std::vector<std::string> Events =
        timeline_of([&] { Result = screen_open(800, 600, false, false); });
    ASSERT_EQ(Result, 0);
    EXPECT_EQ(Events, (std::vector<std::string>{
                          "- screen open: want BPP is 32",
                          "- screen open: setting GL color sizes attributes",
                          "SDL_GL_SetAttribute(RED_SIZE,8)",
                          "SDL_GL_SetAttribute(GREEN_SIZE,8)",
                          "SDL_GL_SetAttribute(BLUE_SIZE,8)",
                          "SDL_GL_SetAttribute(DOUBLEBUFFER,1)",
                          "SDL_GL_SetAttribute(STENCIL_SIZE,0)",
                          "SDL_GL_SetAttribute(DEPTH_SIZE,16)",
                          "- screen open: setting video mode",
                          "- screen open: setting to windowed 800x600",
                          "SDL_CreateWindow(Loading...,0x2FFF0000,0x2FFF0000,800,600,0x00000006)",
                          "glLightModeli(0x0B51,1)",
                          "glBlendFunc(0x0302,0x0303)",
                          "glEnable(0x0BE2)",
                          "glMatrixMode(0x1701)",
                          "glLoadIdentity()",
                          "gluOrtho2D(-400,400,-300,300)",
                          "glMatrixMode(0x1700)",
                          "glEnable(0x0B71)",
                          "glDepthFunc(0x0203)",
                          "glShadeModel(0x1D01)",
                          "glEnable(0x0BC0)",
                          "glAlphaFunc(0x0204,0)",
                          "glViewport(0,0,800,600)",
                          "- refresh screen viewport: now 800x600, viewport 800x600",
                      }));

    ASSERT_NE(screen_window, nullptr);
    EXPECT_NE(gl_context, nullptr);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), gl_context);
    EXPECT_FALSE(is_fullscreen);
    EXPECT_STREQ(SDL_GetWindowTitle(screen_window), "Loading...");
    int W = 0, H = 0, X = 0, Y = 0;
    SDL_GetWindowSize(screen_window, &W, &H);
    EXPECT_EQ(W, 800);
    EXPECT_EQ(H, 600);
    // Centred on the 1280x1024 virtual screen.
    SDL_GetWindowPosition(screen_window, &X, &Y);
    EXPECT_EQ(X, (1280 - 800) / 2);
    EXPECT_EQ(Y, (1024 - 600) / 2);
    const Uint32 Flags = SDL_GetWindowFlags(screen_window);
    EXPECT_TRUE(Flags & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(Flags & SDL_WINDOW_SHOWN);
    EXPECT_FALSE(Flags & SDL_WINDOW_RESIZABLE);
    EXPECT_FALSE(Flags & SDL_WINDOW_FULLSCREEN);
}

TEST_F(Display, WindowedSizesAndTheDefaultResolution) {
    struct open_case {
        int w, h;
        bool resizable;
        const char* mode_line;
        const char* create;
        int want_w, want_h;
    };
    const open_case Cases[] = {
        {1024, 768, false, "- screen open: setting to windowed 1024x768",
         "SDL_CreateWindow(Loading...,0x2FFF0000,0x2FFF0000,1024,768,0x00000006)", 1024, 768},
        {640, 480, true, "- screen open: setting to windowed 640x480",
         "SDL_CreateWindow(Loading...,0x2FFF0000,0x2FFF0000,640,480,0x00000026)", 640, 480},
        {0, 0, false,
         "- screen open: 0 for screen w or h, setting to default windowed resolution 800x600",
         "SDL_CreateWindow(Loading...,0x2FFF0000,0x2FFF0000,800,600,0x00000006)", 800, 600},
        {1024, 0, true,
         "- screen open: 0 for screen w or h, setting to default windowed resolution 800x600",
         "SDL_CreateWindow(Loading...,0x2FFF0000,0x2FFF0000,800,600,0x00000026)", 800, 600},
    };
    for (const open_case& C : Cases) {
        SCOPED_TRACE(C.mode_line);
        std::vector<std::string> Lines;
        gl_record_reset();
        ASSERT_EQ(open(C.w, C.h, false, C.resizable, Lines), 0);
        ASSERT_EQ(Lines.size(), 5u);
        EXPECT_EQ(Lines[3], C.mode_line);
        EXPECT_EQ(texts_named("SDL_CreateWindow"), std::vector<std::string>{C.create});
        int W = 0, H = 0;
        SDL_GetWindowSize(screen_window, &W, &H);
        EXPECT_EQ(W, C.want_w);
        EXPECT_EQ(H, C.want_h);
        const Uint32 Flags = SDL_GetWindowFlags(screen_window);
        EXPECT_EQ(bool(Flags & SDL_WINDOW_RESIZABLE), C.resizable);
        EXPECT_FALSE(Flags & SDL_WINDOW_FULLSCREEN);
        TearDown();
    }
}

TEST_F(Display, FullscreenRequestsTakeTheirModes) {
    // Fullscreen windows are not placed: the position is left to SDL.
    struct open_case {
        int w, h;
        bool resizable;
        const char* mode_line;
        const char* create;
        Uint32 fullscreen_flags;
    };
    const open_case Cases[] = {
        {1280, 1024, false, "- screen open: setting to fullscreen 1280x1024",
         "SDL_CreateWindow(Loading...,0x1FFF0000,0x1FFF0000,1280,1024,0x00000007)",
         SDL_WINDOW_FULLSCREEN},
        // One zero size is enough for the desktop resolution.
        {1024, 0, false, "- screen open: setting to fullscreen desktop resolution",
         "SDL_CreateWindow(Loading...,0x1FFF0000,0x1FFF0000,800,600,0x00001007)",
         SDL_WINDOW_FULLSCREEN_DESKTOP},
        {0, 0, true, "- screen open: setting to fullscreen desktop resolution",
         "SDL_CreateWindow(Loading...,0x1FFF0000,0x1FFF0000,800,600,0x00001027)",
         SDL_WINDOW_FULLSCREEN_DESKTOP},
    };
    for (const open_case& C : Cases) {
        SCOPED_TRACE(C.mode_line);
        std::vector<std::string> Lines;
        gl_record_reset();
        ASSERT_EQ(open(C.w, C.h, true, C.resizable, Lines), 0);
        ASSERT_EQ(Lines.size(), 5u);
        EXPECT_EQ(Lines[3], C.mode_line);
        EXPECT_EQ(texts_named("SDL_CreateWindow"), std::vector<std::string>{C.create});
        EXPECT_TRUE(is_fullscreen);
        const Uint32 Flags = SDL_GetWindowFlags(screen_window);
        EXPECT_EQ(Flags & SDL_WINDOW_FULLSCREEN_DESKTOP, C.fullscreen_flags);
        EXPECT_EQ(bool(Flags & SDL_WINDOW_RESIZABLE), C.resizable);
        TearDown();
    }
}

TEST_F(Display, ViewportKeepsTheWorldAtFourByThree) {
    std::vector<std::string> Lines;
    ASSERT_EQ(open(800, 600, false, false, Lines), 0);
    struct viewport_case {
        int w, h;
        const char* viewport;
    };
    const viewport_case Cases[] = {
        {800, 600, "glViewport(0,0,800,600)"},     {1024, 768, "glViewport(0,0,1024,768)"},
        {801, 600, "glViewport(0,0,801,600)"},     {1280, 1024, "glViewport(0,32,1280,960)"},
        {600, 800, "glViewport(0,175,600,450)"},   {1280, 800, "glViewport(0,-80,1280,960)"},
        {1920, 1200, "glViewport(0,-120,1920,1440)"}, {999, 600, "glViewport(0,-74,999,749)"},
        {1000, 600, "glViewport(100,0,800,600)"},  {1366, 768, "glViewport(171,0,1024,768)"},
        {1920, 1080, "glViewport(240,0,1440,1080)"},
    };
    for (const viewport_case& C : Cases) {
        SCOPED_TRACE(C.viewport);
        SDL_SetWindowSize(screen_window, C.w, C.h);
        const std::vector<std::string> Events = timeline_of(refresh_gl_viewport_from_window_size);
        ASSERT_EQ(gl_calls.size(), 1u);
        // The viewport is set, then logged: the window size, then the
        // viewport size; the offsets are not logged.
        const gl_call& V = gl_calls[0];
        std::ostringstream Logged;
        Logged << "- refresh screen viewport: now " << C.w << "x" << C.h << ", viewport "
               << V.args[2] << "x" << V.args[3];
        EXPECT_EQ(Events, (std::vector<std::string>{C.viewport, Logged.str()}));
    }
}

TEST_F(Display, NoWindowMeansNoViewportAndAWarning) {
    ASSERT_EQ(screen_window, nullptr);
    const std::vector<std::string> Lines = logged_by(refresh_gl_viewport_from_window_size);
    EXPECT_TRUE(gl_calls.empty());
    EXPECT_EQ(Lines, std::vector<std::string>{
                         "! refresh screen viewport warning: window size 0x0, viewport left as it was"});
}

TEST_F(Display, TwoTogglesComeBackWindowed) {
    std::vector<std::string> Lines;
    ASSERT_EQ(open(800, 600, false, false, Lines), 0);

    // Real-mode fullscreen (a mode change), not the desktop kind, whose flag
    // also holds the fullscreen bit.
    struct toggle_case {
        const char* set_call;
        const char* line;
        Uint32 fullscreen_flags;
    };
    const toggle_case Toggles[] = {
        {"SDL_SetWindowFullscreen(0x00000001)", "- toggle fullscreen: now fullscreen",
         SDL_WINDOW_FULLSCREEN},
        {"SDL_SetWindowFullscreen(0x00000000)", "- toggle fullscreen: now windowed", 0},
    };
    for (const toggle_case& T : Toggles) {
        SCOPED_TRACE(T.line);
        const std::vector<std::string> Events = timeline_of(toggle_fullscreen);
        EXPECT_EQ(is_fullscreen, T.fullscreen_flags != 0);
        ASSERT_EQ(Events.size(), 4u);
        EXPECT_EQ(Events[0], T.set_call);
        EXPECT_EQ(Events[1], T.line);
        EXPECT_EQ(Events[2].rfind("glViewport(", 0), 0u) << Events[2];
        EXPECT_EQ(Events[3].rfind("- refresh screen viewport: now ", 0), 0u) << Events[3];
        EXPECT_EQ(SDL_GetWindowFlags(screen_window) & SDL_WINDOW_FULLSCREEN_DESKTOP,
                  T.fullscreen_flags);
    }
}

TEST_F(Display, WindowThatCannotBeCreatedLeavesNoWindowAndNoGlCalls) {
    std::vector<std::string> Lines;
    // SDL refuses windows past 16384 pixels.
    EXPECT_EQ(open(20000, 600, false, false, Lines), -1);
    ASSERT_EQ(Lines.size(), 5u);
    EXPECT_EQ(Lines[4].rfind("* screen open: couldn't set GL mode; ", 0), 0u) << Lines[4];
    EXPECT_GT(Lines[4].size(), std::string("* screen open: couldn't set GL mode; ").size());
    EXPECT_EQ(screen_window, nullptr);
    EXPECT_EQ(gl_context, nullptr);
    EXPECT_FALSE(is_fullscreen);
    EXPECT_EQ(gl_only_texts(), std::vector<std::string>{});

    // The display stays usable: a later open succeeds.
    EXPECT_EQ(open(800, 600, false, false, Lines), 0);
}

TEST_F(Display, ContextThatCannotBeCreatedFailsTheOpenWithoutGlCalls) {
    // A core context of a version no driver has.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 99);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    std::vector<std::string> Lines;
    EXPECT_EQ(open(0, 0, true, false, Lines), -1);
    ASSERT_EQ(Lines.size(), 5u);
    EXPECT_EQ(Lines[4].rfind("* screen open: couldn't create GL context; ", 0), 0u) << Lines[4];
    EXPECT_GT(Lines[4].size(), std::string("* screen open: couldn't create GL context; ").size());
    EXPECT_EQ(screen_window, nullptr);
    EXPECT_EQ(gl_context, nullptr);
    EXPECT_FALSE(is_fullscreen);
    EXPECT_EQ(gl_only_texts(), std::vector<std::string>{});
}

TEST_F(Display, SecondOpenLogsAndAbortsInEveryBuild) {
    std::vector<std::string> Lines;
    ASSERT_EQ(open(800, 600, false, false, Lines), 0);
    const scratch_dir Dir;
    die_init("trace.txt");
    // A forked child without exec shares our captured standard output and
    // the trace file; it must stop before it touches our X connection.
    GTEST_FLAG_SET(death_test_style, "fast");
    testing::internal::CaptureStdout();
    EXPECT_EXIT(screen_open(800, 600, false, false), testing::KilledBySignal(SIGABRT), "");
    const std::string Out = testing::internal::GetCapturedStdout();
    TRACE_FILE.close();
    EXPECT_EQ(Out, "* screen open fatal: a window is already open\n");
    EXPECT_EQ(read_file("trace.txt"), Out);
}

namespace {

// The frame loop on a real window with a small game: no library scripts and
// no font (those only log warnings). The script logs each step and each key
// it is given, so they take their place among the host's calls, and it
// draws one colour, so each render shows as one glColor4d.
class FrameLoop : public Display {
protected:
    void SetUp() override {
        Display::SetUp();
        sdl_key_names_init();
        std::vector<std::string> Lines;
        ASSERT_EQ(open(800, 600, false, false, Lines), 0);
    }

    // QuitOnPass: the pass whose update calls game_quit.
    std::vector<std::string> run(int QuitOnPass) {
        write_file("game/main.lua",
                   "local Pass = 0\n"
                   "render_list = {{'rgba', 0.25, 0.5, 0.75, 1}}\n"
                   "function update(T)\n"
                   "  Pass = Pass + 1\n"
                   "  WARN('update ' .. string.format('%.17g', T))\n"
                   "  if Pass == " + std::to_string(QuitOnPass) + " then game_quit() end\n"
                   "end\n"
                   "function keypress(Name) WARN('keypress ' .. Name) end\n");
        ref<game> G = mkref(new game());
        testing::internal::CaptureStdout();
        G->init();
        testing::internal::GetCapturedStdout();
        stand_in.fake_clock = true;
        // Just short of the counter's wrap, so the passes cross it.
        stand_in.now = 0xFFFFFFE0u;
        return timeline_of([&] { run_frame_loop(G, stand_in.now); });
    }

    const scratch_dir Dir;
};

const char* const RENDERED = "glColor4d(0.25,0.5,0.75,1)";

SDL_Event key_event(Uint32 Type, SDL_Scancode Code, SDL_Keycode Sym, Uint8 Repeat = 0) {
    SDL_Event E = {};
    E.key.type = Type;
    E.key.state = Type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    E.key.repeat = Repeat;
    E.key.keysym.scancode = Code;
    E.key.keysym.sym = Sym;
    return E;
}

// The timeline without GL calls and viewport lines: steps, keys, sleeps,
// swaps and toggles.
std::vector<std::string> without_drawing(const std::vector<std::string>& Events) {
    std::vector<std::string> Kept;
    for (const std::string& E : Events)
        if (E.rfind("gl", 0) != 0 && E.rfind("- refresh screen viewport", 0) != 0)
            Kept.push_back(E);
    return Kept;
}

}  // namespace

TEST_F(FrameLoop, PassesComeInPairsWithAConstantStep) {
    // Each pass compares against the tick read at the start of the pass
    // before, ahead of that pass's sleep: after a sleep the next pass finds
    // the time already gone and does not sleep. Pass 4 works 25 ms, so pass 5
    // is late and does not sleep either.
    stand_in.work_ms = {3, 3, 3, 25, 3, 3, 3};
    const Uint32 Sleeps[] = {20, 0, 17, 0, 0, 17, 0};
    const std::vector<std::string> Events = run(7);

    std::vector<std::string> Expected;
    for (Uint32 Sleep : Sleeps) {
        if (Sleep) Expected.push_back("SDL_Delay(" + std::to_string(Sleep) + ")");
        Expected.insert(Expected.end(), {"! update 0.02", RENDERED, "SDL_GL_SwapWindow()",
                                         "glClearColor(0,0,0,0)", "glClear(0x4100)"});
    }
    // The pass that called game_quit still rendered, swapped and cleared; then
    // the loop ended.
    EXPECT_EQ(Events, Expected);
}

TEST_F(FrameLoop, EveryKeyDownReachesTheScriptAndEachWayOfQuittingEndsThatPass) {
    const SDL_Event A = key_event(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a);
    const SDL_Event ARepeat = key_event(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a, 1);
    const SDL_Event AUp = key_event(SDL_KEYUP, SDL_SCANCODE_A, SDLK_a);
    const SDL_Event F11 = key_event(SDL_KEYDOWN, SDL_SCANCODE_F11, SDLK_F11);
    const SDL_Event F12 = key_event(SDL_KEYDOWN, SDL_SCANCODE_F12, SDLK_F12);
    const SDL_Event B = key_event(SDL_KEYDOWN, SDL_SCANCODE_B, SDLK_b);
    SDL_Event Close = {};
    Close.type = SDL_QUIT;

    // Each way ends the loop after pass 2; the script's game_quit at pass 5
    // only keeps a loop that missed F12 or the close request from running on.
    struct quit_case {
        const char* name;
        int quit_on_pass;
        std::vector<SDL_Event> pass_2_events;
    };
    const quit_case Cases[] = {
        {"game_quit", 2, {B}},
        {"F12", 5, {F12, B}},
        {"close request", 5, {Close, B}},
    };
    for (const quit_case& C : Cases) {
        SCOPED_TRACE(C.name);
        stand_in.events_at_swap = {{A, ARepeat, AUp, F11}, C.pass_2_events};
        const std::vector<std::string> Events = run(C.quit_on_pass);
        // The events of a pass are handled after its frame is shown; the
        // drain goes on to the end of the queue after the quit.
        EXPECT_EQ(without_drawing(Events),
                  (std::vector<std::string>{
                      "SDL_Delay(20)", "! update 0.02", "SDL_GL_SwapWindow()", "! keypress A",
                      "! keypress A", "SDL_SetWindowFullscreen(0x00000001)",
                      "- toggle fullscreen: now fullscreen", "! update 0.02",
                      "SDL_GL_SwapWindow()", "! keypress B"}));
        EXPECT_EQ(std::count(Events.begin(), Events.end(), RENDERED), 2);
        TearDown();
        SetUp();
    }
}

namespace {

// The whole program, its main renamed, in a scratch directory.
class Program : public Display {
protected:
    void TearDown() override {
        TRACE_FILE.close();
        if (script_state) lua_close(script_state);
        script_state = nullptr;
        Display::TearDown();
    }

    std::vector<std::string> run_main(int& Result) {
        return timeline_of([&] { Result = vireo_main(0, nullptr); });
    }

    const scratch_dir Dir;
};

}  // namespace

TEST_F(Program, SdlThatCannotStartEndsMainAtOnce) {
    stand_in.fail_init = true;
    int Result = 0;
    const std::vector<std::string> Events = run_main(Result);
    EXPECT_EQ(Result, -1);
    // Timer, video and joystick; nothing else is done after the failure.
    EXPECT_EQ(Events, (std::vector<std::string>{
                          "- vireo: game by Orlenk for Tindle #13",
                          "- main: initializing SDL",
                          "SDL_Init(0x00000221)",
                          "* main fatal: can't initialize SDL: no SDL in this test",
                      }));
    EXPECT_EQ(read_lines("trace.txt"), (std::vector<std::string>{
                                           "- vireo: game by Orlenk for Tindle #13",
                                           "- main: initializing SDL",
                                           "* main fatal: can't initialize SDL: no SDL in this test",
                                       }));
}

TEST_F(Program, DrawingIsFinishedBeforeSdlQuitsWhenThereIsAContext) {
    // game_quit during start-up: no pass runs, the program ends at once.
    write_file("game/main.lua", "game_quit()\n");
    for (const bool WindowOpens : {true, false}) {
        SCOPED_TRACE(WindowOpens ? "with a window" : "without a window");
        stand_in.fail_create_window = !WindowOpens;
        int Result = -1;
        const std::vector<std::string> Events = run_main(Result);
        EXPECT_EQ(Result, 0);
        ASSERT_GE(Events.size(), 4u);
        EXPECT_EQ(Events[2], "SDL_Init(0x00000221)");
        std::vector<std::string> End{"- main: closing world", "- main: quitting SDL"};
        if (WindowOpens) End.push_back("glFinish()");
        End.push_back("SDL_Quit()");
        EXPECT_EQ(std::vector<std::string>(Events.end() - End.size(), Events.end()), End);
        EXPECT_EQ(texts_named("SDL_GL_SwapWindow"), std::vector<std::string>{});
        if (WindowOpens) {
            EXPECT_STREQ(SDL_GetWindowTitle(screen_window), "Vireo");
        }
        TearDown();
        SetUp();
    }
}

TEST(FramePacing, WaitIsTheRestOfTheTwentyMilliseconds) {
    struct pacing_case {
        Uint32 ticks, new_ticks;
        int wait;
    };
    const pacing_case Cases[] = {
        {1000, 1000, 20},
        {1000, 1003, 17},
        {1000, 1020, 0},
        {1000, 1045, -25},
        // The millisecond counter wrapping past 32 bits changes nothing.
        {0xFFFFFFF0u, 0xFFFFFFF5u, 15},
        {0xFFFFFFF0u, 0x00000004u, 0},
        {0xFFFFFFFFu, 0x00000000u, 19},
        {0xFFFFFFFAu, 0x00000030u, -34},
    };
    for (const pacing_case& C : Cases)
        EXPECT_EQ(frame_wait_ticks(C.ticks, C.new_ticks), C.wait) << C.ticks << " -> " << C.new_ticks;
}

TEST(ScriptState, SpareStateHasTheStandardLibraries) {
    ASSERT_EQ(script_open(), 0);
    ASSERT_NE(script_state, nullptr);
    for (const char* Library : {"string", "table", "math", "io", "os", "debug", "coroutine"}) {
        lua_getglobal(script_state, Library);
        EXPECT_TRUE(lua_istable(script_state, -1)) << Library;
        lua_pop(script_state, 1);
    }
    EXPECT_EQ(lua_gettop(script_state), 0);
}
