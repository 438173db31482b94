// Running the built game as a child process from a test, and the shell and
// polling helpers end-to-end tests drive it with.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

using clock_type = std::chrono::steady_clock;

const double RUN_TIMEOUT_S = 30;

// Runs Command in the shell and gives what it printed, trailing line feeds
// and blanks removed.
std::string shell(const std::string& Command);

void sleep_s(double Seconds);

// Polls until Ready() holds or Seconds pass; gives Ready()'s last answer.
template <typename Predicate>
bool wait_until(Predicate Ready, double Seconds = 15) {
    const auto End = clock_type::now() + std::chrono::duration<double>(Seconds);
    while (clock_type::now() < End) {
        if (Ready()) return true;
        sleep_s(0.02);
    }
    return Ready();
}

// The program named by $VIREO_BINARY as a child process in the current
// directory, its standard output in "stdout.txt" and its errors in
// "stderr.txt"; killed if the test ends before it does.
class vireo_process {
public:
    // ExtraEnv entries ("NAME=value") take precedence over the environment.
    explicit vireo_process(const std::vector<std::string>& ExtraEnv = {});
    ~vireo_process();
    vireo_process(const vireo_process&) = delete;
    vireo_process& operator=(const vireo_process&) = delete;

    bool started() const { return Pid > 0; }
    pid_t pid() const { return Pid; }

    // The exit status, or -1000 when the game did not end in time (it is
    // then killed).
    int wait_exit(double Seconds = RUN_TIMEOUT_S);

private:
    pid_t Pid = -1;
    bool Exited = false;
};
