// The tracked byte counter against the runtime's own usable sizes.
#include "winlib/tracked_alloc.h"

#include "alloc_seam.h"
#include "platform/os.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

const char kWineZeroSize[] =
    "the runtime reports a usable size of 0 for a 0-byte block (Wine's msvcrt does), "
    "so the counter cannot rise here";

// Declared first so it runs before any other test of this program has
// touched the counter.
TEST(TrackedCounter, StartsAtZero)
{
    EXPECT_EQ(GetTrackedBytes(), 0);
}

class TrackedAlloc : public testing::Test {
protected:
    void SetUp() override { Start = GetTrackedBytes(); }
    // A failed test leaves the next one a clean counter: the reset a
    // caller performs, the negated value through AdjustTrackedBytes.
    void TearDown() override
    {
        StopWatching();
        AdjustTrackedBytes(-GetTrackedBytes());
    }
    int32_t Start = 0;
};

struct Request {
    const char *Label;
    bool IsCalloc;
    uint32_t Count;
    uint32_t Size;
};

void *Allocate(const Request &r)
{
    return r.IsCalloc ? TrackedCalloc(r.Count, r.Size) : TrackedMalloc(r.Count);
}

TEST_F(TrackedAlloc, CountsUsableSizeInAndOut)
{
    const Request kRequests[] = {
        {"malloc 16", false, 16, 0},
        {"malloc 1000", false, 1000, 0},
        {"calloc 3 x 7", true, 3, 7},
        {"calloc 1 x 4096", true, 1, 4096},
    };
    for (const Request &r : kRequests) {
        SCOPED_TRACE(r.Label);
        size_t requested = r.IsCalloc ? (size_t)r.Count * r.Size : r.Count;
        unsigned char *block = (unsigned char *)Allocate(r);
        ASSERT_NE(block, nullptr);
        size_t usable = _msize(block);
        EXPECT_GE(usable, requested);
        EXPECT_EQ(GetTrackedBytes(), Start + (int32_t)usable);
        if (r.IsCalloc) {
            for (size_t i = 0; i < requested; i++)
                ASSERT_EQ(block[i], 0) << "byte " << i;
        }
        memset(block, 0x5a, requested);  // the whole request is usable
        TrackedFree(block);
        EXPECT_EQ(GetTrackedBytes(), Start);
    }
}

TEST_F(TrackedAlloc, CallocPassesCountThenSize)
{
    WatchAllocations();
    void *block = TrackedCalloc(3, 7);
    StopWatching();
    ASSERT_EQ(WatchedCount(), 1);
    EXPECT_TRUE(Watched(0).IsCalloc);
    EXPECT_EQ(Watched(0).Count, 3u);
    EXPECT_EQ(Watched(0).Size, 7u);
    TrackedFree(block);
}

// A request for nothing is still a block of its own, counted and released
// like any other.
TEST_F(TrackedAlloc, ZeroByteRequestsGiveDistinctBlocks)
{
    const Request kRequests[] = {
        {"malloc 0", false, 0, 0},
        {"calloc 0 x 8", true, 0, 8},
        {"calloc 8 x 0", true, 8, 0},
    };
    void *blocks[3];
    int32_t expected = Start;
    bool zeroSized = false;
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(kRequests[i].Label);
        blocks[i] = Allocate(kRequests[i]);
        ASSERT_NE(blocks[i], nullptr);
        for (int j = 0; j < i; j++)
            EXPECT_NE(blocks[i], blocks[j]);
        size_t usable = _msize(blocks[i]);
        zeroSized |= usable == 0;
        expected += (int32_t)usable;
        EXPECT_EQ(GetTrackedBytes(), expected);
    }
    for (void *b : blocks)
        TrackedFree(b);
    EXPECT_EQ(GetTrackedBytes(), Start);
    if (zeroSized)
        GTEST_SKIP() << kWineZeroSize;
    EXPECT_GT(expected, Start);
}

TEST_F(TrackedAlloc, FailedAllocationLeavesCounter)
{
    for (bool isCalloc : {false, true}) {
        SCOPED_TRACE(isCalloc ? "calloc" : "malloc");
        WatchAllocations(1);
        void *block = isCalloc ? TrackedCalloc(4, 4) : TrackedMalloc(16);
        StopWatching();
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(WatchedCount(), 1);
        EXPECT_EQ(GetTrackedBytes(), Start);
    }
}

TEST_F(TrackedAlloc, NullChangesNothing)
{
    TrackedFree(nullptr);
    CountAllocated(nullptr);
    CountReleased(nullptr);
    EXPECT_EQ(GetTrackedBytes(), Start);
}

// Nothing checks where a block came from: a plain one is subtracted all
// the same, taking the counter below zero, and still released.
TEST_F(TrackedAlloc, FreeOfPlainBlockLowersCounterAndReleases)
{
    ASSERT_EQ(Start, 0);
    WatchAllocations();
    void *block = malloc(40);
    StopWatching();
    ASSERT_NE(block, nullptr);
    size_t usable = _msize(block);
    TrackedFree(block);
    EXPECT_EQ(GetTrackedBytes(), -(int32_t)usable);
    EXPECT_LT(GetTrackedBytes(), 0);
    EXPECT_EQ(LiveWatchedBlocks(), 0);
}

TEST_F(TrackedAlloc, CountInAndOutLeavesBlockAlone)
{
    WatchAllocations();
    unsigned char *block = (unsigned char *)malloc(64);
    StopWatching();
    ASSERT_NE(block, nullptr);
    memset(block, 0xbd, 64);
    size_t usable = _msize(block);

    CountAllocated(block);
    EXPECT_EQ(GetTrackedBytes(), Start + (int32_t)usable);
    CountReleased(block);
    EXPECT_EQ(GetTrackedBytes(), Start);

    EXPECT_EQ(LiveWatchedBlocks(), 1);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(block[i], 0xbd) << "byte " << i;
    free(block);
}

// Counted twice is subtracted twice: no operation keeps a list of blocks.
TEST_F(TrackedAlloc, CountsTwiceWhenToldTwice)
{
    void *block = malloc(24);
    ASSERT_NE(block, nullptr);
    size_t usable = _msize(block);
    CountAllocated(block);
    CountAllocated(block);
    EXPECT_EQ(GetTrackedBytes(), Start + 2 * (int32_t)usable);
    CountReleased(block);
    TrackedFree(block);
    EXPECT_EQ(GetTrackedBytes(), Start);
}

TEST_F(TrackedAlloc, AdjustMovesAndReportsCounter)
{
    void *held = TrackedMalloc(32);  // a counter away from zero
    ASSERT_NE(held, nullptr);
    int32_t before = GetTrackedBytes();
    EXPECT_EQ(AdjustTrackedBytes(0), before);
    EXPECT_EQ(AdjustTrackedBytes(-5), before - 5);
    EXPECT_EQ(GetTrackedBytes(), before - 5);
    AdjustTrackedBytes(5);
    TrackedFree(held);
    EXPECT_EQ(GetTrackedBytes(), Start);
}

}  // namespace
