// The terminal that stands in for boxes, popups and dialogs natively.
// Internal to the platform layer.
#pragma once

#include <stddef.h>

// Reads one answer line from standard input, without its line break and
// with the spaces around it trimmed; a line longer than the buffer still
// counts as one answer. Answers 0 at the end of input.
int ReadTerminalLine(char *line, size_t size);
