#include "die.h"

#include <gtest/gtest.h>

#include "fixtures.h"

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
