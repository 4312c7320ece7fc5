// The splitter on given lines: every argument, the program directory, the
// exact record the caller gets, and a failure at each allocation.
#include "winlib/cmdline.h"

#include "alloc_seam.h"
#include "platform/os.h"
#include "winlib/tracked_alloc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LineCase {
    const char *Label;
    std::string Line;
    bool Fails;
    std::vector<std::string> Args;
    std::string Dir;
};

void PrintTo(const LineCase &c, std::ostream *os) { *os << c.Label << ": " << c.Line; }

const LineCase kLines[] = {
    {"quoted program path", "\"C:\\Dir\\prog.exe\" 500", false, {"C:\\Dir\\prog.exe", "500"}, "C:\\Dir\\"},
    {"unquoted program path", "C:\\Dir\\prog.exe 500", false, {"C:\\Dir\\prog.exe", "500"}, "C:\\Dir\\"},
    {"no directory", "prog.exe 500", false, {"prog.exe", "500"}, ""},
    {"a colon does not count", "C:prog.exe", false, {"C:prog.exe"}, ""},
    {"slashes", "a/b/c.exe x", false, {"a/b/c.exe", "x"}, "a/b/"},
    {"mixed separators, the last one counts", "a\\b/c\\d.exe", false, {"a\\b/c\\d.exe"}, "a\\b/c\\"},
    {"the whole argument is the directory", "C:\\", false, {"C:\\"}, "C:\\"},
    {"runs of spaces separate once", "a  b   c", false, {"a", "b", "c"}, ""},
    {"spaces around", "  a  ", false, {"a"}, ""},
    {"empty quoted", "\"\"", false, {""}, ""},
    {"empty quoted then more", "\"\" x", false, {"", "x"}, ""},
    {"text right after a closing quote", "\"a\"b", false, {"a", "b"}, ""},
    {"quoted back to back", "\"a\"\"b\"", false, {"a", "b"}, ""},
    {"quote inside unquoted text", "a\"b c\"", false, {"a\"b", "c\""}, ""},
    {"space inside quotes", "\"a b\"c d", false, {"a b", "c", "d"}, ""},
    {"backslash escapes nothing", "\"a\\\"b\"", false, {"a\\", "b\""}, "a\\"},
    {"tab is text", "x\ty z", false, {"x\ty", "z"}, ""},
    {"bytes above 0x7f are text", "\xe9t\xe9 \"\xff \x80\"", false, {"\xe9t\xe9", "\xff \x80"}, ""},
    {"spaces only", "   ", false, {}, ""},
    {"empty line", "", false, {}, ""},
    {"unclosed quote", "x \"abc", true, {}, ""},
    {"quote as the last byte", "x \"", true, {}, ""},
    {"a lone quote", "\"", true, {}, ""},
};

class SplitLine : public testing::TestWithParam<LineCase> {};

// Checks the record against the case and against the layout a caller may
// rely on, with the four allocations' sizes as the seam saw them.
TEST_P(SplitLine, BuildsTheExactRecord)
{
    const LineCase &c = GetParam();
    const int32_t start = GetTrackedBytes();

    WatchAllocations();
    CommandLineArgs *args = ParseCommandLineText(c.Line.c_str());
    StopWatching();

    if (c.Fails) {
        EXPECT_EQ(args, nullptr);
        EXPECT_EQ(LiveWatchedBlocks(), 0);
        EXPECT_EQ(GetTrackedBytes(), start);
        FreeCommandLineArgs(args);
        return;
    }
    ASSERT_NE(args, nullptr);

    std::vector<std::string> got;
    for (int32_t k = 0; k < args->ArgCount; k++)
        got.push_back(args->ArgList[k]);
    EXPECT_EQ(got, c.Args);
    EXPECT_EQ(std::string(args->ProgramDir), c.Dir);

    // Four blocks whatever the line, each of the size the caller is told.
    const size_t textSize = c.Line.size() + c.Args.size();
    ASSERT_EQ(WatchedCount(), 4);
    for (int i = 0; i < 4; i++)
        EXPECT_NE(Watched(i).Block, nullptr) << "allocation " << i + 1;
    EXPECT_FALSE(Watched(0).IsCalloc);
    EXPECT_EQ(Watched(0).Count, sizeof(CommandLineArgs));
    EXPECT_EQ(Watched(0).Block, (void *)args);
    EXPECT_EQ(Watched(1).Count * Watched(1).Size, c.Args.size() * sizeof(char *));
    EXPECT_EQ(Watched(1).Block, (void *)args->ArgList);
    EXPECT_EQ(Watched(2).Count * Watched(2).Size, textSize);
    EXPECT_EQ(Watched(2).Block, (void *)args->ArgText);
    EXPECT_EQ(Watched(3).Count * Watched(3).Size, c.Dir.size() + 1);
    EXPECT_EQ(Watched(3).Block, (void *)args->ProgramDir);

    // The strings lie back to back from the block's start, zero after.
    const char *next = args->ArgText;
    for (int32_t k = 0; k < args->ArgCount; k++) {
        EXPECT_EQ(args->ArgList[k], next) << "entry " << k;
        next += c.Args[k].size() + 1;
    }
    for (const char *p = next; p < args->ArgText + textSize; p++)
        ASSERT_EQ(*p, 0) << "byte " << (p - args->ArgText) << " of the text block";

    int32_t held = 0;
    for (int i = 0; i < 4; i++)
        held += (int32_t)_msize(Watched(i).Block);
    EXPECT_EQ(GetTrackedBytes(), start + held);

    FreeCommandLineArgs(args);
    EXPECT_EQ(LiveWatchedBlocks(), 0);
    EXPECT_EQ(GetTrackedBytes(), start);
}

INSTANTIATE_TEST_SUITE_P(Lines, SplitLine, testing::ValuesIn(kLines));

// Whichever allocation fails, the call answers null and takes back what it
// had, leaving the counter where it was.
TEST(SplitLineFailure, EachAllocationFailsInTurn)
{
    for (const char *line : {"\"C:\\Dir\\prog.exe\" 500", ""}) {
        for (int failAt = 1; failAt <= 4; failAt++) {
            SCOPED_TRACE(std::string("line [") + line + "], allocation " + std::to_string(failAt));
            const int32_t start = GetTrackedBytes();
            WatchAllocations(failAt);
            CommandLineArgs *args = ParseCommandLineText(line);
            StopWatching();
            EXPECT_EQ(args, nullptr);
            EXPECT_EQ(WatchedCount(), failAt) << "went on after a failed allocation";
            EXPECT_EQ(LiveWatchedBlocks(), 0);
            EXPECT_EQ(GetTrackedBytes(), start);
            FreeCommandLineArgs(args);
        }
    }
}

// No line is a failure taken after the record was allocated.
TEST(SplitLineFailure, NoLine)
{
    const int32_t start = GetTrackedBytes();
    WatchAllocations();
    EXPECT_EQ(ParseCommandLineText(nullptr), nullptr);
    StopWatching();
    EXPECT_EQ(WatchedCount(), 1);
    EXPECT_EQ(LiveWatchedBlocks(), 0);
    EXPECT_EQ(GetTrackedBytes(), start);
}

// The process's own line: independent records each call, the line itself
// left as it was.
TEST(ProcessLine, EachCallBuildsItsOwnRecord)
{
    const char *line = GetCommandLineA();
    ASSERT_NE(line, nullptr);
    const std::string before = line;
    const int32_t start = GetTrackedBytes();

    CommandLineArgs *first = ParseCommandLine();
    CommandLineArgs *second = ParseCommandLine();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->ArgText, second->ArgText);
    ASSERT_GE(first->ArgCount, 1);
    ASSERT_EQ(first->ArgCount, second->ArgCount);
    for (int32_t k = 0; k < first->ArgCount; k++)
        EXPECT_STREQ(first->ArgList[k], second->ArgList[k]);
    EXPECT_NE(std::string(first->ArgList[0]).find("cmdline_test"), std::string::npos) << first->ArgList[0];

    FreeCommandLineArgs(first);
    FreeCommandLineArgs(second);
    EXPECT_EQ(GetTrackedBytes(), start);
    EXPECT_EQ(std::string(GetCommandLineA()), before);
}

}  // namespace
