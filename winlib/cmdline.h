// The process's command line split into arguments, with the program's
// directory, all copied into blocks of tracked allocation.
//
// Only the space separates. A double quote matters only as an argument's
// first byte: the argument then runs to the next double quote, spaces
// included, and the next one begins right after it. Nothing is escaped. An
// opening quote that is never closed fails the call.
#pragma once

#include <stdint.h>

struct CommandLineArgs {
    int32_t ArgCount;
    // ArgCount entries into ArgText, no closing null entry.
    char **ArgList;
    // The arguments back to back, each NUL-terminated; the block is the
    // line's length plus ArgCount bytes, zero beyond the last argument.
    char *ArgText;
    // The first argument up to and including its last backslash or slash,
    // or empty; its block is one byte longer than the string.
    char *ProgramDir;
};

// Splits GetCommandLineA's line. Null on an unclosed quote, when there is
// no line, or when memory runs out; a failed call leaves nothing allocated.
CommandLineArgs *ParseCommandLine(void);

// The same for a given line (null counts as failure).
CommandLineArgs *ParseCommandLineText(const char *line);

// Releases a record and its three blocks, the argument array first and the
// record last. Null is accepted.
void FreeCommandLineArgs(CommandLineArgs *args);
