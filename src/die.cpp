#include "die.h"

#include <iostream>

std::ofstream TRACE_FILE;

void die_init(const std::string& TraceFile) {
    TRACE_FILE.open(TraceFile.c_str(), std::ios::out | std::ios::trunc);
    if (TRACE_FILE.is_open()) TRACE_FILE.clear();
}

static void write_to(std::ostream& Sink, char Mark, const std::string& Message) {
    Sink << Mark << ' ' << Message << '\n';
    Sink.flush();
}

void log_write(char Mark, const std::string& Message) {
    write_to(TRACE_FILE, Mark, Message);
    write_to(std::cout, Mark, Message);
}
