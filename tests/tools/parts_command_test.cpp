// tailpatch split, join and remove as a user runs them: their arguments,
// the standard streams as source and destination, and a join completed by
// running it again.
#include "tools/commands.h"
#include "installer/parts.h"
#include "test_files.h"
#include "run_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
int DupFd(int fd) { return _dup(fd); }
int Dup2Fd(int from, int to) { return _dup2(from, to); }
int CloseFd(int fd) { return _close(fd); }
#else
int DupFd(int fd) { return dup(fd); }
int Dup2Fd(int from, int to) { return dup2(from, to); }
int CloseFd(int fd) { return close(fd); }
#endif

std::vector<std::string> Names(const fs::path &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string WithoutCarriageReturns(std::string text)
{
    for (size_t at; (at = text.find('\r')) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

class PartsCommandTest : public testing::Test {
protected:
    void SetUp() override
    {
        Dir = FreshTestFolder("parts-command");
        fs::create_directories(Dir / "parts");
        Parts = (Dir / "parts").string();
    }
    void TearDown() override { fs::remove_all(Dir); }

    fs::path Dir;
    std::string Parts;
};

TEST_F(PartsCommandTest, BadArgumentsAreRefusedWithAMessageAndStatus2)
{
    WriteAll(Dir / "source", "abc");
    const std::string source = (Dir / "source").string();
    const std::string missing = (Dir / "missing" / "file").string();
    const std::string longDir = Parts + std::string(260, 'x');
    struct Case {
        const char *Label;
        int (*Command)(int, char **);
        std::vector<std::string> Args;
        const char *Message;  // a part of what the user reads
    };
    const Case cases[] = {
        {"split without a size", SplitCommand, {source, Parts, "d", ".b"}, "usage"},
        {"split size too small", SplitCommand, {"--size", "99", source, Parts, "d", ".b"}, "99"},
        {"split size too large", SplitCommand, {"--size", "2048", source, Parts, "d", ".b"}, "2048"},
        {"split size not a number", SplitCommand, {"--size", "1e3", source, Parts, "d", ".b"}, "1e3"},
        {"split unknown option", SplitCommand, {"--size", "100", "--fast", source, Parts, "d", ".b"}, "usage"},
        {"split missing operand", SplitCommand, {"--size", "100", source, Parts, "d"}, "usage"},
        {"split extra operand", SplitCommand, {"--size", "100", source, Parts, "d", ".b", "x"}, "usage"},
        {"split source missing", SplitCommand, {"--size", "100", missing, Parts, "d", ".b"}, "cannot open"},
        {"split names too long", SplitCommand, {"--size", "100", source, longDir, "d", ".b"}, "longer than"},
        {"join missing operand", JoinCommand, {Parts, "d", ".b"}, "usage"},
        {"join destination cannot be created", JoinCommand, {Parts, "d", ".b", missing}, "cannot open"},
        {"remove extra operand", RemoveCommand, {Parts, "d", ".b", "x"}, "usage"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Label);
        testing::internal::CaptureStderr();
        int status = RunCommand(c.Command, c.Args);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, kUsageStatus);
        EXPECT_NE(err.find(c.Message), std::string::npos) << err;
        EXPECT_TRUE(Names(Dir / "parts").empty());
        EXPECT_FALSE(fs::exists(missing));
    }
}

TEST_F(PartsCommandTest, SplitJoinAndRemoveRoundTrip)
{
    std::string bytes;
    for (int i = 0; i < 100000; i++)
        bytes += (char)(i * 7 + i / 256);
    WriteAll(Dir / "source", bytes);
    const std::string dest = (Dir / "joined").string();

    testing::internal::CaptureStdout();
    EXPECT_EQ(RunCommand(SplitCommand, {"--size", "100", (Dir / "source").string(), Parts, "d", ".b"}), 0);
    EXPECT_EQ(WithoutCarriageReturns(testing::internal::GetCapturedStdout()), "d1.b...DONE\n");
    EXPECT_EQ(ReadAll(Dir / "parts" / "d1.b"), bytes);

    // A destination holding bytes is appended to, and the user is told.
    WriteAll(dest, "head");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunCommand(JoinCommand, {Parts, "d", ".b", dest}), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(WithoutCarriageReturns(testing::internal::GetCapturedStdout()), "d1.b...d2.b...DONE\n");
    EXPECT_NE(err.find("already holds 4 bytes"), std::string::npos) << err;
    EXPECT_EQ(ReadAll(dest), "head" + bytes);
    EXPECT_TRUE(Names(Dir / "parts").empty());

    for (const char *name : {"d1.b", "d2.b", "d4.b"})
        WriteAll(Dir / "parts" / name, "x");
    EXPECT_EQ(RunCommand(RemoveCommand, {Parts, "d", ".b"}), 0);
    EXPECT_EQ(Names(Dir / "parts"), std::vector<std::string>{"d4.b"});
}

// The standard streams as source and destination: the data stays binary,
// and a join to the standard output reports on the standard error stream.
TEST_F(PartsCommandTest, StandardStreams)
{
    const std::string bytes("a\r\nb\n\x1a\0c", 8);
    WriteAll(Dir / "source", bytes);

    int savedIn = DupFd(0);
    FILE *in = std::fopen((Dir / "source").string().c_str(), "rb");
    ASSERT_TRUE(savedIn >= 0 && in);
    Dup2Fd(fileno(in), 0);
    testing::internal::CaptureStdout();
    int split = RunCommand(SplitCommand, {"--size", "100", "-", Parts, "d", ".b"});
    std::string splitOut = testing::internal::GetCapturedStdout();
    Dup2Fd(savedIn, 0);
    CloseFd(savedIn);
    std::fclose(in);
    std::clearerr(stdin);
    EXPECT_EQ(split, 0);
    EXPECT_EQ(WithoutCarriageReturns(splitOut), "d1.b...DONE\n");
    EXPECT_EQ(ReadAll(Dir / "parts" / "d1.b"), bytes);

    // Read back in binary: the capture of the test framework reads text.
    std::fflush(stdout);
    int savedOut = DupFd(1);
    FILE *out = std::fopen((Dir / "out").string().c_str(), "wb");
    ASSERT_TRUE(savedOut >= 0 && out);
    Dup2Fd(fileno(out), 1);
    testing::internal::CaptureStderr();
    int join = RunCommand(JoinCommand, {Parts, "d", ".b", "-"});
    std::string err = testing::internal::GetCapturedStderr();
    std::fflush(stdout);
    Dup2Fd(savedOut, 1);
    CloseFd(savedOut);
    std::fclose(out);
    EXPECT_EQ(join, 0);
    EXPECT_EQ(ReadAll(Dir / "out"), bytes);
    EXPECT_EQ(WithoutCarriageReturns(err), "d1.b...d2.b...DONE\n");
    EXPECT_TRUE(Names(Dir / "parts").empty());
}

// After a join failed at part 2, part 1 is gone and the destination holds
// its bytes: running the same join again goes on with part 2. A stray part
// beyond what the destination could hold is not taken for such a rest.
TEST_F(PartsCommandTest, JoinAgainResumesAfterTheDeletedParts)
{
    const long long partBytes = (long long)kMinPartMegabytes << 20;
    const std::string dest = (Dir / "joined").string();
    {
        std::ofstream out(dest, std::ios::binary);
        out.seekp(partBytes - 1);
        out.put('1');
    }
    WriteAll(Dir / "parts" / "d2.b", "abc");
    WriteAll(Dir / "parts" / "d3.b", "de");

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunCommand(JoinCommand, {Parts, "d", ".b", dest}), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(WithoutCarriageReturns(testing::internal::GetCapturedStdout()), "d2.b...d3.b...d4.b...DONE\n");
    EXPECT_NE(err.find("resuming with part 2"), std::string::npos) << err;
    EXPECT_EQ(fs::file_size(dest), (uintmax_t)partBytes + 5);
    std::ifstream joined(dest, std::ios::binary);
    joined.seekg(partBytes - 1);
    std::string tail(6, '\0');
    joined.read(&tail[0], 6);
    EXPECT_EQ(tail, "1abcde");
    EXPECT_TRUE(Names(Dir / "parts").empty());
    joined.close();

    WriteAll(dest, "small");
    WriteAll(Dir / "parts" / "d2.b", "stray");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunCommand(JoinCommand, {Parts, "d", ".b", dest}), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(WithoutCarriageReturns(testing::internal::GetCapturedStdout()), "d1.b...DONE\n");
    EXPECT_EQ(ReadAll(dest), "small");
    EXPECT_EQ(Names(Dir / "parts"), std::vector<std::string>{"d2.b"});
}

}  // namespace
