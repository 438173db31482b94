// The built game, run as a program in a scratch directory holding small test
// scripts, driven from outside like a player would: keys through xdotool,
// the window's close request, screenshots of what it draws.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "display_x11.h"
#include "e2e_run.h"
#include "fixtures.h"

namespace {

bool file_has(const std::string& Path, const std::string& Text) {
    return read_file(Path) == Text;
}

// The id of the game's window once it carries the game's title, or "".
std::string find_game_window() {
    return shell("timeout 20 xdotool search --sync --name '^Vireo$' 2>/dev/null | head -n 1");
}

// Real key events (XTEST) into the focused game window.
void send_keys(const std::string& Window, const std::string& XdotoolArgs) {
    ASSERT_EQ(std::system(("xdotool windowfocus --sync " + Window + " " + XdotoolArgs).c_str()), 0);
}

struct rgb {
    int r, g, b;
};

// A screenshot of the window, as rows of RGB pixels.
class screenshot {
public:
    explicit screenshot(const std::string& Window) {
        if (std::system(("import -window " + Window + " shot.png").c_str()) != 0) return;
        SDL_Surface* Loaded = IMG_Load("shot.png");
        if (!Loaded) return;
        Surface = SDL_ConvertSurfaceFormat(Loaded, SDL_PIXELFORMAT_RGBA32, 0);
        SDL_FreeSurface(Loaded);
    }
    ~screenshot() {
        if (Surface) SDL_FreeSurface(Surface);
    }
    screenshot(const screenshot&) = delete;
    screenshot& operator=(const screenshot&) = delete;

    bool ok() const { return Surface != nullptr; }
    int w() const { return Surface->w; }
    int h() const { return Surface->h; }
    // X from the left, Y from the top of the window.
    rgb at(int X, int Y) const {
        const unsigned char* P =
            static_cast<const unsigned char*>(Surface->pixels) + Y * Surface->pitch + X * 4;
        return {P[0], P[1], P[2]};
    }

private:
    SDL_Surface* Surface = nullptr;
};

testing::AssertionResult looks_like(const rgb& Got, const rgb& Want) {
    const int Tolerance = 8;
    if (std::abs(Got.r - Want.r) <= Tolerance && std::abs(Got.g - Want.g) <= Tolerance &&
        std::abs(Got.b - Want.b) <= Tolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "pixel (" << Got.r << "," << Got.g << "," << Got.b
                                       << "), wanted (" << Want.r << "," << Want.g << ","
                                       << Want.b << ")";
}

const std::vector<std::string> STARTUP_LINES = {
    "- vireo: game by Orlenk for Tindle #13",
    "- main: initializing SDL",
    "- screen open: want BPP is 32",
    "- screen open: setting GL color sizes attributes",
    "- screen open: setting video mode",
    "- screen open: setting to windowed 800x600",
    "- refresh screen viewport: now 800x600, viewport 800x600",
};
const std::vector<std::string> SHUTDOWN_LINES = {
    "- main: closing world",
    "- main: quitting SDL",
};

// Helpers every test script may use.
const char* const SCRIPT_PRELUDE = R"(
function append(Path, Text)
  local F = io.open(Path, "a"); F:write(Text, "\n"); F:close()
end
-- Whole or not at all, so a reader never sees a half-written file.
function overwrite(Path, Text)
  local F = io.open(Path .. ".tmp", "w"); F:write(Text); F:close()
  os.rename(Path .. ".tmp", Path)
end
render_list = {{"camera", 0, 0}, {"none"}}
)";

// A game directory: the six libraries, a font of one glyph on an 8x8 white
// sheet, and main.lua = the prelude + MainScript.
void write_game(const std::string& MainScript) {
    for (const char* Lib : {"std", "rn", "debug", "class", "matrix", "color"})
        write_file(std::string("game/lib/") + Lib + ".lua", std::string("-- ") + Lib + "\n");
    ASSERT_TRUE(write_png("fontsheet.png", 8, 8, 4, std::vector<unsigned char>(8 * 8 * 4, 255)));
    write_file("game/font.lua",
               "font = { texture = 'fontsheet.png', pixelsize = 8,\n"
               "  glyph_65 = { size_x = 1, size_y = 1, advance = 1 } }\n");
    write_file("game/main.lua", std::string(SCRIPT_PRELUDE) + MainScript);
}

// The lines of the trace that start with Mark.
std::vector<std::string> marked(const std::vector<std::string>& Lines, char Mark) {
    std::vector<std::string> Found;
    for (const std::string& L : Lines)
        if (!L.empty() && L[0] == Mark) Found.push_back(L);
    return Found;
}

std::vector<std::string> head(const std::vector<std::string>& Lines, size_t N) {
    return {Lines.begin(), Lines.begin() + std::min(N, Lines.size())};
}
std::vector<std::string> tail(const std::vector<std::string>& Lines, size_t N) {
    return {Lines.end() - std::min(N, Lines.size()), Lines.end()};
}

// The trace must show an orderly start and end, and stdout the same.
void expect_orderly_run(const std::vector<std::string>& Trace) {
    EXPECT_EQ(head(Trace, STARTUP_LINES.size()), STARTUP_LINES);
    EXPECT_EQ(tail(Trace, SHUTDOWN_LINES.size()), SHUTDOWN_LINES);
    EXPECT_EQ(marked(Trace, '*'), std::vector<std::string>{});
    EXPECT_EQ(read_file("stdout.txt"), read_file("trace.txt"));
}

class Host : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("VIREO_BINARY")) GTEST_SKIP() << "VIREO_BINARY is not set";
    }
    scratch_dir Dir;
};

}  // namespace

TEST_F(Host, QuitDuringStartUpRunsNoPassAndShutsDownInOrder) {
    write_game(R"(
function update(T) append("updates.txt", T) end
game_quit()
)");
    vireo_process Game;
    ASSERT_TRUE(Game.started());
    EXPECT_EQ(Game.wait_exit(), 0) << read_file("stderr.txt");
    const std::vector<std::string> Trace = read_lines("trace.txt");
    expect_orderly_run(Trace);
    EXPECT_EQ(marked(Trace, '!'), std::vector<std::string>{});
    EXPECT_EQ(read_file("updates.txt"), "");
}

TEST_F(Host, SdlThatCannotStartEndsAtOnceWithMinusOne) {
    write_game("");
    vireo_process Game({"SDL_VIDEODRIVER=no-such-driver"});
    ASSERT_TRUE(Game.started());
    EXPECT_EQ(Game.wait_exit(), 255) << read_file("stderr.txt");
    const std::vector<std::string> Trace = read_lines("trace.txt");
    ASSERT_EQ(Trace.size(), 3u);
    EXPECT_EQ(head(Trace, 2), head(STARTUP_LINES, 2));
    EXPECT_EQ(Trace[2].rfind("* main fatal: can't initialize SDL: ", 0), 0u) << Trace[2];
    EXPECT_GT(Trace[2].size(), std::string("* main fatal: can't initialize SDL: ").size());
    EXPECT_EQ(read_file("stdout.txt"), read_file("trace.txt"));
}

TEST_F(Host, KeysReachTheScriptByNameAndF11F12StayWithTheHost) {
    write_game(R"(
function update(T) end
function keypress(Name) append("keys.txt", Name) end
)");
    vireo_process Game;
    ASSERT_TRUE(Game.started());
    const std::string Window = find_game_window();
    ASSERT_FALSE(Window.empty());
    EXPECT_EQ(shell("xdotool getwindowname " + Window), "Vireo");

    send_keys(Window, "key --delay 30 a Return space 1 Left F11");
    ASSERT_TRUE(wait_until([] { return file_has("keys.txt", "A\nRETURN\nSPACE\n1\nLEFT\n"); }))
        << read_file("keys.txt");
    send_keys(Window, "key --delay 30 F11 slash F12");
    EXPECT_EQ(Game.wait_exit(), 0) << read_file("stderr.txt");

    EXPECT_EQ(read_file("keys.txt"), "A\nRETURN\nSPACE\n1\nLEFT\nSLASH\n");
    const std::vector<std::string> Trace = read_lines("trace.txt");
    expect_orderly_run(Trace);
    std::vector<std::string> Toggles;
    for (size_t I = 0; I < Trace.size(); ++I) {
        if (Trace[I].rfind("- toggle fullscreen: now ", 0) != 0) continue;
        Toggles.push_back(Trace[I]);
        ASSERT_LT(I + 1, Trace.size());
        EXPECT_EQ(Trace[I + 1].rfind("- refresh screen viewport: now ", 0), 0u) << Trace[I + 1];
    }
    EXPECT_EQ(Toggles, (std::vector<std::string>{"- toggle fullscreen: now fullscreen",
                                                 "- toggle fullscreen: now windowed"}));
}

TEST_F(Host, HeldKeyIsInKeysDownUntilReleasedAndCloseRequestQuits) {
    write_game(R"(
local Was = false
function update(T)
  local Held = keys_down.SPACE
  if Held ~= nil and Held ~= true then append("held.txt", "bad value") end
  if keys_down.F12 or keys_down.B then append("held.txt", "unpressed key held") end
  if (Held == true) ~= Was then
    Was = Held == true
    append("held.txt", tostring(Was))
  end
end
function keypress(Name) append("keys.txt", Name) end
)");
    vireo_process Game;
    ASSERT_TRUE(Game.started());
    const std::string Window = find_game_window();
    ASSERT_FALSE(Window.empty());

    send_keys(Window, "keydown space");
    EXPECT_TRUE(wait_until([] { return file_has("held.txt", "true\n"); })) << read_file("held.txt");
    send_keys(Window, "keyup space");
    EXPECT_TRUE(wait_until([] { return file_has("held.txt", "true\nfalse\n"); }))
        << read_file("held.txt");
    EXPECT_EQ(read_lines("keys.txt").at(0), "SPACE");

    ASSERT_TRUE(x11_request_window_close(std::stoul(Window)));
    EXPECT_EQ(Game.wait_exit(), 0) << read_file("stderr.txt");
    expect_orderly_run(read_lines("trace.txt"));
}

TEST_F(Host, QuitFromUpdateStillRendersThatPass) {
    // render_list is served through the globals' metatable, so the script
    // sees every fetch the host makes.
    write_game(R"(
render_list = nil
local Updates, Renders = 0, 0
setmetatable(_G, { __index = function(T, K)
  if K == "render_list" then
    Renders = Renders + 1
    overwrite("renders.txt", tostring(Renders))
    return {"none"}
  end
end })
function update(T)
  Updates = Updates + 1
  append("steps.txt", tostring(T))
  if Updates == 3 then game_quit() end
end
)");
    vireo_process Game;
    ASSERT_TRUE(Game.started());
    EXPECT_EQ(Game.wait_exit(), 0) << read_file("stderr.txt");
    EXPECT_EQ(read_file("steps.txt"), "0.02\n0.02\n0.02\n");
    EXPECT_EQ(read_file("renders.txt"), "3");
    const std::vector<std::string> Trace = read_lines("trace.txt");
    expect_orderly_run(Trace);
    EXPECT_EQ(marked(Trace, '!'), std::vector<std::string>{});
}

TEST_F(Host, RunsAboutOneHundredPassesASecond) {
    write_game(R"(
local Passes = 0
function update(T)
  Passes = Passes + 1
  overwrite("passes.txt", tostring(Passes))
end
)");
    vireo_process Game;
    ASSERT_TRUE(Game.started());
    const std::string Window = find_game_window();
    ASSERT_FALSE(Window.empty());
    auto passes = [] { return std::atoi(read_file("passes.txt").c_str()); };
    ASSERT_TRUE(wait_until([&] { return passes() > 10; }));

    const auto Start = clock_type::now();
    const int First = passes();
    sleep_s(2.0);
    const int Last = passes();
    const double Seconds = std::chrono::duration<double>(clock_type::now() - Start).count();
    const double Rate = (Last - First) / Seconds;
    // Sleeping paces it to at most 100 a second, and a loaded machine runs
    // well short of that. The exact pacing (passes in pairs, one sleep per
    // pair, so a loop at half the rate fails) is pinned with a fake clock in
    // test_main; here only a loop that stalls or one that never sleeps
    // (several hundred a second) is caught.
    EXPECT_GE(Rate, 20) << Last - First << " passes in " << Seconds << " s";
    EXPECT_LE(Rate, 150) << Last - First << " passes in " << Seconds << " s";

    send_keys(Window, "key F12");
    EXPECT_EQ(Game.wait_exit(), 0) << read_file("stderr.txt");
}

TEST_F(Host, ScreenshotShowsTheSceneWhereTheCameraPutsIt) {
    // A 32x32 picture: green top left, red top right, blue bottom left,
    // white bottom right, so upside-down or mirrored drawing shows.
    std::vector<unsigned char> Pixels;
    for (int Y = 0; Y < 32; ++Y)
        for (int X = 0; X < 32; ++X) {
            const bool Top = Y < 16, Left = X < 16;
            const unsigned char R = Top ? (Left ? 0 : 255) : (Left ? 0 : 255);
            const unsigned char G = Top ? (Left ? 255 : 0) : (Left ? 0 : 255);
            const unsigned char B = Top ? 0 : 255;
            Pixels.insert(Pixels.end(), {R, G, B});
        }
    ASSERT_TRUE(write_png("data/quarters.png", 32, 32, 3, Pixels));
    write_game(R"(
local Picture = texture_load("quarters")
local Passes = 0
render_list = {
  {"camera", 0, 0},
  {"rgba", 1, 0, 0, 1},
  {"rect", 200, 150, 50, 50},
  {"rgba", 1, 1, 1, 1},
  {"translate", -200, 0, {"scale", 2, 2, {"picture", Picture}}},
}
function update(T)
  Passes = Passes + 1
  if Passes == 20 then overwrite("ready.txt", "ready") end
end
)");
    vireo_process Game;
    ASSERT_TRUE(Game.started());
    const std::string Window = find_game_window();
    ASSERT_FALSE(Window.empty());
    ASSERT_TRUE(wait_until([] { return file_has("ready.txt", "ready"); }))
        << read_file("ready.txt") << "\n" << read_file("trace.txt");

    const screenshot Shot(Window);
    ASSERT_TRUE(Shot.ok());
    ASSERT_EQ(Shot.w(), 800);
    ASSERT_EQ(Shot.h(), 600);
    // World (200, 150) under the y-down camera: 200 right of and 150 below
    // the window's centre.
    EXPECT_TRUE(looks_like(Shot.at(600, 450), {255, 0, 0}));
    EXPECT_TRUE(looks_like(Shot.at(600, 150), {0, 0, 0}));
    EXPECT_TRUE(looks_like(Shot.at(400, 300), {0, 0, 0}));
    // The picture, 64x64 on the screen around (200, 300), upright.
    EXPECT_TRUE(looks_like(Shot.at(184, 284), {0, 255, 0}));
    EXPECT_TRUE(looks_like(Shot.at(216, 284), {255, 0, 0}));
    EXPECT_TRUE(looks_like(Shot.at(184, 316), {0, 0, 255}));
    EXPECT_TRUE(looks_like(Shot.at(216, 316), {255, 255, 255}));
    EXPECT_TRUE(looks_like(Shot.at(200, 240), {0, 0, 0}));

    send_keys(Window, "key F12");
    EXPECT_EQ(Game.wait_exit(), 0) << read_file("stderr.txt");
    expect_orderly_run(read_lines("trace.txt"));
}

// The collector runs a script's finalizers wherever memory is taken, the
// host's own steps included (publishing "keys_down", fetching and walking
// the render list). Collecting all the time, with new garbage every pass
// whose metatable is Finalized, many finalizers land there.
const char* const COLLECT_ALWAYS = R"(
collectgarbage("setpause", 0)
local Passes = 0
function update(T)
  Passes = Passes + 1
  if Passes >= 200 then game_quit() end
  -- New numbers, so drawing them as text takes memory every pass.
  for _, C in pairs(render_list) do C[5] = Passes + math.random() end
  local Keep = {}
  for I = 1, Garbage do Keep[I] = setmetatable({}, Finalized) end
end
)";

using warning_pair = std::pair<std::string, std::string>;

// Runs the game on Setup and COLLECT_ALWAYS to its end, which must be
// orderly, and gives the trace's warnings, each a step's line and its
// message.
std::vector<warning_pair> run_collecting_always(const std::string& Setup) {
    write_game(Setup + COLLECT_ALWAYS);
    vireo_process Game;
    EXPECT_TRUE(Game.started());
    EXPECT_EQ(Game.wait_exit(60), 0) << read_file("stderr.txt");
    const std::vector<std::string> Trace = read_lines("trace.txt");
    expect_orderly_run(Trace);
    std::vector<warning_pair> Pairs;
    const std::vector<std::string> Warnings = marked(Trace, '!');
    for (size_t I = 0; I < Warnings.size(); ++I) {
        const bool Paired = I + 1 < Warnings.size() && Warnings[I + 1].rfind("! --- ", 0) == 0;
        EXPECT_TRUE(Paired) << Warnings[I];
        if (Paired) {
            Pairs.emplace_back(Warnings[I], Warnings[I + 1]);
            ++I;
        }
    }
    return Pairs;
}

TEST_F(Host, FinalizerThatRaisesIsLoggedWhereverItRunsAndTheGameGoesOn) {
    size_t HostSteps = 0;
    for (const auto& [Step, Message] : run_collecting_always(R"(
Finalized = {__gc = function() error("finalizer raised", 0) end}
Garbage = 20
render_list = {}
for I = 1, 50 do render_list[I] = {"text", 0, 0, 1, 0} end
)")) {
        EXPECT_EQ(Message, "! --- error in __gc metamethod (finalizer raised)");
        HostSteps += Step != "! game update warning: error calling update function";
    }
    EXPECT_GT(HostSteps, 0u) << "no finalizer ran in the host's own steps";
}

TEST_F(Host, FinalizerThatRebuildsTheListBeingWalkedIsLoggedAndTheGameGoesOn) {
    // The walk meets a rebuilt list in only some passes; each time that
    // pass's walk ends with its warning and the next pass draws again.
    for (const warning_pair& Pair : run_collecting_always(R"(
local Rebuilds = 0
local function rebuild()
  Rebuilds = Rebuilds + 1
  for K in pairs(render_list) do render_list[K] = nil end
  for I = 1, 100 do render_list["k" .. I .. "_" .. Rebuilds] = {"text", 0, 0, 1, 0} end
end
render_list = {}
rebuild()
Finalized = {__gc = rebuild}
Garbage = 50
)"))
        EXPECT_EQ(Pair, warning_pair("! game render warning: couldn't walk the render list",
                                     "! --- invalid key to 'next'"));
}
