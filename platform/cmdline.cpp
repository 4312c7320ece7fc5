// The process's raw command line. Linux keeps only the argument vector, so
// the line is rebuilt from it: arguments joined by one space, an argument
// that holds a space or is empty in double quotes. Splitting the line by
// the library's rules then gives the arguments back, except one that holds
// both a space and a double quote or begins with a double quote, which no
// line of those rules can carry.
#include "platform/win32.h"

#include <stdlib.h>
#include <string.h>

static int SavedArgCount;
static char **SavedArgs;

// glibc hands every initialiser the program's arguments; keep them before
// main can change them.
static void SaveArguments(int argc, char **argv, char **)
{
    SavedArgCount = argc;
    SavedArgs = argv;
}

__attribute__((section(".init_array"), used)) static void (*const SaveArgumentsAtStart)(int, char **, char **) =
    SaveArguments;

static int NeedsQuotes(const char *arg)
{
    return !*arg || strchr(arg, ' ') != NULL;
}

// Built once and kept for the process's life, as Windows keeps its line.
LPSTR GetCommandLineA(void)
{
    static char *line;
    if (line || !SavedArgs)
        return line;

    size_t size = 1;
    for (int i = 0; i < SavedArgCount; i++)
        size += strlen(SavedArgs[i]) + 3;
    char *built = (char *)malloc(size);
    if (!built)
        return NULL;

    char *out = built;
    for (int i = 0; i < SavedArgCount; i++) {
        const char *arg = SavedArgs[i];
        int quoted = NeedsQuotes(arg);
        if (i > 0)
            *out++ = ' ';
        if (quoted)
            *out++ = '"';
        size_t n = strlen(arg);
        memcpy(out, arg, n);
        out += n;
        if (quoted)
            *out++ = '"';
    }
    *out = 0;
    line = built;
    return line;
}
