// The trailer reader, fed trailers as the packer and hand-made patches
// write them.
#include "installer/trailer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Read {
    int Result;
    std::string Name;  // compared when Result is kNameRead or kNameTooLong
};

struct TrailerCase {
    const char *Label;
    std::string Trailer;
    std::vector<Read> Expected;  // every call, up to and including the first 0
};

void PrintTo(const TrailerCase &c, std::ostream *os) { *os << c.Label; }

const std::string k255(255, 'n');
const std::string k256(256, 'l');

const TrailerCase kCases[] = {
    {"typical", "\"ostrel.exe\"\r\n\"patch.dat\"\r\n\"patch.txt\"",
     {{kNameRead, "ostrel.exe"}, {kNameRead, "patch.dat"}, {kNameRead, "patch.txt"}, {kNoMoreNames, ""}}},
    {"closing quote is the last byte", "\"a\"", {{kNameRead, "a"}, {kNoMoreNames, ""}}},
    {"empty trailer", "", {{kNoMoreNames, ""}}},
    {"back to back", "\"a\"\"b\"", {{kNameRead, "a"}, {kNameRead, "b"}, {kNoMoreNames, ""}}},
    {"bytes between entries skipped", "junk\"a\"\r\n x\x01y \"b\"tail",
     {{kNameRead, "a"}, {kNameRead, "b"}, {kNoMoreNames, ""}}},
    {"empty name", "\"\"", {{kNameRead, ""}, {kNoMoreNames, ""}}},
    {"unterminated last entry", "\"a\"\"abc", {{kNameRead, "a"}, {kNoMoreNames, ""}}},
    {"lone opening quote", "\"", {{kNoMoreNames, ""}}},
    {"spaces and backslashes kept", "\"sub dir\\patch 2.dat\"", {{kNameRead, "sub dir\\patch 2.dat"}, {kNoMoreNames, ""}}},
    {"NUL inside a name ends the string", std::string("\"a\0b\"\"c\"", 8),
     {{kNameRead, "a"}, {kNameRead, "c"}, {kNoMoreNames, ""}}},
    {"255 bytes fit", "\"" + k255 + "\"", {{kNameRead, k255}, {kNoMoreNames, ""}}},
    {"256 bytes are too long, the next entry still read", "\"" + k256 + "\"\"next\"",
     {{kNameTooLong, k256.substr(0, 255)}, {kNameRead, "next"}, {kNoMoreNames, ""}}},
    {"long and unterminated", "\"" + std::string(600, 'u'), {{kNoMoreNames, ""}}},
};

class TrailerTest : public testing::TestWithParam<TrailerCase> {};

TEST_P(TrailerTest, ReadsEveryEntryInOrder)
{
    const TrailerCase &c = GetParam();
    FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(c.Trailer.data(), 1, c.Trailer.size(), f), c.Trailer.size());
    std::rewind(f);

    // The reader owns 256 bytes; the guard behind them must stay untouched.
    struct {
        char Name[kNameBufferSize];
        unsigned char Guard[512];
    } buffer;
    std::memset(&buffer, 0xbd, sizeof buffer);

    for (size_t i = 0; i < c.Expected.size(); i++) {
        SCOPED_TRACE("call " + std::to_string(i + 1));
        int result = ReadQuotedName(f, buffer.Name);
        ASSERT_EQ(result, c.Expected[i].Result);
        if (result != kNoMoreNames) {
            EXPECT_EQ(std::string(buffer.Name), c.Expected[i].Name);
        }
    }
    for (unsigned char g : buffer.Guard)
        ASSERT_EQ(g, 0xbd) << "written past the name buffer";
    std::fclose(f);
}

INSTANTIATE_TEST_SUITE_P(Trailers, TrailerTest, testing::ValuesIn(kCases));

// The bytes of an unterminated entry are left in the buffer, duplicate
// cut off, though the caller does not use them.
TEST(TrailerTest, UnterminatedEntryLeavesItsBytes)
{
#ifdef _WIN32
    GTEST_SKIP() << "msvcrt's scanf reads one byte ahead, so its end-of-file indicator is already set by "
                    "the read of the last byte and the duplicate is never stored";
#endif
    FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs("\"abc", f);
    std::rewind(f);
    char name[kNameBufferSize];
    EXPECT_EQ(ReadQuotedName(f, name), kNoMoreNames);
    EXPECT_STREQ(name, "abc");
    std::fclose(f);
}

}  // namespace
