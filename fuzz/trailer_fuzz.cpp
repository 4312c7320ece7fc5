// The trailer reader on any trailer: it must hand on exactly the complete
// quoted names, in order, and never write past its 256-byte buffer (a heap
// block of exactly that size, so AddressSanitizer sees the first byte
// beyond it).
#include "installer/trailer.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *stream = size ? fmemopen((void *)data, size, "rb") : tmpfile();
    CHECK(stream != NULL);
    char *name = (char *)malloc(kNameBufferSize);
    CHECK(name != NULL);

    const std::string trailer((const char *)data, size);
    size_t at = 0;
    for (;;) {
        // The next complete pair of quotes, as the format defines an entry.
        size_t open = trailer.find('"', at);
        size_t close = open == std::string::npos ? open : trailer.find('"', open + 1);
        int result = ReadQuotedName(stream, name);
        if (close == std::string::npos) {
            CHECK(result == kNoMoreNames);
            break;
        }
        std::string entry = trailer.substr(open + 1, close - open - 1);
        CHECK(result == (entry.size() < (size_t)kNameBufferSize ? kNameRead : kNameTooLong));
        entry = entry.substr(0, kNameBufferSize - 1);
        CHECK(strcmp(name, entry.c_str()) == 0);
        at = close + 1;
    }

    free(name);
    fclose(stream);
    return 0;
}
