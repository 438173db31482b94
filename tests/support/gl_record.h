// A recording stand-in for libGL and libGLU: every call the host makes is
// kept with its arguments, so tests can assert exact call sequences.
#pragma once

#include <string>
#include <vector>

struct gl_call {
    std::string name;
    std::vector<double> args;
    std::vector<unsigned char> data;  // the pixels of a glTexImage2D
    std::string text;                 // "glEnable(0x0BE2)", enums in hex
    // How many bytes standard output had taken when the call was made (its
    // file offset, so -1 unless output goes to a file, as while gtest
    // captures it): places the call among the log lines.
    long stdout_bytes = -1;
};

extern std::vector<gl_call> gl_calls;
// When false the stand-in does nothing at all (for benchmarks).
extern bool gl_record_enabled;

// Records a call the stand-in does not see itself (a wrapped library call,
// say) as the next in order, with Text as its text form.
void gl_record_note(const std::string& Name, const std::string& Text);
// Forgets every call and restarts texture names at 1.
void gl_record_reset();
// The text form of every recorded call, in order.
std::vector<std::string> gl_call_texts();
// The recorded calls whose name is Name.
std::vector<gl_call> gl_calls_named(const std::string& Name);
