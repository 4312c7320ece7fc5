// Windows paths natively: drive letters through the prefix, backslashes,
// names matched without regard to case; the read-only attribute; the free
// space of the current drive.
#include "platform/win32.h"
#include "platform/paths.h"

#include "test_files.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/statvfs.h>

namespace fs = std::filesystem;

namespace {

class FilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        Root = FreshTestFolder("files");
        fs::create_directories(Root / "prefix/drive_c/Games/Ostrel");
        fs::create_directories(Root / "prefix/dosdevices");
        fs::create_directories(Root / "cwd/Sub");
        fs::create_symlink("../drive_c", Root / "prefix/dosdevices/c:");
        std::ofstream(Root / "prefix/drive_c/Games/Ostrel/OSTREL.EXE") << "game";
        std::ofstream(Root / "cwd/Sub/Level.DAT") << "level";
        setenv("WINEPREFIX", (Root / "prefix").c_str(), 1);
        Previous = fs::current_path();
        fs::current_path(Root / "cwd");
    }
    void TearDown() override
    {
        fs::current_path(Previous);
        unsetenv("WINEPREFIX");
    }

    std::string Map(const std::string &windowsPath)
    {
        char out[PATH_MAX];
        EXPECT_EQ(MapWindowsPath(windowsPath.c_str(), out, sizeof out), 1) << windowsPath;
        return out;
    }

    fs::path Root, Previous;
};

TEST_F(FilesTest, MapsPathsAsWineDoes)
{
    const std::string drive = (Root / "prefix/dosdevices/c:").string();
    const struct {
        const char *Windows;
        std::string Local;
    } cases[] = {
        {"C:\\Games\\Ostrel\\OSTREL.EXE", drive + "/Games/Ostrel/OSTREL.EXE"},
        // An existing entry keeps its own spelling, whatever the case asked.
        {"c:\\games\\ostrel\\ostrel.exe", drive + "/Games/Ostrel/OSTREL.EXE"},
        // Past the first missing name, the rest is kept as given.
        {"C:\\Games\\New\\Dir\\File.txt", drive + "/Games/New/Dir/File.txt"},
        {"C:\\Games\\Ostrel\\patch.txt", drive + "/Games/Ostrel/patch.txt"},
        {"C:Games", drive + "/Games"},
        {"C:\\\\Games\\", drive + "/Games/"},
        // Without a drive: a path of this machine, relative ones included.
        {"sub\\level.dat", "Sub/Level.DAT"},
        {"sub/missing.dat", "Sub/missing.dat"},
        {"/tmp", "/tmp"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Map(c.Windows), c.Local) << c.Windows;

    char small[16];
    EXPECT_EQ(MapWindowsPath("C:\\Games\\Ostrel", small, sizeof small), 0) << "must not overflow";
}

TEST_F(FilesTest, FileCallsTakeWindowsPaths)
{
    FILE *f = PlatformFopen("c:\\GAMES\\ostrel\\ostrel.exe", "rb");
    ASSERT_NE(f, nullptr);
    char text[8] = {};
    EXPECT_EQ(fread(text, 1, sizeof text, f), 4u);
    EXPECT_STREQ(text, "game");
    fclose(f);

    EXPECT_EQ(_access("SUB\\LEVEL.DAT", 0), 0);
    EXPECT_EQ(_access("C:\\Games", 0), 0) << "a folder exists too";
    EXPECT_EQ(_access("C:\\Games\\none", 0), -1);
}

// The owner's write permission is the read-only attribute: cleared and set
// by _chmod, keeping every other bit, and honoured by remove even for root.
TEST_F(FilesTest, ReadOnlyAttribute)
{
    const fs::path file = Root / "cwd/Sub/Level.DAT";
    fs::permissions(file, fs::perms(0640));
    EXPECT_EQ(_chmod("sub\\level.dat", _S_IREAD), 0);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0440));
    EXPECT_NE(PlatformRemove("sub\\level.dat"), 0);
    EXPECT_TRUE(fs::exists(file));

    EXPECT_EQ(_chmod("sub\\level.dat", _S_IWRITE), 0);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_EQ(PlatformRemove("sub\\level.dat"), 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(_chmod("sub\\level.dat", _S_IWRITE), -1);
}

TEST_F(FilesTest, FreeSpaceOfTheCurrentDirectory)
{
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA(nullptr, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters));
    struct statvfs vfs;
    ASSERT_EQ(statvfs(".", &vfs), 0);
    EXPECT_EQ((unsigned long long)sectorsPerCluster * bytesPerSector, vfs.f_frsize);
    // The space this user may take, counted in 32-bit clusters.
    const unsigned long long expected = vfs.f_bavail > 0xFFFFFFFFu ? 0xFFFFFFFFu : vfs.f_bavail;
    EXPECT_NEAR((double)freeClusters, (double)expected, 4096.0) << "other writers may move it a little";
    EXPECT_GE(totalClusters, freeClusters);
}

}  // namespace
