// A seam of the test build: the test programs that link it have malloc,
// calloc and free wrapped at link time (see CMakeLists.txt), so a test can
// watch the allocations of one call, see their sizes, make one of them
// fail, and see which of its blocks are still live.
#pragma once

#include <stddef.h>

struct WatchedAllocation {
    bool IsCalloc;
    size_t Count;  // calloc's element count; malloc's byte count
    size_t Size;   // calloc's element size; 1 for malloc
    void *Block;   // null when it failed
    bool Released;
};

// Starts recording allocations, forgetting earlier ones; the failAt-th
// (from 1) answers null without allocating, 0 fails none.
void WatchAllocations(int failAt = 0);
// Stops recording; blocks recorded stay watched for their release.
void StopWatching();

int WatchedCount();
const WatchedAllocation &Watched(int index);
// Recorded blocks not yet given to free.
int LiveWatchedBlocks();
