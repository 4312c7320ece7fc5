// The splitter on any line: the record must match a plain reference split,
// its blocks must be of exactly the sizes a caller is told, and releasing
// it must bring the tracked byte counter back to where it started.
#include "platform/os.h"
#include "winlib/cmdline.h"
#include "winlib/tracked_alloc.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "check.h"

// The splitting rules written out once more, the slow and obvious way.
static bool ReferenceSplit(const std::string &line, std::vector<std::string> *args)
{
    size_t i = 0;
    for (;;) {
        while (i < line.size() && line[i] == ' ')
            i++;
        if (i == line.size())
            return true;
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                return false;
            args->push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = line.find(' ', i);
            if (end == std::string::npos)
                end = line.size();
            args->push_back(line.substr(i, end - i));
            i = end;
        }
    }
}

// AddressSanitizer's allocator reports a block's requested size as its
// usable size, so the sizes can be checked exactly (a 0-byte block aside).
static void CheckBlockSize(void *block, size_t size)
{
    CHECK(block != NULL);
    if (size)
        CHECK(_msize(block) == size);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The line ends at its first NUL, as a C string does.
    std::string line((const char *)data, strnlen((const char *)data, size));
    std::vector<std::string> expected;
    bool splits = ReferenceSplit(line, &expected);

    const int32_t start = GetTrackedBytes();
    CommandLineArgs *args = ParseCommandLineText(line.c_str());
    if (!splits) {
        CHECK(args == NULL);
        CHECK(GetTrackedBytes() == start);
        return 0;
    }
    CHECK(args != NULL);
    CHECK(args->ArgCount == (int32_t)expected.size());

    const size_t textSize = line.size() + expected.size();
    CheckBlockSize(args, sizeof *args);
    CheckBlockSize(args->ArgList, expected.size() * sizeof(char *));
    CheckBlockSize(args->ArgText, textSize);

    const char *next = args->ArgText;
    for (size_t k = 0; k < expected.size(); k++) {
        CHECK(args->ArgList[k] == next);
        CHECK(memcmp(next, expected[k].data(), expected[k].size()) == 0);
        CHECK(next[expected[k].size()] == 0);
        next += expected[k].size() + 1;
    }
    for (; next < args->ArgText + textSize; next++)
        CHECK(*next == 0);

    std::string first = expected.empty() ? std::string() : expected[0];
    size_t slash = first.find_last_of("\\/");
    std::string dir = slash == std::string::npos ? std::string() : first.substr(0, slash + 1);
    CheckBlockSize(args->ProgramDir, dir.size() + 1);
    CHECK(memcmp(args->ProgramDir, dir.c_str(), dir.size() + 1) == 0);

    int32_t held = (int32_t)(_msize(args) + _msize(args->ArgList) + _msize(args->ArgText) +
                             _msize(args->ProgramDir));
    CHECK(GetTrackedBytes() == start + held);
    FreeCommandLineArgs(args);
    CHECK(GetTrackedBytes() == start);
    return 0;
}
