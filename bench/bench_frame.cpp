// Whole-frame cost of the real game under the software renderer: runs the
// built vireo on a scene of 10,000 "rgba" + "rect" pairs and reports, over a
// steady window after start-up, the CPU time (user + system, all threads)
// and the minor page faults per frame, read from /proc/<pid>/stat, and the
// process's peak resident memory.
//
// Run by hand, one game at a time, on a display (a virtual one will do):
//
//   tests/support/with-xvfb build-release/bench/bench_frame [options] [VIREO]
//
// VIREO defaults to the vireo built beside this program. Options:
//   --runs=N     games run one after another (default 5)
//   --warmup=N   passes left out after start-up (default 100)
//   --frames=N   passes measured (default 400)
// The child gets this program's environment; with-xvfb sets LP_NUM_THREADS=0
// (llvmpipe draws on the game's own thread). To measure with llvmpipe's
// default worker threads, as a player's machine runs it, put
// `env -u LP_NUM_THREADS` before this program.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "e2e_run.h"
#include "fixtures.h"

namespace {

struct options {
    std::string vireo = VIREO_PATH;
    int runs = 5;
    int warmup = 100;
    int frames = 400;
};

// What /proc/<pid>/stat gives for the whole process, and when it was read.
struct sample {
    long passes = 0;
    double cpu_user_s = 0;
    double cpu_system_s = 0;
    long minor_faults = 0;
    long peak_rss_kb = 0;
    clock_type::time_point when;
};

struct run_result {
    bool ok = false;
    double cpu_ms = 0;
    double user_ms = 0;
    double system_ms = 0;
    double faults = 0;
    double wall_ms = 0;
    double peak_rss_mb = 0;
};

bool parse_int_option(const char* Arg, const char* Name, int& Value) {
    const size_t N = std::strlen(Name);
    if (std::strncmp(Arg, Name, N) != 0) return false;
    Value = std::atoi(Arg + N);
    return true;
}

bool parse_options(int ArgC, char** ArgV, options& Opt) {
    for (int i = 1; i < ArgC; ++i) {
        const char* A = ArgV[i];
        if (parse_int_option(A, "--runs=", Opt.runs) || parse_int_option(A, "--warmup=", Opt.warmup) ||
            parse_int_option(A, "--frames=", Opt.frames))
            continue;
        if (A[0] == '-') return false;
        Opt.vireo = A;
    }
    // The game runs in its scratch directory.
    Opt.vireo = std::filesystem::absolute(Opt.vireo);
    return Opt.runs > 0 && Opt.warmup >= 0 && Opt.frames > 0;
}

// The scene is built once; update counts passes into "passes" (written
// aside and renamed, so a reader never sees half a number) and quits a few
// passes after the measured window.
std::string main_script(int QuitAfter) {
    std::ostringstream S;
    S << "local list = { {'camera', 0, 0} }\n"
         "for i = 1, 10000 do\n"
         "  list[#list + 1] = {'rgba', (i % 7) / 7, (i % 5) / 5, (i % 3) / 3, 1}\n"
         "  list[#list + 1] = {'rect', (i * 37) % 800 - 400, (i * 53) % 600 - 300, 6, 4}\n"
         "end\n"
         "render_list = list\n"
         "local passes = 0\n"
         "function update(dt)\n"
         "  passes = passes + 1\n"
         "  local f = io.open('passes.tmp', 'w')\n"
         "  f:write(passes)\n"
         "  f:close()\n"
         "  os.rename('passes.tmp', 'passes')\n"
         "  if passes >= "
      << QuitAfter
      << " then game_quit() end\n"
         "end\n";
    return S.str();
}

// The game in the current directory.
bool write_game(int QuitAfter) {
    for (const char* Lib : {"std", "rn", "debug", "class", "matrix", "color"})
        write_file(std::string("game/lib/") + Lib + ".lua", "-- empty\n");
    write_file("game/font.lua",
               "font = { texture = 'font.png', pixelsize = 16,\n"
               "  glyph_65 = { size_x = 1, size_y = 1, advance = 1 } }\n");
    write_file("game/main.lua", main_script(QuitAfter));
    return write_png("font.png", 16, 16, 4, std::vector<unsigned char>(16 * 16 * 4, 255));
}

long read_passes() {
    long Passes = 0;
    std::ifstream("passes") >> Passes;
    return Passes;
}

// Fields 10 (minflt), 14 (utime) and 15 (stime) of /proc/<pid>/stat, which
// cover every thread of the process. The command name, field 2, may hold
// blanks, so counting starts after its closing parenthesis.
bool read_stat(pid_t Pid, sample& S) {
    std::ifstream In("/proc/" + std::to_string(Pid) + "/stat");
    std::string Line;
    if (!std::getline(In, Line)) return false;
    const size_t Close = Line.rfind(')');
    if (Close == std::string::npos) return false;
    std::istringstream Fields(Line.substr(Close + 2));
    std::vector<std::string> F;
    for (std::string W; Fields >> W;) F.push_back(W);
    if (F.size() < 13) return false;
    // F[0] is field 3 (state).
    const double Tick = double(sysconf(_SC_CLK_TCK));
    S.minor_faults = std::stol(F[7]);
    S.cpu_user_s = std::stod(F[11]) / Tick;
    S.cpu_system_s = std::stod(F[12]) / Tick;
    return true;
}

long read_peak_rss_kb(pid_t Pid) {
    std::ifstream In("/proc/" + std::to_string(Pid) + "/status");
    for (std::string Line; std::getline(In, Line);)
        if (Line.rfind("VmHWM:", 0) == 0) return std::atol(Line.c_str() + 6);
    return 0;
}

// Waits for the pass count to reach Passes, then samples the process.
bool sample_at(vireo_process& Game, long Passes, sample& S) {
    wait_until([&] { return read_passes() >= Passes || Game.wait_exit(0) != -1000; }, 120);
    // The count and the stat file are not read at one instant; over the
    // window that errs by at most a pass.
    S.passes = read_passes();
    if (S.passes < Passes) return false;
    S.when = clock_type::now();
    if (!read_stat(Game.pid(), S)) return false;
    S.peak_rss_kb = read_peak_rss_kb(Game.pid());
    return true;
}

// One game in the current directory; one that does not quit by itself is
// killed when its process handle goes.
run_result run_once(const options& Opt) {
    run_result R;
    std::filesystem::remove("passes");
    vireo_process Game;
    if (!Game.started()) return R;
    sample A, B;
    const bool Sampled = sample_at(Game, Opt.warmup, A) && sample_at(Game, Opt.warmup + Opt.frames, B);
    if (Game.wait_exit() == -1000) std::fprintf(stderr, "bench_frame: game did not quit; killing it\n");
    if (!Sampled || B.passes <= A.passes) return R;
    const double Frames = double(B.passes - A.passes);
    R.user_ms = 1000 * (B.cpu_user_s - A.cpu_user_s) / Frames;
    R.system_ms = 1000 * (B.cpu_system_s - A.cpu_system_s) / Frames;
    R.cpu_ms = R.user_ms + R.system_ms;
    R.faults = double(B.minor_faults - A.minor_faults) / Frames;
    R.wall_ms = std::chrono::duration<double, std::milli>(B.when - A.when).count() / Frames;
    R.peak_rss_mb = B.peak_rss_kb / 1024.0;
    R.ok = true;
    return R;
}

double median(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    const size_t N = V.size();
    return N % 2 ? V[N / 2] : (V[N / 2 - 1] + V[N / 2]) / 2;
}

void print_summary(const std::vector<run_result>& Runs) {
    std::vector<double> Cpu, User, Sys, Faults, Wall, Rss;
    for (const run_result& R : Runs) {
        Cpu.push_back(R.cpu_ms);
        User.push_back(R.user_ms);
        Sys.push_back(R.system_ms);
        Faults.push_back(R.faults);
        Wall.push_back(R.wall_ms);
        Rss.push_back(R.peak_rss_mb);
    }
    const auto [CpuMin, CpuMax] = std::minmax_element(Cpu.begin(), Cpu.end());
    std::printf("median of %zu: CPU %.2f ms/frame (user %.2f, system %.2f; range %.2f-%.2f), "
                "%.0f minor faults/frame, wall %.2f ms/frame, peak RSS %.0f MB\n",
                Runs.size(), median(Cpu), median(User), median(Sys), *CpuMin, *CpuMax,
                median(Faults), median(Wall), median(Rss));
}

}  // namespace

int main(int ArgC, char** ArgV) {
    options Opt;
    if (!parse_options(ArgC, ArgV, Opt)) {
        std::fprintf(stderr, "usage: bench_frame [--runs=N] [--warmup=N] [--frames=N] [VIREO]\n");
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_frame: no DISPLAY; run it under tests/support/with-xvfb\n");
        return 2;
    }
    // The game, and its trace and output, live in a scratch directory.
    setenv("VIREO_BINARY", Opt.vireo.c_str(), 1);
    scratch_dir Dir;
    // A few passes past the window, so the last sample is taken before the
    // game starts to quit.
    if (!write_game(Opt.warmup + Opt.frames + 20)) {
        std::fprintf(stderr, "bench_frame: could not write the scene to %s\n", Dir.path().c_str());
        return 1;
    }
    const char* Threads = std::getenv("LP_NUM_THREADS");
    std::printf("%s; 10,000 rgba + rect pairs; passes %d to %d; LP_NUM_THREADS=%s\n",
                Opt.vireo.c_str(), Opt.warmup, Opt.warmup + Opt.frames, Threads ? Threads : "(unset)");
    std::vector<run_result> Runs;
    for (int i = 0; i < Opt.runs; ++i) {
        const run_result R = run_once(Opt);
        if (!R.ok) {
            std::fprintf(stderr, "bench_frame: run %d failed:\n%s", i + 1, read_file("stdout.txt").c_str());
            return 1;
        }
        std::printf("run %d: CPU %.2f ms/frame (user %.2f, system %.2f), %.0f minor faults/frame, "
                    "wall %.2f ms/frame, peak RSS %.0f MB\n",
                    i + 1, R.cpu_ms, R.user_ms, R.system_ms, R.faults, R.wall_ms, R.peak_rss_mb);
        std::fflush(stdout);
        Runs.push_back(R);
    }
    print_summary(Runs);
    return 0;
}
