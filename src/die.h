// The trace log: every diagnostic line goes to the trace file, then the same
// bytes to standard output.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

extern std::ofstream TRACE_FILE;

// Opens (truncating) the trace file; on failure the stream is left failed
// and lines reach standard output only.
void die_init(const std::string& TraceFile);

// Writes Mark, a blank, Message and a line feed to the trace file and then to
// standard output, each copy in one system call and out before returning.
void log_write(char Mark, const std::string& Message);

// Marks: '-' information, '!' warning, '*' error. The pieces are written one
// after the other with nothing between them, numbers as a stream writes them.
template <typename... Pieces>
void log_line(char Mark, const Pieces&... Parts) {
    std::ostringstream Message;
    (Message << ... << Parts);
    log_write(Mark, Message.str());
}
