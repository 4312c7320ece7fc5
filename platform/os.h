// The one seam between the portable code and the system. Portable code
// includes this header and calls the Win32 and runtime names as Windows
// spells them: on Windows they are the real ones, natively the declarations
// in platform/win32.h and their definitions in platform/*.cpp.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#include <commdlg.h>
#include <io.h>
#include <sys/stat.h>
#include <malloc.h>
#else
#include "platform/win32.h"
// Windows paths and the interpreter's commands reach the runtime's calls
// through the layer.
#define fopen PlatformFopen
#define remove PlatformRemove
#define system PlatformSystem
#endif
