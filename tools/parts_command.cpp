// tailpatch split, join and remove: numbered part files from the command
// line. The exit status is the operation's result, or kUsageStatus for bad
// arguments and a source or destination that cannot be opened.
#include "tools/commands.h"
#include "installer/parts.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>

// Last: natively it maps the runtime's file names onto Windows paths.
#include "platform/os.h"

namespace {

const char kSplitUsage[] = "usage: tailpatch split --size MB SOURCE DIR PREFIX SUFFIX\n";
const char kJoinUsage[] = "usage: tailpatch join DIR PREFIX SUFFIX DEST\n";
const char kRemoveUsage[] = "usage: tailpatch remove DIR PREFIX SUFFIX\n";

int Usage(const char *usage)
{
    std::fputs(usage, stderr);
    return kUsageStatus;
}

bool ParseMegabytes(const char *text, int *megabytes)
{
    char *end;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno || end == text || *end)
        return false;
    if (value < kMinPartMegabytes || value > kMaxPartMegabytes)
        return false;
    *megabytes = (int)value;
    return true;
}

// The name of part 1 must fit; a later number one digit longer is left to
// the operation, which stops there with "ERROR".
bool NamesFit(const char *command, const char *dir, const char *prefix, const char *suffix)
{
    size_t length = std::strlen(dir) + 1 + std::strlen(prefix) + 1 + std::strlen(suffix);
    if (length < (size_t)kPartNameSize)
        return true;
    std::fprintf(stderr, "tailpatch %s: part names of '%s' would be longer than %d characters\n", command,
                 dir, kPartNameSize - 1);
    return false;
}

}  // namespace

int SplitCommand(int argc, char **argv)
{
    int megabytes = 0;
    bool haveSize = false;
    const char *operands[4];
    int count = 0;
    for (int i = 0; i < argc; i++) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            if (!ParseMegabytes(argv[++i], &megabytes)) {
                std::fprintf(stderr, "tailpatch split: part size '%s' is not a whole number of megabytes from %d to %d\n",
                             argv[i], kMinPartMegabytes, kMaxPartMegabytes);
                return kUsageStatus;
            }
            haveSize = true;
        } else if (std::strncmp(argv[i], "--", 2) == 0 || count == 4) {
            return Usage(kSplitUsage);
        } else {
            operands[count++] = argv[i];
        }
    }
    if (!haveSize || count != 4)
        return Usage(kSplitUsage);
    const char *sourcePath = operands[0], *dir = operands[1], *prefix = operands[2], *suffix = operands[3];
    if (!NamesFit("split", dir, prefix, suffix))
        return kUsageStatus;

    FILE *source;
    if (std::strcmp(sourcePath, "-") == 0) {
        source = stdin;
        _setmode(_fileno(stdin), _O_BINARY);
    } else if (!(source = fopen(sourcePath, "rb"))) {
        std::fprintf(stderr, "tailpatch split: cannot open '%s': %s\n", sourcePath, std::strerror(errno));
        return kUsageStatus;
    }
    int result = SplitToParts(source, dir, megabytes, prefix, suffix);
    if (source != stdin)
        std::fclose(source);
    return result;
}

int JoinCommand(int argc, char **argv)
{
    if (argc != 4)
        return Usage(kJoinUsage);
    const char *dir = argv[0], *prefix = argv[1], *suffix = argv[2], *destPath = argv[3];
    if (!NamesFit("join", dir, prefix, suffix))
        return kUsageStatus;

    if (std::strcmp(destPath, "-") == 0) {
        // The data takes the standard output; the progress line moves aside.
        _setmode(_fileno(stdout), _O_BINARY);
        int result = JoinPartsReporting(stdout, dir, prefix, suffix, 1, stderr);
        if (std::fflush(stdout) != 0 && result == 0) {
            std::fprintf(stderr, "tailpatch join: writing the standard output failed\n");
            result = 1;
        }
        return result;
    }

    // Appending lets a second run complete a join that a fault interrupted:
    // the parts already deleted are the bytes already there.
    FILE *dest = fopen(destPath, "ab");
    if (!dest) {
        std::fprintf(stderr, "tailpatch join: cannot open '%s': %s\n", destPath, std::strerror(errno));
        return kUsageStatus;
    }
    int first = 1;
    struct _stat64 st;
    if (_fstat64(_fileno(dest), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG && st.st_size > 0) {
        // A join that failed at part k deleted parts 1 to k - 1, each a
        // full part of at least the smallest size, and left the rest.
        long long bound = st.st_size / ((long long)kMinPartMegabytes << 20) + 1;
        first = FindFirstPart(dir, prefix, suffix, bound > INT_MAX ? INT_MAX : (int)bound);
        if (first > 1)
            std::fprintf(stderr, "tailpatch join: '%s' already holds %lld bytes and part 1 is gone; resuming with part %d\n",
                         destPath, (long long)st.st_size, first);
        else
            std::fprintf(stderr, "tailpatch join: '%s' already holds %lld bytes; the parts are appended after them\n",
                         destPath, (long long)st.st_size);
        if (first < 1)
            first = 1;
    }
    int result = JoinPartsReporting(dest, dir, prefix, suffix, first, stdout);
    if (std::fclose(dest) != 0 && result == 0) {
        std::fprintf(stderr, "tailpatch join: closing '%s' failed\n", destPath);
        result = 1;
    }
    return result;
}

int RemoveCommand(int argc, char **argv)
{
    if (argc != 3)
        return Usage(kRemoveUsage);
    if (!NamesFit("remove", argv[0], argv[1], argv[2]))
        return kUsageStatus;
    return RemoveParts(argv[0], argv[1], argv[2]);
}
