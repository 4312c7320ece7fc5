// Heap blocks counted in one process-wide byte counter, so a caller can see
// the library's memory rise and fall. Each block counts with its usable
// size as _msize reports it, on the way in and on the way out alike.
#pragma once

#include <stdint.h>

void *TrackedMalloc(uint32_t size);
void *TrackedCalloc(uint32_t count, uint32_t size);
void TrackedFree(void *block);

int32_t GetTrackedBytes(void);
int32_t AdjustTrackedBytes(int32_t amount);

// Count a block of the runtime's heap in or out without allocating or
// releasing it.
void CountAllocated(void *block);
void CountReleased(void *block);
