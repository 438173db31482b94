// The window and its GL state on a real OpenGL implementation (Mesa) on a
// virtual display.
#include "main.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"

namespace {

std::vector<GLint> current_viewport() {
    std::vector<GLint> V(4, -1);
    glGetIntegerv(GL_VIEWPORT, V.data());
    return V;
}

// One window for the whole suite, as in the game.
class RealWindow : public testing::Test {
protected:
    static std::vector<std::string> OpenLines;
    static int OpenResult;

    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        testing::internal::CaptureStdout();
        OpenResult = screen_open(800, 600, false, false);
        OpenLines = split_lines(testing::internal::GetCapturedStdout());
    }
};

std::vector<std::string> RealWindow::OpenLines;
int RealWindow::OpenResult = -2;

}  // namespace

TEST_F(RealWindow, OpensTitledWithItsLogLinesAndACurrentContext) {
    ASSERT_EQ(OpenResult, 0);
    EXPECT_EQ(OpenLines, (std::vector<std::string>{
                             "- screen open: want BPP is 32",
                             "- screen open: setting GL color sizes attributes",
                             "- screen open: setting video mode",
                             "- screen open: setting to windowed 800x600",
                             "- refresh screen viewport: now 800x600, viewport 800x600",
                         }));
    ASSERT_NE(screen_window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(screen_window), "Loading...");
    int W = 0, H = 0;
    SDL_GetWindowSize(screen_window, &W, &H);
    EXPECT_EQ(W, 800);
    EXPECT_EQ(H, 600);

    EXPECT_EQ(SDL_GL_GetCurrentContext(), gl_context);
    const GLubyte* Version = glGetString(GL_VERSION);
    ASSERT_NE(Version, nullptr);
    EXPECT_GT(std::string(reinterpret_cast<const char*>(Version)).size(), 0u);
    EXPECT_EQ(current_viewport(), (std::vector<GLint>{0, 0, 800, 600}));

    int DepthBits = 0;
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &DepthBits);
    EXPECT_GE(DepthBits, 16);
}

TEST_F(RealWindow, GlStateIsTheWorldBoxWithBlendingAndTests) {
    ASSERT_EQ(OpenResult, 0);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint Value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &Value);
    EXPECT_EQ(Value, GL_MODELVIEW);
    glGetIntegerv(GL_DEPTH_FUNC, &Value);
    EXPECT_EQ(Value, GL_LEQUAL);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &Value);
    EXPECT_EQ(Value, GL_GREATER);
    glGetIntegerv(GL_BLEND_SRC, &Value);
    EXPECT_EQ(Value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &Value);
    EXPECT_EQ(Value, GL_ONE_MINUS_SRC_ALPHA);

    // x from -400 to 400, y from -300 to 300, centred.
    GLfloat P[16];
    glGetFloatv(GL_PROJECTION_MATRIX, P);
    EXPECT_FLOAT_EQ(P[0], 1.0f / 400);
    EXPECT_FLOAT_EQ(P[5], 1.0f / 300);
    EXPECT_FLOAT_EQ(P[12], 0);
    EXPECT_FLOAT_EQ(P[13], 0);
}

TEST_F(RealWindow, WorldYPointsUp) {
    ASSERT_EQ(OpenResult, 0);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The upper right quarter of the world box, in red.
    glColor4f(1, 0, 0, 1);
    glBegin(GL_QUADS);
    glVertex3f(0, 0, 0);
    glVertex3f(400, 0, 0);
    glVertex3f(400, 300, 0);
    glVertex3f(0, 300, 0);
    glEnd();
    glFinish();
    // glReadPixels counts rows from the bottom of the window.
    unsigned char UpperRight[4] = {}, LowerLeft[4] = {}, LowerRight[4] = {};
    glReadPixels(600, 450, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, UpperRight);
    glReadPixels(200, 150, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, LowerLeft);
    glReadPixels(600, 150, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, LowerRight);
    EXPECT_EQ(UpperRight[0], 255);
    EXPECT_EQ(UpperRight[1], 0);
    EXPECT_EQ(LowerLeft[0], 0);
    EXPECT_EQ(LowerRight[0], 0);
}

TEST_F(RealWindow, ViewportFollowsTheWindowOnRealGl) {
    ASSERT_EQ(OpenResult, 0);
    struct viewport_case {
        int w, h;
        std::vector<GLint> viewport;
    };
    const viewport_case Cases[] = {
        {1000, 600, {100, 0, 800, 600}},
        {1280, 800, {0, -80, 1280, 960}},
        {800, 600, {0, 0, 800, 600}},
    };
    for (const viewport_case& C : Cases) {
        SDL_SetWindowSize(screen_window, C.w, C.h);
        testing::internal::CaptureStdout();
        refresh_gl_viewport_from_window_size();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(current_viewport(), C.viewport) << C.w << "x" << C.h;
    }
}
