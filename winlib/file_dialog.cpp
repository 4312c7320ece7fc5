#include "winlib/file_dialog.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76, "the 32-bit record without the Windows 2000 members");
#endif

int32_t ChooseFileName(HWND owner, char *file, uint32_t fileSize, const char *title, const char *filter,
                       const char *defaultExtension, uint32_t flags)
{
    int open = file[0] == 0;
    file[0] = 0;

    // The record as every Windows version takes it: without the members
    // Windows 2000 added.
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file;
    ofn.nMaxFile = fileSize;
    ofn.lpstrTitle = title;
    ofn.lpstrFilter = filter;
    ofn.lpstrDefExt = defaultExtension;
    ofn.Flags = flags;

    BOOL chosen = open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
    return chosen ? (int32_t)ofn.nFileOffset : 0;
}
