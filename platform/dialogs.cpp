// The open and save file dialogs on the terminal: the dialog is drawn on
// the standard error stream and the user types the file's path on one line
// of standard input. An empty line or the end of input cancels. A name
// without a directory is taken in the current directory, as the dialog
// would show it first.
//
//   +--[ Save As ]--(file)
//   | Save as type: Text files (*.txt)
//   | File name: notes
//   +-- path > C:\games\notes.txt
#include "platform/win32.h"
#include "platform/terminal.h"

#include <string.h>
#include <unistd.h>

static thread_local DWORD tDialogError;

DWORD CommDlgExtendedError(void) { return tDialogError; }

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

static int IsAbsolute(const char *path)
{
    return IsSeparator(path[0]) || (((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':');
}

static void DrawDialog(const OPENFILENAMEA *ofn, const char *title, int save)
{
    fflush(stdout);
    fprintf(stderr, "\n+--[ %s ]--(file)\n", title);
    // The filter is pairs of description and pattern, ended by an empty one.
    if (ofn->lpstrFilter && *ofn->lpstrFilter) {
        fprintf(stderr, "| %s", save ? "Save as type:" : "Files of type:");
        for (const char *p = ofn->lpstrFilter; *p;) {
            fprintf(stderr, "%s %s", p == ofn->lpstrFilter ? "" : ";", p);
            p += strlen(p) + 1;
            if (*p)
                p += strlen(p) + 1;
        }
        fprintf(stderr, "\n");
    }
    fprintf(stderr, "| File name: %s\n", ofn->lpstrFile);
}

static int FileExists(const char *path) { return _access(path, 0) == 0; }

static BOOL RunFileDialog(LPOPENFILENAMEA ofn, int save)
{
    tDialogError = 0;
    if (!ofn)
        return FALSE;
    if (ofn->lStructSize != sizeof *ofn && ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A) {
        tDialogError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
        tDialogError = CDERR_INITIALIZATION;
        return FALSE;
    }
    const char *title = ofn->lpstrTitle ? ofn->lpstrTitle : save ? "Save As" : "Open";

    char path[1024];
    size_t fileOffset = 0;
    for (;;) {
        DrawDialog(ofn, title, save);
        fprintf(stderr, "+-- path > ");
        fflush(stderr);
        char line[512];
        if (!ReadTerminalLine(line, sizeof line) || !line[0])
            return FALSE;

        path[0] = 0;
        if (!IsAbsolute(line)) {
            if (!getcwd(path, sizeof path - 2))
                path[0] = 0;
            if (path[0] && !IsSeparator(path[strlen(path) - 1]))
                strcat(path, "/");
        }
        size_t length = strlen(path);
        if (length + strlen(line) >= sizeof path - 64)
            continue;
        strcpy(path + length, line);
        length = strlen(path);
        fileOffset = length;
        while (fileOffset && !IsSeparator(path[fileOffset - 1]))
            fileOffset--;
        if (fileOffset == length)
            continue;  // a directory, not a file
        if (!strchr(path + fileOffset, '.') && ofn->lpstrDefExt && *ofn->lpstrDefExt &&
            strlen(ofn->lpstrDefExt) < 32) {
            strcat(path, ".");
            strcat(path, ofn->lpstrDefExt);
        }

        if (!save && (ofn->Flags & OFN_FILEMUSTEXIST) && !FileExists(path)) {
            fprintf(stderr, "| %s\n| File not found.\n| Check the file name and try again.\n", path);
            continue;
        }
        if (save && (ofn->Flags & OFN_OVERWRITEPROMPT) && FileExists(path)) {
            char question[1200];
            snprintf(question, sizeof question, "%s already exists.\nDo you want to replace it?", path);
            if (MessageBoxA(ofn->hwndOwner, question, title, MB_YESNO | MB_ICONWARNING) != IDYES)
                continue;
        }
        break;
    }

    // A path that does not fit fails the dialog; the first two bytes of
    // the buffer then tell the room it needs.
    size_t length = strlen(path);
    if (length + 1 > ofn->nMaxFile) {
        if (ofn->nMaxFile >= 2) {
            WORD needed = (WORD)(length + 1);
            memcpy(ofn->lpstrFile, &needed, sizeof needed);
        }
        tDialogError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    memcpy(ofn->lpstrFile, path, length + 1);
    ofn->nFileOffset = (WORD)fileOffset;
    const char *dot = strrchr(path + fileOffset, '.');
    ofn->nFileExtension = dot ? (WORD)(dot - path + 1) : 0;
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle) {
        size_t n = strlen(path + fileOffset);
        if (n >= ofn->nMaxFileTitle)
            n = ofn->nMaxFileTitle - 1;
        memcpy(ofn->lpstrFileTitle, path + fileOffset, n);
        ofn->lpstrFileTitle[n] = 0;
    }
    return TRUE;
}

BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn) { return RunFileDialog(ofn, 0); }

BOOL GetSaveFileNameA(LPOPENFILENAMEA ofn) { return RunFileDialog(ofn, 1); }
