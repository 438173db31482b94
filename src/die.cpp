#include "die.h"

#include <cerrno>
#include <iostream>

#include <unistd.h>

std::ofstream TRACE_FILE;

void die_init(const std::string& TraceFile) {
    TRACE_FILE.open(TraceFile.c_str(), std::ios::out | std::ios::trunc);
    if (TRACE_FILE.is_open()) TRACE_FILE.clear();
}

// Mark, blank, message and line feed in one buffer, so that each sink gets
// the whole line in one system call and a kill never leaves half a line.
static std::string make_line(char Mark, const std::string& Message) {
    std::string Line;
    Line.reserve(Message.size() + 3);
    Line += Mark;
    Line += ' ';
    Line += Message;
    Line += '\n';
    return Line;
}

// With its buffer empty, the file buffer hands a block to the system in one
// write (or writev), whatever its length.
static void write_trace(const std::string& Line) {
    TRACE_FILE.write(Line.data(), std::streamsize(Line.size()));
    TRACE_FILE.flush();
}

// The C library splits long blocks into several writes, so the line goes to
// descriptor 1 directly, after anything still buffered in front of it.
static void write_stdout(const std::string& Line) {
    std::cout.flush();
    const char* Data = Line.data();
    std::size_t Left = Line.size();
    while (Left > 0) {
        const ssize_t Done = ::write(STDOUT_FILENO, Data, Left);
        if (Done < 0 && errno == EINTR) continue;
        if (Done <= 0) return;
        Data += Done;
        Left -= std::size_t(Done);
    }
}

void log_write(char Mark, const std::string& Message) {
    const std::string Line = make_line(Mark, Message);
    write_trace(Line);
    write_stdout(Line);
}
