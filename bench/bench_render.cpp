// The render-list interpreter's cost per command, against a bare lua_next
// walk over the same tables as the floor. OpenGL is the recording stand-in
// with recording off, so the figures are the host's own work.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_image.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "game.h"
#include "gl_record.h"

struct game_probe {
    static lua_State* state(game& G) { return G.L; }
};

namespace {

const int rect_pairs = 10000;
const int mixed_groups = 200;
const int mixed_commands_per_group = 7;

void make_parent(const std::string& Path) {
    std::filesystem::path Parent = std::filesystem::path(Path).parent_path();
    if (!Parent.empty()) std::filesystem::create_directories(Parent);
}

void write_text(const std::string& Path, const std::string& Text) {
    make_parent(Path);
    std::ofstream(Path) << Text;
}

void write_png(const std::string& Path, int W, int H) {
    make_parent(Path);
    SDL_Surface* S = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGBA32);
    for (int y = 0; y < H; ++y) {
        unsigned char* Row = static_cast<unsigned char*>(S->pixels) + y * S->pitch;
        for (int x = 0; x < W * 4; ++x) Row[x] = static_cast<unsigned char>(x * 37 + y * 11);
    }
    IMG_SavePNG(S, Path.c_str());
    SDL_FreeSurface(S);
}

const char* const main_script = R"(
rects = {}
for i = 1, 10000 do
  rects[#rects + 1] = {'rgba', (i % 7) / 7, (i % 5) / 5, (i % 3) / 3, 1}
  rects[#rects + 1] = {'rect', i % 400 - 200, i % 300 - 150, 5, 3}
end
local pic = texture_load('pic')
mixed = {}
for i = 1, 200 do
  mixed[#mixed + 1] = {'text', -300, i % 300, 1, 'AAAA'}
  mixed[#mixed + 1] = {'centertext', 0, i % 300, 2, 'AA'}
  mixed[#mixed + 1] = {'translate', i % 100, 0, {'picture', pic}}
  mixed[#mixed + 1] = {'circarc', 0, 0, 100, 0, 2 * math.pi, 1}
  mixed[#mixed + 1] = {'dashline', 0, 0, 100, 0, 1, 10, 5}
  mixed[#mixed + 1] = {'terrain', -100, 50, 200, 'swatch.png', i}
end
render_list = rects
)";

// One game for every benchmark, its files written to a temporary directory
// that goes once everything is loaded.
game& bench_game() {
    static game* G = nullptr;
    if (G) return *G;
    gl_record_enabled = false;
    char Template[] = "/tmp/vireo-bench-XXXXXX";
    std::string Dir = mkdtemp(Template);
    std::string OldCwd = std::filesystem::current_path();
    std::filesystem::current_path(Dir);
    for (const char* Lib : {"std", "rn", "debug", "class", "matrix", "color"})
        write_text(std::string("game/lib/") + Lib + ".lua", "");
    write_text("game/font.lua",
               "font = { texture = 'font.png', pixelsize = 16, glyph_65 = { bearing_y = 0.5,\n"
               "  size_x = 0.5, size_y = 0.5, advance = 0.5 } }\n");
    write_text("game/main.lua", main_script);
    write_png("font.png", 16, 16);
    write_png("swatch.png", 4, 4);
    write_png("data/pic.png", 32, 32);
    G = new game;
    G->init();
    // The first pass over the mixed scene loads the terrain image.
    lua_State* L = game_probe::state(*G);
    luaL_dostring(L, "render_list = mixed");
    G->render();
    luaL_dostring(L, "render_list = rects");
    std::filesystem::current_path(OldCwd);
    std::filesystem::remove_all(Dir);
    return *G;
}

void per_command(benchmark::State& State, int Commands) {
    State.SetItemsProcessed(int64_t(State.iterations()) * Commands);
    State.counters["per_command"] = benchmark::Counter(
        Commands, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void use_list(game& G, const char* Name) {
    lua_State* L = game_probe::state(G);
    lua_getglobal(L, Name);
    lua_setglobal(L, "render_list");
}

void BM_render_rgba_rect(benchmark::State& State) {
    game& G = bench_game();
    use_list(G, "rects");
    for (auto _ : State) G.render();
    per_command(State, 2 * rect_pairs);
}
BENCHMARK(BM_render_rgba_rect)->Unit(benchmark::kMicrosecond);

// The floor: the same tables walked with lua_next and nothing else.
void BM_lua_next_floor(benchmark::State& State) {
    game& G = bench_game();
    lua_State* L = game_probe::state(G);
    lua_getglobal(L, "rects");
    const int List = lua_gettop(L);
    for (auto _ : State) {
        lua_pushnil(L);
        while (lua_next(L, List)) {
            const int Command = lua_gettop(L);
            lua_pushnil(L);
            while (lua_next(L, Command)) {
                benchmark::DoNotOptimize(lua_type(L, -1));
                lua_pop(L, 1);
            }
            lua_pop(L, 1);
        }
    }
    lua_pop(L, 1);
    per_command(State, 2 * rect_pairs);
}
BENCHMARK(BM_lua_next_floor)->Unit(benchmark::kMicrosecond);

void BM_render_mixed(benchmark::State& State) {
    game& G = bench_game();
    use_list(G, "mixed");
    for (auto _ : State) G.render();
    per_command(State, mixed_groups * mixed_commands_per_group);
}
BENCHMARK(BM_render_mixed)->Unit(benchmark::kMicrosecond);

}  // namespace
