// The runtime heap's calls that only Windows has.
#include "platform/win32.h"

#include <malloc.h>

// The usable size, fixed for the block's life, as Windows' own is.
size_t _msize(void *block)
{
    return malloc_usable_size(block);
}
