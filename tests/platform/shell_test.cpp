// The native command interpreter: what cmd does with the commands the
// installer sends, its messages and its exit status.
#include "platform/win32.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct Result {
    int Status;
    std::string Out;
    std::string Err;
};

// The interpreter runs in a child that shares this process's streams.
Result Interpret(const std::string &command)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = PlatformSystem(command.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    return {status, testing::internal::GetCapturedStdout(), err};
}

class ShellTest : public testing::Test {
protected:
    void SetUp() override
    {
        Root = FreshTestFolder("shell");
        fs::create_directories(Root / "patch");
        fs::create_directories(Root / "game");
        WriteAll(Root / "patch/ostrel.exe", "new executable");
        WriteAll(Root / "patch/a.dat", "a");
        WriteAll(Root / "patch/B.DAT", "b");
        Previous = fs::current_path();
        fs::current_path(Root / "patch");
        Game = (Root / "game").string();
    }
    void TearDown() override { fs::current_path(Previous); }

    fs::path Root, Previous;
    std::string Game;
};

TEST_F(ShellTest, CopyIntoAFolderOverwritingTheInstalledCopy)
{
    WriteAll(Root / "game/OSTREL.EXE", "old executable");
    const auto old = fs::last_write_time(Root / "patch/ostrel.exe") - std::chrono::hours(24);
    fs::last_write_time(Root / "patch/ostrel.exe", old);

    // The line feed ends the command: what follows it is never run.
    Result r = Interpret("copy \"ostrel.exe\" \"" + Game + "\"\nnot a command");
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "        1 file(s) copied.\n");
    EXPECT_EQ(ReadAll(Root / "game/OSTREL.EXE"), "new executable");
    EXPECT_EQ(std::distance(fs::directory_iterator(Root / "game"), fs::directory_iterator()), 1)
        << "copied beside the installed copy instead of over it";
    EXPECT_EQ(fs::last_write_time(Root / "game/OSTREL.EXE"), old) << "copy keeps the time of last write";
}

TEST_F(ShellTest, CopyResults)
{
    WriteAll(Root / "game/readonly.dat", "kept");
    fs::permissions(Root / "game/readonly.dat", fs::perms(0444));
    WriteAll(Root / "patch/readonly.dat", "new");
    const struct {
        const char *Label;
        std::string Command;
        int Status;
        std::string Out, Err;
    } cases[] = {
        {"wildcard, any letter case", "copy \"?.dat\" \"" + Game + "\"\n", 0, "        2 file(s) copied.\n", ""},
        {"to a file name", "copy a.dat \"" + Game + "/renamed.dat\"\n", 0, "        1 file(s) copied.\n", ""},
        {"missing source", "copy \"missing.dat\" \"" + Game + "\"\n", 1, "        0 file(s) copied.\n",
         "The system cannot find the file specified.\n"},
        {"read-only target", "copy \"readonly.dat\" \"" + Game + "\"\n", 1,
         "Access is denied.\n        0 file(s) copied.\n", ""},
        {"empty source", "copy \"\" \"" + Game + "\"\n", 1, "The syntax of the command is incorrect.\n", ""},
        {"other command", "del \"a.dat\"\n", 1, "",
         "'del' is not recognized as an internal or external command,\noperable program or batch file.\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        Result r = Interpret(c.Command);
        EXPECT_EQ(r.Status, c.Status);
        // The end of the output: a wildcard copy lists its files first.
        EXPECT_EQ(r.Out.substr(r.Out.size() - std::min(r.Out.size(), c.Out.size())), c.Out) << r.Out;
        EXPECT_EQ(r.Err, c.Err);
    }
    EXPECT_EQ(ReadAll(Root / "game/a.dat"), "a");
    EXPECT_EQ(ReadAll(Root / "game/B.DAT"), "b");
    EXPECT_EQ(ReadAll(Root / "game/renamed.dat"), "a");
    EXPECT_EQ(ReadAll(Root / "game/readonly.dat"), "kept");
    EXPECT_TRUE(fs::exists(Root / "patch/a.dat")) << "del is not a command here";
}

TEST_F(ShellTest, StartOpensTheViewerDetached)
{
    const fs::path log = Root / "viewer.log";
    const fs::path viewer = Root / "viewer.sh";
    WriteAll(viewer, "#!/bin/sh\necho \"$1\" > '" + log.string() + "'\n");
    fs::permissions(viewer, fs::perms::owner_all);

    setenv("TAILPATCH_NOTEPAD", viewer.c_str(), 1);
    setenv("TAILPATCH_WORDPAD", (Root / "no-such-viewer").c_str(), 1);
    EXPECT_EQ(Interpret("start notepad \"" + Game + "\\patch.txt\"").Status, 0);
    for (int i = 0; i < 100 && !fs::exists(log); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadAll(log), Game + "/patch.txt\n");

    EXPECT_NE(Interpret("start wordpad \"" + Game + "\\patch.txt\"").Status, 0);
    EXPECT_NE(Interpret("start paint \"" + Game + "\\patch.txt\"").Status, 0);
    unsetenv("TAILPATCH_NOTEPAD");
    unsetenv("TAILPATCH_WORDPAD");
}

}  // namespace
