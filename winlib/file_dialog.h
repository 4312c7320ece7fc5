// The system's open or save file dialog in one call.
#pragma once

#include "platform/os.h"

#include <stdint.h>

// An empty file buffer asks for a file to open, any text in it for a file
// to save; the buffer is cleared either way, so the dialog opens with an
// empty name. Answers where the file name starts in the chosen path, or 0
// when the dialog was cancelled or failed.
int32_t ChooseFileName(HWND owner, char *file, uint32_t fileSize, const char *title, const char *filter,
                       const char *defaultExtension, uint32_t flags);
