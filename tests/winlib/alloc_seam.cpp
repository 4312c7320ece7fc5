#include "alloc_seam.h"

#include <stdlib.h>

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void __real_free(void *block);
void *__wrap_malloc(size_t size);
void *__wrap_calloc(size_t count, size_t size);
void __wrap_free(void *block);
}

// Plain storage: the wrappers run inside every allocation of the program
// and must not allocate themselves.
static const int kMaxWatched = 32;
static WatchedAllocation Records[kMaxWatched];
static int RecordCount;
static int FailAt;
static bool Watching;

void WatchAllocations(int failAt)
{
    RecordCount = 0;
    FailAt = failAt;
    Watching = true;
}

void StopWatching()
{
    Watching = false;
}

int WatchedCount()
{
    return RecordCount;
}

const WatchedAllocation &Watched(int index)
{
    return Records[index];
}

int LiveWatchedBlocks()
{
    int live = 0;
    for (int i = 0; i < RecordCount; i++)
        live += Records[i].Block && !Records[i].Released;
    return live;
}

// Answers true when this allocation is the one to fail.
static bool Record(bool isCalloc, size_t count, size_t size, WatchedAllocation **record)
{
    *record = nullptr;
    if (!Watching)
        return false;
    if (RecordCount == kMaxWatched)
        abort();
    WatchedAllocation *r = &Records[RecordCount++];
    *r = WatchedAllocation{isCalloc, count, size, nullptr, false};
    *record = r;
    return RecordCount == FailAt;
}

void *__wrap_malloc(size_t size)
{
    WatchedAllocation *r;
    if (Record(false, size, 1, &r))
        return nullptr;
    void *block = __real_malloc(size);
    if (r)
        r->Block = block;
    return block;
}

void *__wrap_calloc(size_t count, size_t size)
{
    WatchedAllocation *r;
    if (Record(true, count, size, &r))
        return nullptr;
    void *block = __real_calloc(count, size);
    if (r)
        r->Block = block;
    return block;
}

void __wrap_free(void *block)
{
    if (block) {
        for (int i = 0; i < RecordCount; i++) {
            if (Records[i].Block == block && !Records[i].Released) {
                Records[i].Released = true;
                break;
            }
        }
    }
    __real_free(block);
}
