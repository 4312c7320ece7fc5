// Numbered part files: split, join and remove on real files, small sets
// for the naming and set rules, and sets of real 100 MiB parts for the
// transfer and the faults a user's disk produces. Every case checks what is
// left on disk and in the stream afterwards.
#include "installer/parts.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/os.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const char kSep = '\\';
const char kFullDevice[] = "Z:\\dev\\full";
#else
const char kSep = '/';
const char kFullDevice[] = "/dev/full";
#endif

const long kP = 100L << 20;  // bytes in a part of the smallest size

// An empty scratch folder of the build for one case.
std::string FreshDir(const std::string &name)
{
    std::string dir = std::string(TAILPATCH_TEST_WORK) + kSep + "parts" + kSep + name;
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir);
    return dir;
}

std::string PartPath(const std::string &dir, int number, const char *prefix = "data", const char *suffix = ".bin")
{
    return dir + kSep + prefix + std::to_string(number) + suffix;
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(std::fclose(f), 0);
}

std::string ReadFile(const std::string &path)
{
    std::string bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0)
        bytes.append(block, n);
    std::fclose(f);
    return bytes;
}

// Everything written to a progress stream so far.
std::string Drain(FILE *stream)
{
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    int c;
    while ((c = std::fgetc(stream)) != EOF)
        text += (char)c;
    return text;
}

// The files of a folder with their sizes, to compare a whole folder at once.
std::map<std::string, uintmax_t> Listing(const std::string &dir)
{
    std::map<std::string, uintmax_t> files;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(dir, ec))
        files[e.path().filename().string()] = e.is_regular_file() ? e.file_size() : UINTMAX_MAX;
    return files;
}

// Answers "" when `length` bytes of `a` from `aOffset` equal those of `b`
// from `bOffset` and `a` holds no more; otherwise where they first differ.
std::string CompareRange(const std::string &a, const std::string &b, long bOffset, long length)
{
    FILE *fa = fopen(a.c_str(), "rb");
    FILE *fb = fopen(b.c_str(), "rb");
    std::string result;
    if (!fa || !fb || std::fseek(fb, bOffset, SEEK_SET) != 0) {
        result = "cannot open " + a + " or " + b;
    } else {
        std::vector<char> ba(1 << 20), bb(1 << 20);
        long done = 0;
        while (result.empty() && done < length) {
            size_t want = (size_t)std::min<long>(length - done, (long)ba.size());
            size_t na = std::fread(ba.data(), 1, want, fa);
            size_t nb = std::fread(bb.data(), 1, want, fb);
            if (na != want || nb != want)
                result = a + " is shorter than expected at " + std::to_string(done + (long)na);
            else if (std::memcmp(ba.data(), bb.data(), want) != 0)
                result = a + " differs within the block at " + std::to_string(done);
            done += (long)want;
        }
        if (result.empty() && std::fgetc(fa) != EOF)
            result = a + " holds more than " + std::to_string(length) + " bytes";
    }
    if (fa)
        std::fclose(fa);
    if (fb)
        std::fclose(fb);
    return result;
}

// ---- argument refusals ----------------------------------------------------

class PartsArgumentsTest : public testing::Test {
protected:
    void SetUp() override
    {
        Dir = FreshDir("arguments");
        WriteFile(PartPath(Dir, 1), "part one");
        Source = std::tmpfile();
        Progress = std::tmpfile();
        ASSERT_TRUE(Source && Progress);
        ASSERT_GE(std::fputs("source bytes", Source), 0);
        std::rewind(Source);
    }
    void TearDown() override
    {
        std::fclose(Source);
        std::fclose(Progress);
    }
    // Nothing written, created, deleted or read.
    void ExpectUntouched()
    {
        EXPECT_EQ(Drain(Progress), "");
        EXPECT_EQ(Listing(Dir), (std::map<std::string, uintmax_t>{{"data1.bin", 8}}));
        EXPECT_EQ(ReadFile(PartPath(Dir, 1)), "part one");
        EXPECT_EQ(std::ftell(Source), 0);
    }
    std::string Dir;
    FILE *Source = nullptr;
    FILE *Progress = nullptr;
};

TEST_F(PartsArgumentsTest, SplitRefusesSizesOutsideTheRangeAndNullNames)
{
    struct Case {
        const char *Label;
        bool NullSource;
        bool NullDir;
        int Megabytes;
        const char *Prefix;
        const char *Suffix;
    };
    const Case cases[] = {
        {"99 MB", false, false, 99, "data", ".bin"},
        {"0 MB", false, false, 0, "data", ".bin"},
        {"negative", false, false, -1, "data", ".bin"},
        {"lowest int", false, false, INT_MIN, "data", ".bin"},
        // These shift to a negative or zero byte count.
        {"2048 MB", false, false, 2048, "data", ".bin"},
        {"4096 MB", false, false, 4096, "data", ".bin"},
        {"highest int", false, false, INT_MAX, "data", ".bin"},
        {"null source", true, false, 100, "data", ".bin"},
        {"null directory", false, true, 100, "data", ".bin"},
        {"null prefix", false, false, 100, nullptr, ".bin"},
        {"null suffix", false, false, 100, "data", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Label);
        EXPECT_EQ(SplitToPartsReporting(c.NullSource ? nullptr : Source, c.NullDir ? nullptr : Dir.c_str(),
                                        c.Megabytes, c.Prefix, c.Suffix, Progress),
                  1);
        ExpectUntouched();
    }
}

TEST_F(PartsArgumentsTest, JoinAndRemoveRefuseNullArguments)
{
    struct Case {
        const char *Label;
        bool NullStream;
        bool NullDir;
        const char *Prefix;
        const char *Suffix;
    };
    const Case cases[] = {
        {"null stream", true, false, "data", ".bin"},
        {"null directory", false, true, "data", ".bin"},
        {"null prefix", false, false, nullptr, ".bin"},
        {"null suffix", false, false, "data", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Label);
        const char *dir = c.NullDir ? nullptr : Dir.c_str();
        EXPECT_EQ(JoinPartsReporting(c.NullStream ? nullptr : Source, dir, c.Prefix, c.Suffix, 1, Progress), 1);
        ExpectUntouched();
        if (!c.NullStream) {
            EXPECT_EQ(RemoveParts(dir, c.Prefix, c.Suffix), 1);
            ExpectUntouched();
        }
    }
}

// ---- sets smaller than a part: naming and set rules ----------------------

TEST(SplitSmallTest, SourceEndAndStartingPosition)
{
    struct Case {
        const char *Label;
        std::string Content;
        int ReadFirst;  // bytes the caller read before the split, past the end when larger
        std::vector<std::string> Parts;
        const char *Progress;
    };
    const Case cases[] = {
        {"empty file just opened", "", 0, {""}, "data1.bin...DONE\n"},
        {"last byte just read", "abc", 3, {""}, "data1.bin...DONE\n"},
        {"end already seen", "abc", 4, {}, "DONE\n"},
        {"from the caller's position", "abcdef", 2, {"cdef"}, "data1.bin...DONE\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Label);
        std::string dir = FreshDir("split-small");
        FILE *source = std::tmpfile();
        FILE *progress = std::tmpfile();
        ASSERT_TRUE(source && progress);
        std::fwrite(c.Content.data(), 1, c.Content.size(), source);
        std::rewind(source);
        std::vector<char> skipped(c.ReadFirst + 1);
        std::fread(skipped.data(), 1, c.ReadFirst, source);

        EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 0);
        EXPECT_EQ(Drain(progress), c.Progress);
        EXPECT_EQ(Listing(dir).size(), c.Parts.size());
        for (size_t i = 0; i < c.Parts.size(); i++)
            EXPECT_EQ(ReadFile(PartPath(dir, (int)i + 1)), c.Parts[i]);
        std::fclose(source);
        std::fclose(progress);
    }
}

// The ends of the range are taken: the refusal of 2048 and up must not
// reach 2047.
TEST(SplitSmallTest, TakesSizesAtBothEndsOfTheRange)
{
    for (int megabytes : {kMinPartMegabytes, kMaxPartMegabytes}) {
        SCOPED_TRACE(megabytes);
        std::string dir = FreshDir("split-range");
        FILE *source = std::tmpfile();
        FILE *progress = std::tmpfile();
        ASSERT_TRUE(source && progress);
        std::fputs("abc", source);
        std::rewind(source);
        EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), megabytes, "data", ".bin", progress), 0);
        EXPECT_EQ(Drain(progress), "data1.bin...DONE\n");
        EXPECT_EQ(ReadFile(PartPath(dir, 1)), "abc");
        std::fclose(source);
        std::fclose(progress);
    }
}

TEST(SplitSmallTest, MissingDirectoryCreatesNothingAndReadsNothing)
{
    std::string parent = FreshDir("split-missing");
    std::string dir = parent + kSep + "not-there";
    FILE *source = std::tmpfile();
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(source && progress);
    std::fputs("abc", source);
    std::rewind(source);

    EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 1);
    EXPECT_EQ(Drain(progress), "data1.bin...ERROR\n");
    EXPECT_TRUE(Listing(parent).empty());
    EXPECT_EQ(std::ftell(source), 0);
    std::fclose(source);
    std::fclose(progress);
}

TEST(SplitSmallTest, OverAnEarlierSetKeepsItsHigherParts)
{
    std::string dir = FreshDir("split-over");
    for (int n = 1; n <= 3; n++)
        WriteFile(PartPath(dir, n), "old" + std::to_string(n));
    FILE *source = std::tmpfile();
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(source && progress);
    std::fputs("new", source);
    std::rewind(source);

    EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 0);
    EXPECT_EQ(ReadFile(PartPath(dir, 1)), "new");
    EXPECT_EQ(ReadFile(PartPath(dir, 2)), "old2");
    EXPECT_EQ(ReadFile(PartPath(dir, 3)), "old3");
    std::fclose(source);
    std::fclose(progress);
}

// The plain operations report on the standard output.
TEST(SplitSmallTest, PlainOperationsWriteProgressToStandardOutput)
{
    std::string dir = FreshDir("stdout");
    FILE *source = std::tmpfile();
    FILE *dest = std::tmpfile();
    ASSERT_TRUE(source && dest);
    std::fputs("abc", source);
    std::rewind(source);

    testing::internal::CaptureStdout();
    int split = SplitToParts(source, dir.c_str(), 100, "p", ".s");
    int join = JoinParts(dest, dir.c_str(), "p", ".s");
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    // The standard output of a Windows program ends its lines with CR LF.
    for (size_t at; (at = out.find("\r\n")) != std::string::npos;)
        out.erase(at, 1);
    EXPECT_EQ(out, "p1.s...DONE\np1.s...p2.s...DONE\n");
    EXPECT_EQ(split, 0);
    EXPECT_EQ(join, 0);
    EXPECT_EQ(Drain(dest), "abc");
    EXPECT_TRUE(Listing(dir).empty());
    std::fclose(source);
    std::fclose(dest);
}

TEST(JoinSmallTest, JoinsTheRunFromOneAndStopsAtTheFirstGap)
{
    struct Case {
        const char *Label;
        std::map<int, std::string> Parts;
        std::string Joined;                  // appended after "pre"
        std::vector<std::string> Remaining;  // file names left
        const char *Progress;
    };
    const Case cases[] = {
        {"no part 1", {{2, "x"}}, "", {"data2.bin"}, "data1.bin...DONE\n"},
        {"three parts, one empty",
         {{1, "abc"}, {2, ""}, {3, "de"}},
         "abcde",
         {},
         "data1.bin...data2.bin...data3.bin...data4.bin...DONE\n"},
        {"a gap ends the set", {{1, "ab"}, {2, "cd"}, {4, "ef"}}, "abcd", {"data4.bin"},
         "data1.bin...data2.bin...data3.bin...DONE\n"},
        {"ten and more", {{1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {6, "6"}, {7, "7"}, {8, "8"}, {9, "9"}, {10, "A"}, {11, "B"}},
         "123456789AB", {},
         "data1.bin...data2.bin...data3.bin...data4.bin...data5.bin...data6.bin...data7.bin...data8.bin..."
         "data9.bin...data10.bin...data11.bin...data12.bin...DONE\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Label);
        std::string dir = FreshDir("join-small");
        for (const auto &p : c.Parts)
            WriteFile(PartPath(dir, p.first), p.second);
        FILE *dest = std::tmpfile();
        FILE *progress = std::tmpfile();
        ASSERT_TRUE(dest && progress);
        std::fputs("pre", dest);

        EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 0);
        EXPECT_EQ(Drain(progress), c.Progress);
        EXPECT_EQ(Drain(dest), "pre" + c.Joined);
        std::vector<std::string> remaining;
        for (const auto &f : Listing(dir))
            remaining.push_back(f.first);
        EXPECT_EQ(remaining, c.Remaining);
        std::fclose(dest);
        std::fclose(progress);
    }
}

TEST(RemoveSmallTest, RemovesTheRunFromOne)
{
    std::string dir = FreshDir("remove");
    EXPECT_EQ(RemoveParts(dir.c_str(), "data", ".bin"), 0);
    for (int n : {1, 2, 3, 5})
        WriteFile(PartPath(dir, n), "x");
    WriteFile(dir + kSep + "data1.txt", "other suffix");
    EXPECT_EQ(RemoveParts(dir.c_str(), "data", ".bin"), 0);
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"data1.txt", 12}, {"data5.bin", 1}}));
}

// A name fits with 255 characters; one more is refused before any file of
// that name is touched, also when only a longer number makes it too long.
TEST(PartNameTest, TooLongNamesStopBeforeTouchingTheirFile)
{
    std::string base = FreshDir("names");
    // base + sep + padding + sep + "d" + "9" + ".b" is 255 characters.
    size_t padding = 255 - base.size() - 1 - 1 - 1 - 1 - 2;
    ASSERT_LT(padding, 250u);
    std::string dir = base + kSep + std::string(padding, 'n');
    fs::create_directories(dir);
    ASSERT_EQ(PartPath(dir, 9, "d", ".b").size(), 255u);
    for (int n = 1; n <= 10; n++)
        WriteFile(PartPath(dir, n, "d", ".b"), std::to_string(n));

    FILE *dest = std::tmpfile();
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);
    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "d", ".b", 1, progress), 1);
    EXPECT_EQ(Drain(dest), "123456789");
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"d10.b", 2}}));
    EXPECT_EQ(Drain(progress).substr(9 * 7), "d10.b...ERROR\n");

    for (int n = 1; n <= 9; n++)
        WriteFile(PartPath(dir, n, "d", ".b"), "x");
    EXPECT_EQ(RemoveParts(dir.c_str(), "d", ".b"), 1);
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"d10.b", 2}}));

    // A suffix one longer does not fit even for part 1.
    WriteFile(PartPath(dir, 1, "d", ".bb"), "keep");
    FILE *source = std::tmpfile();
    FILE *progress2 = std::tmpfile();
    ASSERT_TRUE(source && progress2);
    std::fputs("abc", source);
    std::rewind(source);
    EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "d", ".bb", progress2), 1);
    EXPECT_EQ(Drain(progress2), "d1.bb...ERROR\n");
    EXPECT_EQ(std::ftell(source), 0);
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"d1.bb", 4}, {"d10.b", 2}}));
    std::fclose(source);
    std::fclose(progress2);
    std::fclose(dest);
    std::fclose(progress);
}

#ifndef _WIN32
// A stream on a directory opens but every read fails without reaching the
// end: without a check of the error the copy loops would never end.
TEST(ReadErrorTest, EndsWithErrorAndKeepsThePart)
{
    std::string dir = FreshDir("read-error");
    FILE *source = fopen(dir.c_str(), "rb");
    ASSERT_NE(source, nullptr);
    FILE *progress = std::tmpfile();
    EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 1);
    EXPECT_EQ(Drain(progress), "data1.bin...ERROR\n");
    std::fclose(source);

    fs::remove_all(PartPath(dir, 1));
    fs::create_directory(PartPath(dir, 2));
    WriteFile(PartPath(dir, 1), "one");
    FILE *dest = std::tmpfile();
    FILE *progress2 = std::tmpfile();
    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress2), 1);
    EXPECT_EQ(Drain(progress2), "data1.bin...data2.bin...ERROR\n");
    EXPECT_EQ(Drain(dest), "one");
    EXPECT_TRUE(fs::is_directory(PartPath(dir, 2)));
    EXPECT_FALSE(fs::exists(PartPath(dir, 1)));
    std::fclose(dest);
    std::fclose(progress);
    std::fclose(progress2);
}

// A part whose buffered bytes only fail when it is closed.
TEST(WriteErrorTest, SplitReportsAPartThatFailsToClose)
{
    std::string dir = FreshDir("close-error");
    fs::create_symlink("/dev/full", PartPath(dir, 1));
    FILE *source = std::tmpfile();
    FILE *progress = std::tmpfile();
    std::fputs("abc", source);
    std::rewind(source);
    EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 1);
    EXPECT_EQ(Drain(progress), "data1.bin...ERROR\n");
    std::fclose(source);
    std::fclose(progress);
}
#endif

// ---- real parts of 100 MiB -------------------------------------------------

// The source: 2P + 1 bytes, sparse, with a distinct 8-byte mark in every
// MiB at a shifting offset and on the bytes around each part boundary, so
// a block lost, doubled or shifted shows. The set: the source split once,
// which cases link into their own folders instead of copying.
class PartsLargeTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Root = FreshDir("large");
        SourcePath = Root + kSep + "source.bin";
        FILE *f = fopen(SourcePath.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (long k = 0; k * (1L << 20) < 2 * kP; k++) {
            uint64_t mark = (uint64_t)(k + 1) * 0x9E3779B97F4A7C15ull;
            std::fseek(f, k * (1L << 20) + (k * 37) % 4096, SEEK_SET);
            std::fwrite(&mark, 1, sizeof mark, f);
        }
        for (long at : {kP - 1, kP, kP + 1, 2 * kP - 1, 2 * kP}) {
            unsigned char b = (unsigned char)(0xA0 + at % 7);
            std::fseek(f, at, SEEK_SET);
            std::fwrite(&b, 1, 1, f);
        }
        ASSERT_EQ(std::fclose(f), 0);
        ASSERT_EQ(fs::file_size(SourcePath), (uintmax_t)(2 * kP + 1));

        SetDir = Root + kSep + "set";
        fs::create_directories(SetDir);
        FILE *source = fopen(SourcePath.c_str(), "rb");
        FILE *progress = std::tmpfile();
        ASSERT_EQ(SplitToPartsReporting(source, SetDir.c_str(), 100, "data", ".bin", progress), 0);
        std::fclose(source);
        std::fclose(progress);
    }
    static void TearDownTestSuite()
    {
        std::error_code ec;
        fs::remove_all(Root, ec);
    }

    // A folder holding links to the given parts of the set.
    static std::string LinkParts(const std::string &name, std::initializer_list<int> numbers)
    {
        std::string dir = Root + kSep + name;
        std::error_code ec;
        fs::remove_all(dir, ec);
        fs::create_directories(dir);
        for (int n : numbers)
            fs::create_hard_link(PartPath(SetDir, n), PartPath(dir, n));
        return dir;
    }

    static std::string Root, SourcePath, SetDir;
};
std::string PartsLargeTest::Root, PartsLargeTest::SourcePath, PartsLargeTest::SetDir;

TEST_F(PartsLargeTest, SplitGivesFullPartsAndALastPartOfWhatIsLeft)
{
    struct Case {
        const char *Label;
        long Start;  // the source's position when the split begins
        long LastPart;
    };
    // From 1, 2P bytes remain: the third part is empty.
    const Case cases[] = {{"2P + 1 bytes", 0, 1}, {"exactly 2P bytes", 1, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Label);
        std::string dir = Root + kSep + "split";
        std::error_code ec;
        fs::remove_all(dir, ec);
        fs::create_directories(dir);
        FILE *source = fopen(SourcePath.c_str(), "rb");
        FILE *progress = std::tmpfile();
        ASSERT_TRUE(source && progress);
        std::fseek(source, c.Start, SEEK_SET);

        EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 0);
        EXPECT_EQ(Drain(progress), "data1.bin...data2.bin...data3.bin...DONE\n");
        EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{
                                    {"data1.bin", kP}, {"data2.bin", kP}, {"data3.bin", c.LastPart}}));
        for (int n = 1; n <= 3; n++)
            EXPECT_EQ(CompareRange(PartPath(dir, n), SourcePath, c.Start + (n - 1) * kP, n < 3 ? kP : c.LastPart),
                      "");
        std::fclose(source);
        std::fclose(progress);
        fs::remove_all(dir, ec);
    }
}

// Each read asks for no more than the part lacks: when part 2 cannot be
// created the source stands just after part 1's bytes.
TEST_F(PartsLargeTest, SplitStopsAtAPartItCannotCreate)
{
    std::string dir = LinkParts("split-blocked", {});
    fs::create_directory(PartPath(dir, 2));
    FILE *source = fopen(SourcePath.c_str(), "rb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(source && progress);

    EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 1);
    EXPECT_EQ(Drain(progress), "data1.bin...data2.bin...ERROR\n");
    EXPECT_EQ(std::ftell(source), kP);
    EXPECT_EQ(CompareRange(PartPath(dir, 1), SourcePath, 0, kP), "");
    std::fclose(source);
    std::fclose(progress);
}

TEST_F(PartsLargeTest, JoinRebuildsTheSourceAndDeletesEveryPart)
{
    std::string dir = LinkParts("join", {1, 2, 3});
    std::string destPath = Root + kSep + "joined.bin";
    FILE *dest = fopen(destPath.c_str(), "wb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);

    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 0);
    EXPECT_EQ(Drain(progress), "data1.bin...data2.bin...data3.bin...data4.bin...DONE\n");
    // On disk before the stream is closed: the join flushed it.
    EXPECT_EQ(CompareRange(destPath, SourcePath, 0, 2 * kP + 1), "");
    EXPECT_TRUE(Listing(dir).empty());
    std::fclose(dest);
    std::fclose(progress);
    fs::remove_all(destPath);
}

TEST_F(PartsLargeTest, JoinToAFullDeviceDeletesNothing)
{
    std::string dir = LinkParts("full", {1, 2, 3});
    FILE *dest = fopen(kFullDevice, "wb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);

    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 1);
    EXPECT_EQ(Drain(progress), "data1.bin...ERROR\n");
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"data1.bin", kP}, {"data2.bin", kP}, {"data3.bin", 1}}));
    std::fclose(dest);

    // A part small enough to stay in the stream's buffer fails only when
    // the stream is flushed.
    std::string small = LinkParts("full-small", {});
    WriteFile(PartPath(small, 1), "abc");
    dest = fopen(kFullDevice, "wb");
    FILE *progress2 = std::tmpfile();
    ASSERT_TRUE(dest && progress2);
    EXPECT_EQ(JoinPartsReporting(dest, small.c_str(), "data", ".bin", 1, progress2), 1);
    EXPECT_EQ(Drain(progress2), "data1.bin...ERROR\n");
    EXPECT_EQ(ReadFile(PartPath(small, 1)), "abc");
    std::fclose(dest);
    std::fclose(progress);
    std::fclose(progress2);
}

// A part that holds the middle of a set gone missing: the set ends there,
// the parts before it are joined and the later ones wait.
TEST_F(PartsLargeTest, JoinWithAMissingMiddlePartKeepsTheRest)
{
    std::string dir = LinkParts("gap", {1, 3});
    std::string destPath = Root + kSep + "gap.bin";
    FILE *dest = fopen(destPath.c_str(), "wb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);

    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 0);
    EXPECT_EQ(Drain(progress), "data1.bin...data2.bin...DONE\n");
    EXPECT_EQ(CompareRange(destPath, SourcePath, 0, kP), "");
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"data3.bin", 1}}));
    std::fclose(dest);
    std::fclose(progress);
    fs::remove_all(destPath);
}

TEST_F(PartsLargeTest, JoinFromAMissingDirectoryLeavesTheDestination)
{
    std::string destPath = Root + kSep + "nodir.bin";
    WriteFile(destPath, "kept");
    FILE *dest = fopen(destPath.c_str(), "ab");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);
    std::string dir = Root + kSep + "no-such-folder";

    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 0);
    EXPECT_EQ(Drain(progress), "data1.bin...DONE\n");
    std::fclose(dest);
    EXPECT_EQ(ReadFile(destPath), "kept");
    EXPECT_EQ(RemoveParts(dir.c_str(), "data", ".bin"), 0);
    std::fclose(progress);
    fs::remove_all(destPath);
}

// A read-only part is joined but cannot be deleted: it stays, and the join
// goes on with the next number.
TEST_F(PartsLargeTest, JoinKeepsAReadOnlyPartAndGoesOn)
{
    std::string dir = LinkParts("read-only", {1, 2, 3});
    // The link shares the set's file: its attribute is put back at the end.
    ASSERT_EQ(_chmod(PartPath(dir, 2).c_str(), _S_IREAD), 0);
    std::string destPath = Root + kSep + "read-only.bin";
    FILE *dest = fopen(destPath.c_str(), "wb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);

    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 0);
    EXPECT_EQ(Drain(progress), "data1.bin...data2.bin...data3.bin...data4.bin...DONE\n");
    EXPECT_EQ(CompareRange(destPath, SourcePath, 0, 2 * kP + 1), "");
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"data2.bin", kP}}));
    std::fclose(dest);
    std::fclose(progress);
    _chmod(PartPath(dir, 2).c_str(), _S_IREAD | _S_IWRITE);
    fs::remove_all(destPath);
}

#ifndef _WIN32
// Keeps every entry of a folder from being deleted: without write
// permission for an ordinary user, and, since root ignores that, with the
// immutable flag for root.
class UndeletableFolder {
public:
    explicit UndeletableFolder(const std::string &dir) : Dir(dir)
    {
        if (geteuid() != 0) {
            Held = chmod(dir.c_str(), 0555) == 0;
            How = "without write permission";
            return;
        }
        How = "immutable";
        int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            Held = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0)
            close(fd);
    }
    ~UndeletableFolder()
    {
        if (!Held)
            return;
        if (geteuid() != 0) {
            chmod(Dir.c_str(), 0755);
            return;
        }
        int fd = open(Dir.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            close(fd);
    }
    std::string Dir;
    const char *How = "";
    bool Held = false;
};

TEST_F(PartsLargeTest, JoinFromAFolderThatKeepsItsEntries)
{
    std::string dir = LinkParts("undeletable", {1, 2, 3});
    std::string destPath = Root + kSep + "undeletable.bin";
    FILE *dest = fopen(destPath.c_str(), "wb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);
    {
        UndeletableFolder hold(dir);
        if (!hold.Held)
            GTEST_SKIP() << "this file system cannot keep a folder's entries (" << hold.How << ")";
        SCOPED_TRACE(hold.How);
        EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 0);
        EXPECT_EQ(Drain(progress), "data1.bin...data2.bin...data3.bin...data4.bin...DONE\n");
        EXPECT_EQ(CompareRange(destPath, SourcePath, 0, 2 * kP + 1), "");
        EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{
                                    {"data1.bin", kP}, {"data2.bin", kP}, {"data3.bin", 1}}));
    }
    std::fclose(dest);
    std::fclose(progress);
    fs::remove_all(destPath);
}

// A file size limit stands in for a disk that fills up in the middle of a
// part: the writes of part 2 fail part way through it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &Saved);
        OldHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit lower = Saved;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Saved);
        signal(SIGXFSZ, OldHandler);
    }
    struct rlimit Saved;
    void (*OldHandler)(int);
};

TEST_F(PartsLargeTest, JoinCutsTheDestinationBackAndAgainCompletesIt)
{
    std::string dir = LinkParts("disk-full", {1, 2, 3});
    std::string destPath = Root + kSep + "disk-full.bin";
    FILE *dest = fopen(destPath.c_str(), "wb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(dest && progress);
    {
        FileSizeLimit limit(kP + kP / 2);
        EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 1, progress), 1);
    }
    EXPECT_EQ(Drain(progress), "data1.bin...data2.bin...ERROR\n");
    std::fclose(dest);
    // Exactly the deleted part's bytes; the failed part and the later ones
    // wait for the next run.
    EXPECT_EQ(CompareRange(destPath, SourcePath, 0, kP), "");
    EXPECT_EQ(Listing(dir), (std::map<std::string, uintmax_t>{{"data2.bin", kP}, {"data3.bin", 1}}));

    // Part 1 is gone, so the set now goes on from the first part left.
    EXPECT_EQ(FindFirstPart(dir.c_str(), "data", ".bin", 1), 0);
    EXPECT_EQ(FindFirstPart(dir.c_str(), "data", ".bin", 5), 2);
    dest = fopen(destPath.c_str(), "ab");
    FILE *progress2 = std::tmpfile();
    ASSERT_TRUE(dest && progress2);
    EXPECT_EQ(JoinPartsReporting(dest, dir.c_str(), "data", ".bin", 2, progress2), 0);
    EXPECT_EQ(Drain(progress2), "data2.bin...data3.bin...data4.bin...DONE\n");
    std::fclose(dest);
    EXPECT_EQ(CompareRange(destPath, SourcePath, 0, 2 * kP + 1), "");
    EXPECT_TRUE(Listing(dir).empty());
    std::fclose(progress);
    std::fclose(progress2);
    fs::remove_all(destPath);
}

TEST_F(PartsLargeTest, SplitReportsAPartWrittenShort)
{
    std::string dir = LinkParts("split-full", {});
    FILE *source = fopen(SourcePath.c_str(), "rb");
    FILE *progress = std::tmpfile();
    ASSERT_TRUE(source && progress);
    {
        FileSizeLimit limit(kP / 4);
        EXPECT_EQ(SplitToPartsReporting(source, dir.c_str(), 100, "data", ".bin", progress), 1);
    }
    EXPECT_EQ(Drain(progress), "data1.bin...ERROR\n");
    EXPECT_LE(fs::file_size(PartPath(dir, 1)), (uintmax_t)(kP / 4));
    EXPECT_EQ(Listing(dir).size(), 1u);
    std::fclose(source);
    std::fclose(progress);
}
#endif

}  // namespace
