#include "winlib/cmdline.h"

#include "platform/os.h"
#include "winlib/tracked_alloc.h"

// Both passes walk the line through this, so counting and copying cannot
// disagree. Finds the argument at *cursor and moves *cursor past it.
// Answers 1 with the argument's text in *text and *length, 0 at the end of
// the line (*cursor then at its terminator), -1 at an unclosed quote.
static int NextArgument(const char **cursor, const char **text, size_t *length)
{
    const char *p = *cursor;
    while (*p == ' ')
        p++;
    if (!*p) {
        *cursor = p;
        return 0;
    }
    if (*p == '"') {
        const char *close = strchr(p + 1, '"');
        if (!close)
            return -1;
        *text = p + 1;
        *length = (size_t)(close - (p + 1));
        *cursor = close + 1;
        return 1;
    }
    const char *end = p;
    while (*end && *end != ' ')
        end++;
    *text = p;
    *length = (size_t)(end - p);
    *cursor = end;
    return 1;
}

void FreeCommandLineArgs(CommandLineArgs *args)
{
    if (!args)
        return;
    if (args->ArgList)
        TrackedFree(args->ArgList);
    if (args->ArgText)
        TrackedFree(args->ArgText);
    if (args->ProgramDir)
        TrackedFree(args->ProgramDir);
    TrackedFree(args);
}

// Four allocations whatever the line: the first pass fixes every size
// before anything is copied. The record comes first and is cleared, so the
// one exit can tell what was taken; the system's line is asked for only
// once the record exists.
static CommandLineArgs *SplitLine(const char *givenLine, int askSystem)
{
    CommandLineArgs *args = (CommandLineArgs *)TrackedMalloc(sizeof(CommandLineArgs));
    if (!args)
        return NULL;
    args->ArgCount = 0;
    args->ArgList = NULL;
    args->ArgText = NULL;
    args->ProgramDir = NULL;

    const char *line;
    const char *cursor;
    const char *text;
    size_t length;
    size_t lineLength;
    int found;
    char *out;
    size_t firstLength;
    size_t dirLength;

    line = askSystem ? GetCommandLineA() : givenLine;
    if (!line)
        goto fail;

    cursor = line;
    while ((found = NextArgument(&cursor, &text, &length)) == 1)
        args->ArgCount++;
    if (found < 0)
        goto fail;
    lineLength = (size_t)(cursor - line);
    // Sizes go to the allocator as 32-bit counts; a line this long is no
    // command line.
    if (lineLength > 0x7FFFFFFF - (size_t)args->ArgCount)
        goto fail;

    args->ArgList = (char **)TrackedCalloc((uint32_t)args->ArgCount, sizeof(char *));
    if (!args->ArgList)
        goto fail;
    args->ArgText = (char *)TrackedCalloc((uint32_t)(lineLength + args->ArgCount), 1);
    if (!args->ArgText)
        goto fail;

    cursor = line;
    out = args->ArgText;
    while (NextArgument(&cursor, &text, &length) == 1) {
        memcpy(out, text, length);
        out[length] = 0;
        out += length + 1;
    }

    out = args->ArgText;
    for (int32_t k = 0; k < args->ArgCount; k++) {
        args->ArgList[k] = out;
        out += strlen(out) + 1;
    }

    // A colon does not count: "C:prog.exe" has no directory.
    firstLength = args->ArgCount > 0 ? strlen(args->ArgText) : 0;
    dirLength = firstLength;
    while (dirLength > 0 && args->ArgText[dirLength - 1] != '\\' && args->ArgText[dirLength - 1] != '/')
        dirLength--;
    args->ProgramDir = (char *)TrackedCalloc((uint32_t)(dirLength + 1), 1);
    if (!args->ProgramDir)
        goto fail;
    memcpy(args->ProgramDir, args->ArgText, dirLength);
    return args;

fail:
    FreeCommandLineArgs(args);
    return NULL;
}

CommandLineArgs *ParseCommandLine(void)
{
    return SplitLine(NULL, 1);
}

CommandLineArgs *ParseCommandLineText(const char *line)
{
    return SplitLine(line, 0);
}
