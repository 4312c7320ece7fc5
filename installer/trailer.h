// The list of files a patch installs, carried as a trailer after the
// installer's program image: double-quoted names from the trailer offset
// to the end of the file, anything outside quotes skipped.
#pragma once

#include <stdio.h>

#ifndef TAILPATCH_TRAILER_OFFSET
#define TAILPATCH_TRAILER_OFFSET 49152
#endif

constexpr long kTrailerOffset = TAILPATCH_TRAILER_OFFSET;
constexpr int kNameBufferSize = 256;

// Results of ReadQuotedName.
constexpr int kNoMoreNames = 0;
constexpr int kNameRead = 1;
constexpr int kNameTooLong = 2;  // buffer holds its first 255 bytes

// Reads the next complete quoted name into a buffer of kNameBufferSize
// bytes. An unterminated last entry is never handed on as complete.
int ReadQuotedName(FILE *stream, char *name);
