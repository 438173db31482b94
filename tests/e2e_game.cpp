// Plays the shipped game: the built program runs on the virtual display in
// a scratch directory holding the game's scripts and images, and is driven
// with real key events while screenshots show what it draws.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "e2e_run.h"
#include "fixtures.h"

namespace fs = std::filesystem;

namespace {

std::string env_or_empty(const char* Name) {
    const char* V = std::getenv(Name);
    return V ? V : "";
}

void pause_ms(int Ms) { sleep_s(Ms / 1000.0); }

struct window_box {
    int X = 0, Y = 0, W = 0, H = 0;
};

// Finds the game's window once its title is "Vireo" (set after start-up).
bool find_window(std::string& Id, window_box& Box) {
    Id = shell("timeout 20 xdotool search --sync --onlyvisible --name '^Vireo$' 2>/dev/null | head -n 1");
    if (Id.empty()) return false;
    std::string Geometry = shell("xdotool getwindowgeometry --shell " + Id);
    auto field = [&](const std::string& Key) {
        size_t At = Geometry.find(Key + "=");
        return At == std::string::npos ? -1 : std::atoi(Geometry.c_str() + At + Key.size() + 1);
    };
    Box = {field("X"), field("Y"), field("WIDTH"), field("HEIGHT")};
    return Box.W > 0 && Box.H > 0;
}

void screenshot(const std::string& Path) {
    ASSERT_EQ(std::system(("import -window root " + Path).c_str()), 0);
}

// Fraction of the pixels in a rectangle of the window (window pixels, which
// are world units plus (400, 300) for the 800 by 600 window) close to Hex.
double colour_share(const std::string& Shot, const window_box& Box, int X, int Y, int W, int H,
                    const std::string& Hex) {
    char Crop[96];
    std::snprintf(Crop, sizeof Crop, "%dx%d+%d+%d", W, H, Box.X + X, Box.Y + Y);
    std::string Out = shell("convert " + Shot + " -crop " + Crop + " +repage -fuzz 6% -fill black +opaque '#" + Hex +
                            "' -fill white -opaque '#" + Hex + "' -colorspace gray -format '%[fx:mean]' info:");
    return Out.empty() ? -1 : std::atof(Out.c_str());
}

void xdo(const std::string& Args) { ASSERT_EQ(std::system(("xdotool " + Args).c_str()), 0) << Args; }

}  // namespace

TEST(GameE2E, TitleThenPlayThenF12EndsCleanly) {
    const std::string Binary = env_or_empty("VIREO_BINARY");
    const std::string Source = env_or_empty("VIREO_SOURCE_DIR");
    if (Binary.empty() || !fs::exists(Binary)) GTEST_SKIP() << "the game program is not built";
    ASSERT_FALSE(Source.empty());

    scratch_dir Dir;
    fs::create_directory_symlink(fs::path(Source) / "game", "game");
    fs::create_directory_symlink(fs::path(Source) / "data", "data");

    vireo_process Game;
    ASSERT_TRUE(Game.started());
    std::string Id;
    window_box Box;
    ASSERT_TRUE(find_window(Id, Box)) << "no window titled Vireo";
    EXPECT_EQ(Box.W, 800);
    EXPECT_EQ(Box.H, 600);
    xdo("mousemove --window " + Id + " 400 300");
    xdo("windowfocus --sync " + Id);
    pause_ms(1500);

    // Title: "VIREO" in cream, large, above the centre; none of that colour
    // in the open sky at the top left.
    screenshot("title.png");
    EXPECT_GT(colour_share("title.png", Box, 250, 70, 300, 82, "fff4d6"), 0.15);
    EXPECT_LT(colour_share("title.png", Box, 10, 10, 120, 40, "fff4d6"), 0.01);
    // The score bar is not there yet.
    EXPECT_LT(colour_share("title.png", Box, 12, 12, 80, 16, "b8c0c8"), 0.02);

    // Start the journey and fly about, keys held and released.
    xdo("key Return");
    pause_ms(600);
    xdo("keydown Up");
    pause_ms(700);
    xdo("keyup Up");
    xdo("keydown Right keydown Down");
    pause_ms(900);
    xdo("keyup Right keyup Down");
    xdo("key space");
    pause_ms(500);
    xdo("keydown Left");
    pause_ms(400);
    xdo("keyup Left");
    pause_ms(500);

    // In play the score bar shows its grey "SCORE" label at the top left.
    screenshot("play.png");
    EXPECT_GT(colour_share("play.png", Box, 12, 12, 80, 16, "b8c0c8"), 0.1);

    xdo("key F12");
    EXPECT_EQ(Game.wait_exit(15), 0);

    std::vector<std::string> Trace = read_lines("trace.txt");
    ASSERT_FALSE(Trace.empty());
    bool LoadedSprites = false;
    std::vector<std::string> Troubles;
    for (const std::string& Line : Trace) {
        if (!Line.empty() && (Line[0] == '!' || Line[0] == '*')) Troubles.push_back(Line);
        if (Line.find("data/bird_up.png") != std::string::npos) LoadedSprites = true;
    }
    std::string First;
    for (size_t I = 0; I < Troubles.size() && I < 6; ++I) First += "\n  " + Troubles[I];
    EXPECT_TRUE(Troubles.empty()) << Troubles.size() << " warning or error lines, first:" << First;
    EXPECT_TRUE(LoadedSprites);
    EXPECT_EQ(Trace.back(), "- main: quitting SDL");
}
