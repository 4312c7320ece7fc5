#include "winlib/tracked_alloc.h"

#include "platform/os.h"

// One thread uses the library, so plain loads and stores do. The sums are
// taken unsigned: the counter wraps rather than overflowing into undefined
// behaviour when a caller drives it past its range.
static int32_t TrackedBytes = 0;

static void AddToCounter(uint32_t amount)
{
    TrackedBytes = (int32_t)((uint32_t)TrackedBytes + amount);
}

static void SubtractFromCounter(uint32_t amount)
{
    TrackedBytes = (int32_t)((uint32_t)TrackedBytes - amount);
}

void *TrackedMalloc(uint32_t size)
{
    void *block = malloc(size);
    if (block)
        AddToCounter((uint32_t)_msize(block));
    return block;
}

void *TrackedCalloc(uint32_t count, uint32_t size)
{
    void *block = calloc(count, size);
    if (block)
        AddToCounter((uint32_t)_msize(block));
    return block;
}

// The size is asked before the block goes, while it is still defined.
void TrackedFree(void *block)
{
    if (block)
        SubtractFromCounter((uint32_t)_msize(block));
    free(block);
}

int32_t GetTrackedBytes(void)
{
    return TrackedBytes;
}

int32_t AdjustTrackedBytes(int32_t amount)
{
    AddToCounter((uint32_t)amount);
    return TrackedBytes;
}

void CountAllocated(void *block)
{
    if (block)
        AddToCounter((uint32_t)_msize(block));
}

void CountReleased(void *block)
{
    if (block)
        SubtractFromCounter((uint32_t)_msize(block));
}
