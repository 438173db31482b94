#include "filehelp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <sstream>

#include <gtest/gtest.h>

#include "fixtures.h"

// The largest single allocation made through operator new, to show that a
// corrupt length does not turn into a huge buffer.
static size_t largest_allocation = 0;

void* operator new(size_t Size) {
    if (Size > largest_allocation) largest_allocation = Size;
    if (void* P = std::malloc(Size ? Size : 1)) return P;
    throw std::bad_alloc();
}
void operator delete(void* P) noexcept { std::free(P); }
void operator delete(void* P, size_t) noexcept { std::free(P); }

namespace {
std::string bytes_of(void (*Put)(std::ostream&)) {
    std::ostringstream Out;
    Put(Out);
    return Out.str();
}
}  // namespace

TEST(Filehelp, ByteEncodings) {
    using std::string;
    struct Case { const char* what; string got, want; };
    const Case Cases[] = {
        {"int 1", bytes_of([](std::ostream& O) { fput_int(O, 1); }), string("\x01\0\0\0", 4)},
        {"int -1", bytes_of([](std::ostream& O) { fput_int(O, -1); }), string("\xff\xff\xff\xff", 4)},
        {"double 1.0", bytes_of([](std::ostream& O) { fput_double(O, 1.0); }),
         string("\0\0\0\0\0\0\xf0\x3f", 8)},
        {"string abc", bytes_of([](std::ostream& O) { fput_string(O, "abc"); }),
         string("\x03\0\0\0abc", 7)},
        {"empty string", bytes_of([](std::ostream& O) { fput_string(O, ""); }), string("\0\0\0\0", 4)},
    };
    for (const Case& C : Cases) EXPECT_EQ(C.got, C.want) << C.what;
}

TEST(Filehelp, ValuesReadBackInOrder) {
    std::stringstream S;
    fput_int(S, -123456);
    fput_double(S, -2.5e-300);
    fput_string(S, std::string("ab\0cd", 5));  // cut at the NUL, all bytes consumed
    fput_string(S, "next");
    fput_int(S, 99);
    EXPECT_EQ(fget_int(S), -123456);
    EXPECT_EQ(fget_double(S), -2.5e-300);
    EXPECT_EQ(fget_string(S), "ab");
    EXPECT_EQ(fget_string(S), "next");
    EXPECT_EQ(fget_int(S), 99);
}

TEST(Filehelp, ShortReadsDeliverWhatArrived) {
    std::istringstream Empty("");
    EXPECT_EQ(fget_int(Empty), 0);
    std::istringstream Empty2("");
    EXPECT_EQ(fget_double(Empty2), 0.0);
    std::istringstream Empty3("");
    EXPECT_EQ(fget_string(Empty3), "");
    std::istringstream Partial(std::string("\x34\x12", 2));
    EXPECT_EQ(fget_int(Partial), 0x1234);
    std::istringstream ShortText(std::string("\x05\0\0\0xy", 6));
    EXPECT_EQ(fget_string(ShortText), "xy");
}

TEST(Filehelp, NegativeLengthIsRejected) {
    std::istringstream S(std::string("\xfe\xff\xff\xff" "abcd", 8));
    EXPECT_EQ(fget_string(S), "");
    EXPECT_TRUE(S.fail());
    S.clear();
    EXPECT_EQ(static_cast<long>(S.tellg()), 4);  // the text bytes were not touched
}

TEST(Filehelp, HugeLengthAllocatesOnlyWhatTheStreamHolds) {
    std::istringstream S(std::string("\xff\xff\xff\x7f" "abc", 7));
    largest_allocation = 0;
    std::string Text = fget_string(S);
    size_t Largest = largest_allocation;
    EXPECT_EQ(Text, "abc");
    EXPECT_LT(Largest, 1u << 20);
    EXPECT_TRUE(S.eof());
}

TEST(Filehelp, LongTextRoundTripsAcrossChunks) {
    std::string Long(200000, 'q');
    Long[131072] = 'Z';
    std::stringstream S;
    fput_string(S, Long);
    fput_int(S, 7);
    EXPECT_EQ(fget_string(S), Long);
    EXPECT_EQ(fget_int(S), 7);
}

TEST(Filehelp, Fexist) {
    scratch_dir Dir;
    write_file("present.bin", "content");
    EXPECT_TRUE(fexist("present.bin"));
    EXPECT_EQ(read_file("present.bin"), "content");
    EXPECT_FALSE(fexist("absent.bin"));
    EXPECT_FALSE(fexist("no-dir/present.bin"));
    write_file("locked.bin", "x");
    chmod("locked.bin", 0);
    if (geteuid() != 0) {
        EXPECT_FALSE(fexist("locked.bin"));
    }
}
