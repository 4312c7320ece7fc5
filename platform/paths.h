// Windows paths on this machine, mapped as Wine maps them. Internal to the
// platform layer.
#pragma once

#include <stddef.h>

// Maps a Windows path to a path of this machine: a drive letter goes
// through $WINEPREFIX/dosdevices/<letter>:, backslashes become slashes, and
// each component without an exact match takes the name of an entry that
// matches it case-insensitively. A path without a drive letter is a path of
// this machine. Answers 0 when the result does not fit.
int MapWindowsPath(const char *windowsPath, char *out, size_t outSize);

// The Wine prefix: $WINEPREFIX, or ~/.wine.
int GetWinePrefix(char *out, size_t outSize);
