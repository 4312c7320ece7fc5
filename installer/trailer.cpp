#include "installer/trailer.h"

// Byte by byte through the formatted read: the end-of-file indicator is set
// only by a read that finds nothing, so a name closed by the file's last
// byte still counts as complete.
int ReadQuotedName(FILE *stream, char *name)
{
    char current = 0;

    while (!feof(stream)) {
        if (fscanf(stream, "%c", &current) == 1 && current == '"')
            break;
    }
    if (feof(stream))
        return kNoMoreNames;

    // A read at the end stores nothing and leaves `current` as it was, so
    // the last byte is stored twice and then cut off with the NUL below.
    current = 0;
    long count = 0;
    while (!feof(stream) && current != '"') {
        if (fscanf(stream, "%c", &current) != 1) {
            // at the end: `current` still holds the last byte
        }
        if (count < kNameBufferSize)
            name[count] = current;
        count++;
    }

    // count - 1 is the closing quote's place in a complete name.
    if (count - 1 >= kNameBufferSize) {
        name[kNameBufferSize - 1] = 0;
        return current == '"' ? kNameTooLong : kNoMoreNames;
    }
    name[count - 1] = 0;
    return current == '"' ? kNameRead : kNoMoreNames;
}
