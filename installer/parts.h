// Numbered part files: a stream's bytes kept as "DIR\PREFIX<n>SUFFIX" for
// n = 1, 2, ..., every part but the last holding exactly the part size and
// the last what is left (possibly nothing). A set ends before the first
// number that cannot be opened (join) or deleted (remove). Parts are raw
// bytes: no header, count or checksum.
//
// Each operation answers 0 for success and 1 for failure. Split and join
// write one line of progress ("data1.bin...data2.bin...") ended by "DONE\n"
// or "ERROR\n", except when they refuse their arguments.
#pragma once

#include <stdio.h>

// Part sizes in megabytes of 2^20 bytes. Larger ones do not fit the signed
// 32-bit byte count.
constexpr int kMinPartMegabytes = 100;
constexpr int kMaxPartMegabytes = 2047;
// Every byte of part data moves through one buffer of this size.
constexpr int kPartTransferSize = 10000000;
// A formed part name has at most kPartNameSize - 1 characters.
constexpr int kPartNameSize = 256;

// Copies `source` from its current position to its end into parts of
// `partMegabytes` each. Does not reposition or close the source. Refuses,
// silently, null arguments and sizes outside kMinPartMegabytes to
// kMaxPartMegabytes. A failure (a part that cannot be created, written in
// full or closed, a read error, a name too long) leaves the parts written
// so far.
int SplitToParts(FILE *source, const char *directory, int partMegabytes, const char *prefix,
                 const char *suffix);

// Appends the parts of a set, in number order, to `destination` at its
// current position and deletes each part once its bytes are flushed and,
// for a regular file, on disk; a part that cannot be deleted stays and the
// join goes on. On a write, flush or sync failure, or a read error, it
// answers 1, a regular-file destination is cut back to its length before
// the failed part, and that part and all later ones stay: joining again
// completes the destination. Does not close the destination.
int JoinParts(FILE *destination, const char *directory, const char *prefix, const char *suffix);

// Deletes parts 1, 2, ... up to the first that cannot be deleted. Writes
// nothing.
int RemoveParts(const char *directory, const char *prefix, const char *suffix);

// As SplitToParts and JoinParts, with the progress line written to
// `progress` rather than the standard output (a join to the standard output
// reports on the standard error stream). The line is flushed after each
// text when `progress` is a terminal. The join starts at part
// `firstNumber`: after a failed join parts 1 to k - 1 are gone and the set
// goes on from k.
int SplitToPartsReporting(FILE *source, const char *directory, int partMegabytes, const char *prefix,
                          const char *suffix, FILE *progress);
int JoinPartsReporting(FILE *destination, const char *directory, const char *prefix, const char *suffix,
                       int firstNumber, FILE *progress);

// The lowest number from 1 to `lastNumber` whose part can be opened, or 0.
// Opens and closes each candidate; touches nothing.
int FindFirstPart(const char *directory, const char *prefix, const char *suffix, int lastNumber);
