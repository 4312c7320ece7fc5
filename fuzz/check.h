// A check that holds in release builds too: a failed one aborts, which the
// fuzzer reports as a finding with its input.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "check failed: %s (line %d)\n", #condition, __LINE__); \
            abort();                                                                \
        }                                                                           \
    } while (0)
