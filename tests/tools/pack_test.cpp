// tailpatch pack and list, run in the folder of the patch files as an
// author runs them.
#include "tools/commands.h"
#include "test_files.h"
#include "run_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A patch folder with a stub of the right size and three patch files, one
// of them in a subfolder; the test runs in it.
class PackTest : public testing::Test {
protected:
    void SetUp() override
    {
        Dir = FreshTestFolder("pack");
        fs::create_directories(Dir / "sub");
        Stub = std::string(49152, '\0');
        Stub[0] = 'M', Stub[1] = 'Z';
        WriteAll(Dir / "stub", Stub);
        WriteAll(Dir / "ostrel.exe", std::string(1000, 'x'));
        WriteAll(Dir / "patch.txt", "read me");
        WriteAll(Dir / "sub" / "level 2.dat", std::string(24, 'd'));
        Previous = fs::current_path();
        fs::current_path(Dir);
    }
    void TearDown() override { fs::current_path(Previous); }

    fs::path Dir, Previous;
    std::string Stub;
};

TEST_F(PackTest, WritesStubThenQuotedNamesAndPrintsTheTotal)
{
    testing::internal::CaptureStdout();
    int status = RunCommand(PackCommand, {"--stub", "stub", "--output", "patch", "ostrel.exe", "sub\\level 2.dat", "patch.txt"});
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ReadAll(Dir / "patch"), Stub + "\"ostrel.exe\"\r\n\"sub\\level 2.dat\"\r\n\"patch.txt\"");
    EXPECT_NE(out.find("Total size of the patch files: 1031 bytes"), std::string::npos) << out;

    testing::internal::CaptureStdout();
    EXPECT_EQ(RunCommand(ListCommand, {"patch"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ostrel.exe\nsub\\level 2.dat\npatch.txt\n");
}

TEST_F(PackTest, RefusesBadInputWithoutWritingAnything)
{
    WriteAll(Dir / "short-stub", Stub.substr(1));
    struct {
        const char *Label;
        std::vector<std::string> Args;
    } cases[] = {
        {"stub one byte short", {"--stub", "short-stub", "--output", "patch", "patch.txt"}},
        {"stub for another offset", {"--offset", "65536", "--stub", "stub", "--output", "patch", "patch.txt"}},
        {"empty name", {"--stub", "stub", "--output", "patch", "patch.txt", ""}},
        {"name with a double quote", {"--stub", "stub", "--output", "patch", "patch\".txt"}},
        {"name of 256 bytes", {"--stub", "stub", "--output", "patch", std::string(256, 'n')}},
        {"name of no file", {"--stub", "stub", "--output", "patch", "patch.txt", "missing.dat"}},
        {"no stub given", {"--output", "patch", "patch.txt"}},
        {"stub that does not exist", {"--stub", "nostub", "--output", "patch", "patch.txt"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        testing::internal::CaptureStderr();
        int status = RunCommand(PackCommand, c.Args);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(status, 0);
        EXPECT_FALSE(err.empty());
        EXPECT_FALSE(fs::exists(Dir / "patch"));
    }
}

TEST_F(PackTest, WarnsAboutNamesOutsideThePatchFolder)
{
    fs::create_directories(Dir / "inner");
    fs::current_path(Dir / "inner");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = RunCommand(PackCommand, {"--stub", "../stub", "--output", "patch", "..\\patch.txt"});
    std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_NE(err.find("warning"), std::string::npos) << err;
    EXPECT_EQ(ReadAll(Dir / "inner" / "patch"), Stub + "\"..\\patch.txt\"");
}

TEST_F(PackTest, ListStopsAtAnOverlongEntry)
{
    WriteAll(Dir / "handmade", Stub + "\"" + std::string(300, 'n') + "\"");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_NE(RunCommand(ListCommand, {"handmade"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("longer than 255 bytes"), std::string::npos);
}

}  // namespace
