#include "installer/parts.h"

#include "platform/os.h"

// A progress text or closing word, seen at once on a terminal.
static void Report(FILE *progress, int flush, const char *text)
{
    fputs(text, progress);
    if (flush)
        fflush(progress);
}

static void ReportPart(FILE *progress, int flush, const char *prefix, int number, const char *suffix)
{
    fprintf(progress, "%s%d%s...", prefix, number, suffix);
    if (flush)
        fflush(progress);
}

static int IsTerminal(FILE *stream)
{
    int fd = _fileno(stream);
    return fd >= 0 && _isatty(fd);
}

static size_t DecimalDigits(int number)
{
    size_t digits = 1;
    while (number >= 10) {
        number /= 10;
        digits++;
    }
    return digits;
}

// The part name buffer, then the transfer buffer. Answers 0 when either is
// missing; whichever was allocated is still to be freed.
static int AllocatePartBuffers(char **name, char **transfer)
{
    *transfer = NULL;
    *name = (char *)malloc(kPartNameSize);
    if (*name)
        *transfer = (char *)malloc(kPartTransferSize);
    return *name && *transfer;
}

// Forms "directory\prefix<number>suffix" into `name` (kPartNameSize bytes).
// Answers 0, with `name` untouched, when it would not fit: the length is
// counted first so that nothing is ever cut short or written past the end.
static int FormPartName(char *name, const char *directory, const char *prefix, int number,
                        const char *suffix)
{
    size_t length = strlen(directory) + 1 + strlen(prefix) + DecimalDigits(number) + strlen(suffix);
    if (length >= (size_t)kPartNameSize)
        return 0;
    sprintf(name, "%s\\%s%d%s", directory, prefix, number, suffix);
    return 1;
}

int SplitToPartsReporting(FILE *source, const char *directory, int partMegabytes, const char *prefix,
                          const char *suffix, FILE *progress)
{
    if (!source || !directory || !prefix || !suffix || !progress)
        return 1;
    // 2048 and more would shift to a negative or zero byte count.
    if (partMegabytes < kMinPartMegabytes || partMegabytes > kMaxPartMegabytes)
        return 1;

    const int partBytes = partMegabytes << 20;
    const int flush = IsTerminal(progress);
    int result = 1;
    char *name, *transfer;
    if (!AllocatePartBuffers(&name, &transfer))
        goto done;

    // The end is seen only through the end-of-file indicator, which only a
    // read that finds nothing sets: a source ending on a part boundary
    // gets one more, empty, part.
    for (int number = 1; !feof(source); number++) {
        ReportPart(progress, flush, prefix, number, suffix);
        if (!FormPartName(name, directory, prefix, number, suffix))
            goto done;
        FILE *part = fopen(name, "wb");
        if (!part)
            goto done;

        // Never asks for more than the part still lacks, so no byte of the
        // next part is taken from the source before that part exists.
        int remainder = partBytes;
        int failed = 0;
        while (remainder != 0 && !feof(source)) {
            size_t want = remainder < kPartTransferSize ? (size_t)remainder : (size_t)kPartTransferSize;
            size_t got = fread(transfer, 1, want, source);
            if (got > 0 && fwrite(transfer, 1, got, part) != got) {
                failed = 1;
                break;
            }
            // Short without the end: a read error, which would otherwise
            // be retried for ever.
            if (got < want && !feof(source)) {
                failed = 1;
                break;
            }
            remainder -= (int)got;
        }
        if (fclose(part) != 0 || failed)
            goto done;
    }
    result = 0;

done:
    // Arguments passed: exactly one closing word, whatever failed.
    Report(progress, flush, result == 0 ? "DONE\n" : "ERROR\n");
    free(transfer);
    free(name);
    return result;
}

int SplitToParts(FILE *source, const char *directory, int partMegabytes, const char *prefix,
                 const char *suffix)
{
    return SplitToPartsReporting(source, directory, partMegabytes, prefix, suffix, stdout);
}

// Regular files are synced before a part is deleted and cut back after a
// failure; pipes, terminals and devices can only be flushed.
static int IsRegularFile(FILE *stream, long long *length)
{
    struct _stat64 st;
    int fd = _fileno(stream);
    if (fd < 0 || _fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return 0;
    *length = st.st_size;
    return 1;
}

int JoinPartsReporting(FILE *destination, const char *directory, const char *prefix, const char *suffix,
                       int firstNumber, FILE *progress)
{
    if (!destination || !directory || !prefix || !suffix || !progress || firstNumber < 1)
        return 1;

    const int flush = IsTerminal(progress);
    int result = 1;
    char *name, *transfer;
    if (!AllocatePartBuffers(&name, &transfer))
        goto done;

    // Bytes the caller left in the stream's buffer belong before part 1:
    // they must be out before the length to cut back to is taken.
    if (fflush(destination) != 0)
        goto done;

    for (int number = firstNumber;; number++) {
        // The progress text names every number tried, so the line's last
        // one is the first part that was not there.
        ReportPart(progress, flush, prefix, number, suffix);
        if (!FormPartName(name, directory, prefix, number, suffix))
            goto done;
        FILE *part = fopen(name, "rb");
        if (!part)
            break;

        long long lengthBefore = 0;
        const int regular = IsRegularFile(destination, &lengthBefore);
        int failed = 0;
        while (!feof(part)) {
            size_t got = fread(transfer, 1, kPartTransferSize, part);
            if (got > 0 && fwrite(transfer, 1, got, destination) != got) {
                failed = 1;
                break;
            }
            if (got < (size_t)kPartTransferSize && !feof(part)) {
                failed = 1;
                break;
            }
        }
        // The part goes only once the destination holds all of it for good.
        if (!failed && fflush(destination) != 0)
            failed = 1;
        if (!failed && regular && _commit(_fileno(destination)) != 0)
            failed = 1;
        fclose(part);
        if (failed) {
            // A failed write empties the stream's buffer, so nothing of the
            // failed part comes back when the caller closes the stream.
            long long lengthNow;
            if (regular && IsRegularFile(destination, &lengthNow) && lengthNow > lengthBefore)
                _chsize_s(_fileno(destination), lengthBefore);
            goto done;
        }
        // A part that cannot be deleted stays; its bytes are already out.
        remove(name);
    }
    result = 0;

done:
    Report(progress, flush, result == 0 ? "DONE\n" : "ERROR\n");
    free(transfer);
    free(name);
    return result;
}

int JoinParts(FILE *destination, const char *directory, const char *prefix, const char *suffix)
{
    return JoinPartsReporting(destination, directory, prefix, suffix, 1, stdout);
}

int FindFirstPart(const char *directory, const char *prefix, const char *suffix, int lastNumber)
{
    if (!directory || !prefix || !suffix)
        return 0;
    char *name = (char *)malloc(kPartNameSize);
    if (!name)
        return 0;
    int found = 0;
    for (int number = 1; number <= lastNumber && !found; number++) {
        if (!FormPartName(name, directory, prefix, number, suffix))
            break;
        FILE *part = fopen(name, "rb");
        if (part) {
            fclose(part);
            found = number;
        }
    }
    free(name);
    return found;
}

int RemoveParts(const char *directory, const char *prefix, const char *suffix)
{
    if (!directory || !prefix || !suffix)
        return 1;
    char *name = (char *)malloc(kPartNameSize);
    if (!name)
        return 1;

    int result = 0;
    for (int number = 1;; number++) {
        if (!FormPartName(name, directory, prefix, number, suffix)) {
            result = 1;
            break;
        }
        if (remove(name) != 0)
            break;
    }
    free(name);
    return result;
}
