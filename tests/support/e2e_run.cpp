#include "e2e_run.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::string shell(const std::string& Command) {
    std::string Out;
    FILE* P = popen(Command.c_str(), "r");
    if (!P) return Out;
    char Buf[256];
    while (size_t N = fread(Buf, 1, sizeof Buf, P)) Out.append(Buf, N);
    pclose(P);
    while (!Out.empty() && (Out.back() == '\n' || Out.back() == ' ')) Out.pop_back();
    return Out;
}

void sleep_s(double Seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(Seconds)); }

vireo_process::vireo_process(const std::vector<std::string>& ExtraEnv) {
    const char* Binary = std::getenv("VIREO_BINARY");
    if (!Binary) return;
    // Shutting SDL down unloads the GL driver and SDL's helper libraries,
    // whose leftover allocations then have no module to be suppressed by;
    // memory errors are still caught.
    const char* Asan = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> Env = ExtraEnv;
    Env.push_back(std::string("ASAN_OPTIONS=") + (Asan ? Asan : "") + ":detect_leaks=0");
    // The first entry of a name wins, so the overrides come first.
    for (char** E = environ; *E; ++E)
        if (std::string(*E).rfind("ASAN_OPTIONS=", 0) != 0) Env.push_back(*E);
    std::vector<char*> EnvP;
    for (std::string& E : Env) EnvP.push_back(E.data());
    EnvP.push_back(nullptr);

    Pid = fork();
    if (Pid == 0) {
        if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr)) _exit(126);
        char* Args[] = {const_cast<char*>(Binary), nullptr};
        execve(Binary, Args, EnvP.data());
        _exit(127);
    }
}

vireo_process::~vireo_process() {
    if (Pid > 0 && !Exited) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
}

int vireo_process::wait_exit(double Seconds) {
    int Status = 0;
    const bool Ended = wait_until(
        [&] {
            Exited = Exited || waitpid(Pid, &Status, WNOHANG) == Pid;
            return Exited;
        },
        Seconds);
    if (!Ended) return -1000;
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -100 - WTERMSIG(Status);
}
