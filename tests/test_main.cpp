// The window, its OpenGL context and the viewport, on a virtual display with
// real SDL windows; the GL calls go to the recording stand-in.
#include "main.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fixtures.h"
#include "gl_record.h"

namespace {

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

}  // namespace

TEST_F(Display, OpensTheDefaultWindowWithItsLogLinesAndGlState) {
    std::vector<std::string> Lines;
    ASSERT_EQ(open(800, 600, false, false, Lines), 0);

    EXPECT_EQ(Lines, (std::vector<std::string>{
                         "- screen open: want BPP is 32",
                         "- screen open: setting GL color sizes attributes",
                         "- screen open: setting video mode",
                         "- screen open: setting to windowed 800x600",
                         "- refresh screen viewport: now 800x600, viewport 800x600",
                     }));
    EXPECT_EQ(gl_call_texts(), (std::vector<std::string>{
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
        int want_w, want_h;
    };
    const open_case Cases[] = {
        {1024, 768, false, "- screen open: setting to windowed 1024x768", 1024, 768},
        {640, 480, true, "- screen open: setting to windowed 640x480", 640, 480},
        {0, 0, false,
         "- screen open: 0 for screen w or h, setting to default windowed resolution 800x600", 800,
         600},
        {1024, 0, true,
         "- screen open: 0 for screen w or h, setting to default windowed resolution 800x600", 800,
         600},
    };
    for (const open_case& C : Cases) {
        SCOPED_TRACE(C.mode_line);
        std::vector<std::string> Lines;
        ASSERT_EQ(open(C.w, C.h, false, C.resizable, Lines), 0);
        ASSERT_EQ(Lines.size(), 5u);
        EXPECT_EQ(Lines[3], C.mode_line);
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
    struct open_case {
        int w, h;
        bool resizable;
        const char* mode_line;
        Uint32 fullscreen_flags;
    };
    const open_case Cases[] = {
        {1280, 1024, false, "- screen open: setting to fullscreen 1280x1024", SDL_WINDOW_FULLSCREEN},
        // One zero size is enough for the desktop resolution.
        {1024, 0, false, "- screen open: setting to fullscreen desktop resolution",
         SDL_WINDOW_FULLSCREEN_DESKTOP},
        {0, 0, true, "- screen open: setting to fullscreen desktop resolution",
         SDL_WINDOW_FULLSCREEN_DESKTOP},
    };
    for (const open_case& C : Cases) {
        SCOPED_TRACE(C.mode_line);
        std::vector<std::string> Lines;
        ASSERT_EQ(open(C.w, C.h, true, C.resizable, Lines), 0);
        ASSERT_EQ(Lines.size(), 5u);
        EXPECT_EQ(Lines[3], C.mode_line);
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
        gl_record_reset();
        const std::vector<std::string> Lines = logged_by(refresh_gl_viewport_from_window_size);
        EXPECT_EQ(gl_call_texts(), std::vector<std::string>{C.viewport});
        // The window size, then the viewport size; the offsets are not logged.
        const gl_call& V = gl_calls.at(0);
        std::ostringstream Expected;
        Expected << "- refresh screen viewport: now " << C.w << "x" << C.h << ", viewport "
                 << V.args[2] << "x" << V.args[3];
        EXPECT_EQ(Lines, std::vector<std::string>{Expected.str()});
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

    gl_record_reset();
    Lines = logged_by(toggle_fullscreen);
    EXPECT_TRUE(is_fullscreen);
    ASSERT_EQ(Lines.size(), 2u);
    EXPECT_EQ(Lines[0], "- toggle fullscreen: now fullscreen");
    EXPECT_EQ(Lines[1].rfind("- refresh screen viewport: now ", 0), 0u) << Lines[1];
    EXPECT_TRUE(SDL_GetWindowFlags(screen_window) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(gl_calls_named("glViewport").size(), 1u);

    Lines = logged_by(toggle_fullscreen);
    EXPECT_FALSE(is_fullscreen);
    ASSERT_EQ(Lines.size(), 2u);
    EXPECT_EQ(Lines[0], "- toggle fullscreen: now windowed");
    EXPECT_EQ(Lines[1].rfind("- refresh screen viewport: now ", 0), 0u) << Lines[1];
    EXPECT_FALSE(SDL_GetWindowFlags(screen_window) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(gl_calls_named("glViewport").size(), 2u);
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
    EXPECT_TRUE(gl_calls.empty());

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
    EXPECT_TRUE(gl_calls.empty());
}

TEST_F(Display, SecondOpenIsAProgrammingError) {
#ifdef NDEBUG
    GTEST_SKIP() << "assertions are compiled out";
#endif
    // A fresh process for the death, so it shares no X connection with us.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    std::vector<std::string> Lines;
    ASSERT_EQ(open(800, 600, false, false, Lines), 0);
    EXPECT_DEATH(screen_open(800, 600, false, false), "0 == screen_window");
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
