#include "die.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fixtures.h"

namespace {

// Points descriptor 1 at Fd while it lives; what was already buffered for
// standard output goes out first, to where it was meant to go.
class stdout_to {
public:
    explicit stdout_to(int Fd) {
        std::cout.flush();
        std::fflush(stdout);
        Saved = dup(STDOUT_FILENO);
        dup2(Fd, STDOUT_FILENO);
    }
    ~stdout_to() {
        std::cout.flush();
        std::fflush(stdout);
        dup2(Saved, STDOUT_FILENO);
        close(Saved);
    }
    stdout_to(const stdout_to&) = delete;
    stdout_to& operator=(const stdout_to&) = delete;

private:
    int Saved;
};

// The process's count of write system calls so far, or -1.
long write_calls() {
    std::ifstream Io("/proc/self/io");
    std::string Key;
    long Value = 0;
    while (Io >> Key >> Value)
        if (Key == "syscw:") return Value;
    return -1;
}

// Logs one line with standard output going to "out.txt" (truncated first);
// returns the write system calls that took, or -1 if they can't be counted.
long logged_writes(char Mark, const std::string& Message) {
    const int Out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (Out < 0) return -1;
    long Before, After;
    {
        stdout_to Redirect(Out);
        Before = write_calls();
        log_line(Mark, Message);
        After = write_calls();
    }
    close(Out);
    return Before < 0 ? -1 : After - Before;
}

// Size bytes of text that differ from place to place, with a line feed in it.
std::string message_of(std::size_t Size) {
    std::string Text;
    for (std::size_t i = 0; i < Size; ++i) Text += i % 997 == 500 ? '\n' : char('a' + i % 26);
    return Text;
}

}  // namespace

TEST(TraceLog, LineGoesToTraceFileThenStandardOutput) {
    scratch_dir Dir;
    die_init("trace.txt");
    testing::internal::CaptureStdout();
    log_line('-', "vireo: game by Orlenk for Tindle #13");
    // The trace copy is complete (flushed) before standard output is written.
    EXPECT_EQ(read_file("trace.txt"), "- vireo: game by Orlenk for Tindle #13\n");
    log_line('*', "texture get fatal: texture ", -3, " out of range");
    log_line('!', "--- ", "two\nlines");
    std::string Out = testing::internal::GetCapturedStdout();
    std::string Expected =
        "- vireo: game by Orlenk for Tindle #13\n"
        "* texture get fatal: texture -3 out of range\n"
        "! --- two\nlines\n";
    EXPECT_EQ(Out, Expected);
    EXPECT_EQ(read_file("trace.txt"), Expected);
    TRACE_FILE.close();
}

TEST(TraceLog, EachRunStartsTheFileAfresh) {
    scratch_dir Dir;
    write_file("trace.txt", "- an earlier run\n");
    die_init("trace.txt");
    testing::internal::CaptureStdout();
    log_line('-', "main: initializing SDL");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file("trace.txt"), "- main: initializing SDL\n");
    TRACE_FILE.close();
}

TEST(TraceLog, UnopenableTraceFileStillReachesStandardOutput) {
    scratch_dir Dir;
    die_init("no-such-dir/trace.txt");
    EXPECT_TRUE(TRACE_FILE.fail());
    testing::internal::CaptureStdout();
    log_line('!', "str2color fatal: bad color string ``", "fff", "''");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "! str2color fatal: bad color string ``fff''\n");
    TRACE_FILE.close();
    TRACE_FILE.clear();
}

// A kill between two writes of one sink would leave a line without its end.
TEST(TraceLog, EachLineIsOneWritePerSink) {
    scratch_dir Dir;
    // The sanitizers' first check of a type writes to a pipe of their own;
    // one line beforehand gets those writes out of the way.
    die_init("trace.txt");
    logged_writes('-', "warm");
    TRACE_FILE.close();

    struct write_case {
        std::size_t message_size;
        const char* trace_file;
        long writes;
    } const Cases[] = {
        {0, "trace.txt", 2},      {20, "trace.txt", 2},     {1023, "trace.txt", 2},
        {1024, "trace.txt", 2},   {9000, "trace.txt", 2},   {300000, "trace.txt", 2},
        {20, "no-dir/trace.txt", 1}, {300000, "no-dir/trace.txt", 1},
    };
    for (const write_case& Case : Cases) {
        SCOPED_TRACE(testing::Message() << Case.message_size << " " << Case.trace_file);
        const std::string Message = message_of(Case.message_size);
        die_init(Case.trace_file);
        EXPECT_EQ(logged_writes('!', Message), Case.writes);
        const std::string Line = "! " + Message + "\n";
        EXPECT_TRUE(read_file("out.txt") == Line);
        if (TRACE_FILE.is_open()) {
            EXPECT_TRUE(read_file(Case.trace_file) == Line);
        }
        TRACE_FILE.close();
        TRACE_FILE.clear();
    }
}

// Standard output is pointed at the trace file through a descriptor that
// appends, while the trace stream keeps its own offset: written in the right
// order the line shows twice; standard output first, the trace copy lands on
// top of it; standard output still buffered, it is not there yet.
TEST(TraceLog, StandardOutputCopyIsWrittenAfterTheTraceCopyBeforeReturning) {
    scratch_dir Dir;
    for (const std::size_t Size : {std::size_t(30), std::size_t(70000)}) {
        SCOPED_TRACE(Size);
        const std::string Message = message_of(Size);
        die_init("trace.txt");
        const int Appending = open("trace.txt", O_WRONLY | O_APPEND);
        ASSERT_GE(Appending, 0);
        std::string Seen;
        {
            stdout_to Redirect(Appending);
            log_line('*', Message);
            Seen = read_file("trace.txt");
        }
        close(Appending);
        const std::string Line = "* " + Message + "\n";
        EXPECT_TRUE(Seen == Line + Line) << Seen.size() << " bytes, one line is " << Line.size();
        TRACE_FILE.close();
    }
}
