// The installer end to end, as a player runs it: from the patch folder,
// with the required space, against a game registered in the registry.
//
// On Windows the tests run under Wine, whose cmd copies without a word
// ("1 file(s) copied." is never printed): there the exact command texts
// the interpreter received are checked instead of its console messages.
#include "installer_harness.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ostrel.exe";

bool IsReadOnly(const std::string &path)
{
    return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
}

std::string Quoted(const std::vector<std::string> &names)
{
    std::string trailer;
    for (size_t i = 0; i < names.size(); i++)
        trailer += (i ? "\r\n\"" : "\"") + names[i] + "\"";
    return trailer;
}

[[maybe_unused]] size_t Count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

// One case's folders: the registered game and the patch folder holding the
// packed installer and the patch files.
class InstallerTest : public testing::Test {
protected:
    void SetUp() override
    {
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        Root = FreshFolder(std::string("e2e/") + info->name());
        Game = MakeGameFolder(Root);
        RegisterGame(Root, Game.Windows);
        PatchDir = Root + "/patch";
        fs::create_directories(PatchDir);
    }

    void TearDown() override { UnregisterGame(Root); }

    void MakePatch(const std::string &trailer, const std::string &dir = "")
    {
        std::string stub = ReadAll(StubPath());
        ASSERT_EQ(stub.size(), (size_t)TAILPATCH_TRAILER_OFFSET) << StubPath();
        std::string path = (dir.empty() ? PatchDir : dir) + "/" + ProgramName("ostrel_patch");
        WriteAll(path, stub + trailer);
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    }

    void AddPatchFile(const std::string &name, const std::string &bytes, const std::string &dir = "")
    {
        WriteAll((dir.empty() ? PatchDir : dir) + "/" + name, bytes);
    }

    // The packed installer run by its own name, from the patch folder.
    InstallerLaunch Launch(std::vector<std::string> args, const std::string &answers, const std::string &dir = "")
    {
        InstallerLaunch launch;
        launch.Root = Root;
        launch.Dir = dir.empty() ? PatchDir : dir;
        launch.Program = ProgramName("ostrel_patch");
        launch.Argv0 = launch.Program;
        launch.Args = std::move(args);
        launch.Answers = answers;
        return launch;
    }

    InstallerRun Run(std::vector<std::string> args, const std::string &answers, const std::string &dir = "")
    {
        return RunInstaller(Launch(std::move(args), answers, dir));
    }

    std::string Root, PatchDir;
    GameFolder Game;
};

void ExpectBoxes(const InstallerRun &run, const std::vector<BoxSeen> &expected)
{
    ASSERT_EQ(run.Boxes.size(), expected.size()) << "stderr:\n" << run.Err;
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_EQ(run.Boxes[i].Caption, expected[i].Caption) << "box " << i;
        EXPECT_EQ(run.Boxes[i].Text, expected[i].Text) << "box " << i;
    }
}

const BoxSeen kReadMeQuestion = {"Patch applied successfully", "VIEW PATCH READ ME"};
const BoxSeen kNotInstalled = {"ERROR: Get Install Directory failed", "Game is not installed or install is corrupted"};

TEST_F(InstallerTest, UsageUnlessExactlyOneArgument)
{
    MakePatch("");
    for (const std::vector<std::string> &args : {std::vector<std::string>{}, {"100", "200"}}) {
        SCOPED_TRACE(std::to_string(args.size()) + " arguments");
        InstallerRun run = Run(args, "");
        EXPECT_NE(run.Status, 0);
        EXPECT_EQ(run.Err, "Usage for:\n" + ProgramName("ostrel_patch") + " [Required Disk Space in Bytes]\n\n");
        EXPECT_TRUE(run.Boxes.empty());
        EXPECT_EQ(run.Out, "");
    }
}

// A full install: the installed copy of the executable is read-only and
// differs from the patch's name in letter case; it is overwritten in place.
TEST_F(InstallerTest, InstallsEveryListedFileOverReadOnlyCopy)
{
    std::string installed = Game.Local + "/OSTREL.EXE";
    WriteAll(installed, "old executable");
    fs::permissions(installed, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_TRUE(IsReadOnly(installed));

    AddPatchFile("ostrel.exe", "new executable");
    AddPatchFile("patch.dat", std::string("data\0\r\n\x1a", 8));
    AddPatchFile("patch.txt", "read me");
    MakePatch(Quoted({"ostrel.exe", "patch.dat", "patch.txt"}));

    InstallerRun run = Run({"abc"}, "n");  // not a number: asks for 0 bytes

    EXPECT_EQ(run.Status, 0) << run.Err;
    ExpectBoxes(run, {kReadMeQuestion});
    EXPECT_EQ(ReadAll(installed), "new executable");
    EXPECT_EQ(ReadAll(Game.Local + "/patch.dat"), std::string("data\0\r\n\x1a", 8));
    EXPECT_EQ(ReadAll(Game.Local + "/patch.txt"), "read me");
#ifndef _WIN32
    EXPECT_EQ(Count(run.Out, "1 file(s) copied."), 3u) << run.Out;
#endif
    EXPECT_EQ(run.Out.rfind("Install path:" + Game.Windows + "\n", 0), 0u) << run.Out;
    EXPECT_TRUE(run.Viewers.empty());

    size_t entries = 0;
    for (const auto &e : fs::directory_iterator(Game.Local)) {
        (void)e;
        entries++;
    }
    EXPECT_EQ(entries, 3u) << "the executable was copied beside its installed copy";
#ifdef _WIN32
    const std::string dir = Game.Windows;
    EXPECT_EQ(run.Commands, (std::vector<std::string>{"copy \"ostrel.exe\" \"" + dir + "\"\n",
                                                      "copy \"patch.dat\" \"" + dir + "\"\n",
                                                      "copy \"patch.txt\" \"" + dir + "\"\n"}));
#endif
}

// Yes at the question opens the read-me in Notepad, or in WordPad when
// Notepad cannot be started.
TEST_F(InstallerTest, ReadMeOpensInNotepadOrWordPad)
{
    AddPatchFile("patch.txt", "read me");
    MakePatch(Quoted({"patch.txt"}));
    struct {
        bool NotepadStarts, WordpadStarts;
        std::vector<std::string> Tried;
        const char *Opened;
    } cases[] = {
        {true, true, {"notepad"}, "notepad"},
        {false, true, {"notepad", "wordpad"}, "wordpad"},
        {false, false, {"notepad", "wordpad"}, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string("notepad starts: ") + (c.NotepadStarts ? "yes" : "no") +
                     ", wordpad starts: " + (c.WordpadStarts ? "yes" : "no"));
        InstallerLaunch launch = Launch({"1"}, "y");
        launch.NotepadStarts = c.NotepadStarts;
        launch.WordpadStarts = c.WordpadStarts;
        InstallerRun run = RunInstaller(launch);

        EXPECT_EQ(run.Status, 0) << run.Err;
        ExpectBoxes(run, {kReadMeQuestion});
        if (c.Opened) {
            ASSERT_EQ(run.Viewers.size(), 1u);
            EXPECT_EQ(run.Viewers[0].Viewer, c.Opened);
            EXPECT_TRUE(fs::equivalent(run.Viewers[0].File, Game.Local + "/patch.txt")) << run.Viewers[0].File;
        } else {
            EXPECT_TRUE(run.Viewers.empty());
        }
#ifdef _WIN32
        std::vector<std::string> expected = {"copy \"patch.txt\" \"" + Game.Windows + "\"\n"};
        for (const std::string &viewer : c.Tried)
            expected.push_back("start " + viewer + " \"" + Game.Windows + "\\patch.txt\"");
        EXPECT_EQ(run.Commands, expected);
#endif
    }
}

#ifdef _WIN32
// The read-me command as the system's own interpreter runs it: Notepad
// opens patch.txt of the install directory.
TEST_F(InstallerTest, ReadMeOpensInTheSystemsNotepad)
{
    AddPatchFile("patch.txt", "read me");
    MakePatch(Quoted({"patch.txt"}));
    InstallerLaunch launch = Launch({"1"}, "y");
    launch.RealViewers = true;
    InstallerRun run = RunInstaller(launch);

    EXPECT_EQ(run.Status, 0) << run.Err;
    ExpectBoxes(run, {kReadMeQuestion});
    EXPECT_EQ(run.ViewerWindows, std::vector<std::string>{"patch.txt - Notepad"});
}
#endif

TEST_F(InstallerTest, EmptyTrailerStillReportsSuccess)
{
    MakePatch("");
    InstallerRun run = Run({"0"}, "n");
    EXPECT_EQ(run.Status, 0);
    ExpectBoxes(run, {kReadMeQuestion});
    EXPECT_EQ(run.Out, "Install path:" + Game.Windows + "\n");
    EXPECT_TRUE(fs::is_empty(Game.Local));
}

// A copy that fails is counted: the rest are still copied, but the run
// ends in an error and does not claim success.
TEST_F(InstallerTest, MissingSourceFailsTheRunAfterTheOtherCopies)
{
    AddPatchFile("patch.txt", "read me");
    MakePatch(Quoted({"missing.dat", "patch.txt"}));
    InstallerRun run = Run({"10"}, "o");
    EXPECT_NE(run.Status, 0);
    ExpectBoxes(run, {{"ERROR: Patch failed", "1 of 2 patch files could not be copied. The patch is incomplete."}});
    EXPECT_EQ(ReadAll(Game.Local + "/patch.txt"), "read me");
    EXPECT_FALSE(fs::exists(Game.Local + "/missing.dat"));
#ifdef _WIN32
    EXPECT_EQ(run.Commands.size(), 2u);
#else
    EXPECT_NE(run.Out.find("0 file(s) copied."), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("1 file(s) copied."), std::string::npos) << run.Out;
#endif
}

TEST_F(InstallerTest, RegistryFailuresShowTwoBoxes)
{
    MakePatch(Quoted({"patch.txt"}));
    AddPatchFile("patch.txt", "read me");
    struct {
        const char *Label;
        void (*Register)(const std::string &root);
        BoxSeen First;
    } cases[] = {
        {"no key", [](const std::string &root) { UnregisterGame(root); },
         {"ERROR: could not open registry key", kKey}},
        {"value of 300 characters", [](const std::string &root) { RegisterGame(root, std::string(300, 'x')); },
         {"ERROR: querry on key name failed", std::string("KeyName:\"") + kKey + "\\Path\" Required Buffer Size:301"}},
        // 256 bytes with no terminator would be read past the block.
        {"256 bytes unterminated",
         [](const std::string &root) { RegisterGameBinary(root, std::vector<unsigned char>(256, 'C')); },
         {"ERROR: querry on key name failed", std::string("KeyName:\"") + kKey + "\\Path\" Required Buffer Size:257"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        c.Register(Root);
        InstallerRun run = Run({"1"}, "oo");
        EXPECT_NE(run.Status, 0);
        ExpectBoxes(run, {c.First, kNotInstalled});
        EXPECT_EQ(run.Out, "");
        EXPECT_FALSE(fs::exists(Game.Local + "/patch.txt"));
    }
}

TEST_F(InstallerTest, UnopenableProgramFileIsReported)
{
    AddPatchFile("patch.txt", "read me");
    MakePatch(Quoted({"patch.txt"}));
    InstallerLaunch launch = Launch({"1"}, "o");
    launch.Argv0 = "ostrel_patch_renamed";
    InstallerRun run = RunInstaller(launch);
    EXPECT_NE(run.Status, 0);
    ExpectBoxes(run, {{"ERROR: Cannot open the installer",
                       "Could not open \"ostrel_patch_renamed\" to read the list of patch files."}});
    EXPECT_EQ(run.Out, "Install path:" + Game.Windows + "\n");
    EXPECT_FALSE(fs::exists(Game.Local + "/patch.txt"));
}

// Nothing cut short is ever copied: a name or path that does not fit its
// buffer ends the run before that entry, naming it by its first bytes.
TEST_F(InstallerTest, OverlongEntriesEndTheRunUncopied)
{
    AddPatchFile("patch.txt", "read me");
    const std::string longName(300, 'n');
    // Fits the name buffer, but not with the install path before it.
    const std::string longPath(250, 'p');
    struct {
        const char *Label;
        std::string Entry;
        BoxSeen Box;
    } cases[] = {
        {"name over 255 bytes", longName,
         {"ERROR: Patch entry too long",
          "The name for the patch entry \"" + longName.substr(0, 48) + "...\" does not fit in 255 bytes."}},
        {"target path over 255 bytes", longPath,
         {"ERROR: Target path too long",
          "The target path for the patch entry \"" + longPath.substr(0, 48) + "...\" does not fit in 255 bytes."}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Label);
        MakePatch(Quoted({"patch.txt", c.Entry}));
        InstallerRun run = Run({"1"}, "o");
        EXPECT_NE(run.Status, 0);
        ExpectBoxes(run, {c.Box});
        EXPECT_EQ(ReadAll(Game.Local + "/patch.txt"), "read me");
#ifdef _WIN32
        EXPECT_EQ(run.Commands, (std::vector<std::string>{"copy \"patch.txt\" \"" + Game.Windows + "\"\n"}));
#else
        EXPECT_EQ(Count(run.Out, "1 file(s) copied."), 1u) << run.Out;
#endif
    }
}

// The free space is compared in 64 bits and the request taken as an
// unsigned 32-bit count: a drive with 4 GiB + 1 MiB free takes a 2 MiB
// patch (its 32-bit product would be 1 MiB), and -1 asks for 4294967295.
TEST_F(InstallerTest, FreeSpaceAgainstTheRequest)
{
    struct {
        const char *Drive;
        unsigned long long Size;
        const char *Required;
        bool Passes;
    } cases[] = {
        {"small", 1ull << 20, "-1", false},
        {"small", 1ull << 20, "2097152", false},
        {"big", (4ull << 30) + (1ull << 20), "2097152", true},
    };
    AddPatchFile("patch.txt", "read me");
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Drive) + " drive, " + c.Required);
        std::string why;
        std::string drive = SmallDrive(c.Drive, c.Size, &why);
        if (drive.empty())
            GTEST_SKIP() << why;
        std::string dir = drive + "/patch";
        fs::create_directories(dir);
        AddPatchFile("patch.txt", "read me", dir);
        MakePatch(Quoted({"patch.txt"}), dir);
        InstallerRun run = Run({c.Required}, c.Passes ? "n" : "o", dir);
        ReleaseSmallDrive(c.Drive);
        if (c.Passes) {
            EXPECT_EQ(run.Status, 0) << run.Err;
            ExpectBoxes(run, {kReadMeQuestion});
        } else {
            unsigned required = (unsigned)std::stol(c.Required);
            EXPECT_NE(run.Status, 0);
            ExpectBoxes(run, {{"ERROR: Insufficient disk space",
                               "Patch requires " + std::to_string(required) + " bytes free disk space."}});
        }
    }
}

}  // namespace
