// Native declarations of the Win32 and runtime calls the system uses,
// defined by the files of this folder, one per area. Types keep their
// Windows widths (LONG and DWORD are 32-bit here as there).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef uint16_t ATOM;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef char CHAR;
typedef const char *LPCSTR;
typedef char *LPSTR;
typedef void *LPVOID;
typedef DWORD *LPDWORD;
typedef BYTE *LPBYTE;
typedef LONG LSTATUS;
typedef DWORD REGSAM;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// ---- errors -------------------------------------------------------------
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L

// ---- registry (registry.cpp) ---------------------------------------------
typedef struct RegistryKey *HKEY;
typedef HKEY *PHKEY;
#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003)
#define KEY_QUERY_VALUE 0x0001
#define KEY_READ 0x20019
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

LSTATUS RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                         LPBYTE data, LPDWORD dataSize);
LSTATUS RegCloseKey(HKEY key);

// ---- files, paths and disks (files.cpp) ---------------------------------
#define _S_IWRITE 0x0080
#define _S_IREAD 0x0100

BOOL GetDiskFreeSpaceA(LPCSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                       LPDWORD freeClusters, LPDWORD totalClusters);
int _access(const char *path, int mode);
int _chmod(const char *path, int mode);

// Windows paths (drive letters through the Wine prefix, backslashes,
// case-insensitive names) reach the C runtime's file calls through these.
FILE *PlatformFopen(const char *path, const char *mode);
int PlatformRemove(const char *path);

// Streams' descriptors, as the runtime's low-level I/O calls see them.
#define _O_BINARY 0x8000
#define _O_TEXT 0x4000
#define _S_IFMT 0xF000
#define _S_IFREG 0x8000
struct _stat64 {
    unsigned short st_mode;
    int64_t st_size;
};
int _fileno(FILE *stream);
int _isatty(int fd);
int _setmode(int fd, int mode);
int _fstat64(int fd, struct _stat64 *st);
// Writes the file's data through to the disk.
int _commit(int fd);
int _chsize_s(int fd, int64_t size);

// ---- command interpreter (shell.cpp) ------------------------------------
int PlatformSystem(const char *command);

// ---- runtime heap (runtime.cpp) -----------------------------------------
size_t _msize(void *block);

// ---- process (cmdline.cpp) ----------------------------------------------
LPSTR GetCommandLineA(void);

// ---- message boxes (msgbox.cpp) -----------------------------------------
typedef struct WindowObject *HWND;

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_SETFOREGROUND 0x00010000L

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
