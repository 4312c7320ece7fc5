// The patch installer: run from the folder holding the patch files with the
// free space the patch needs, it finds the game in the registry and copies
// every file its trailer lists into the install directory.
#include "platform/os.h"
#include "installer/trailer.h"
#include "winlib/msgbox.h"

#include <stdint.h>

static const char kInstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ostrel.exe";
static const char kInstallValue[] = "Path";
static const int kBufferSize = 256;
static const int kExitFailure = 1;
static const int kExitUsage = 2;

// Current manifest name; between entries also the space text and the
// read-me commands.
static char NameBuffer[kBufferSize];
// Target path of the current entry, then its copy command.
static char CommandBuffer[kBufferSize];
// The registry's block, held to the end of the run.
static char *InstallDir;

static void Fail(const char *caption, const char *text)
{
    ShowErrorBox(NULL, caption, text);
    exit(kExitFailure);
}

// Reports an entry whose path or command would not fit in its buffer,
// naming it by its first bytes; nothing cut short is ever run.
static void FailEntryTooLong(const char *caption, const char *what, const char *name)
{
    char text[160];
    snprintf(text, sizeof text, "%s for the patch entry \"%.48s%s\" does not fit in %d bytes.", what,
             name, strlen(name) > 48 ? "..." : "", kBufferSize - 1);
    Fail(caption, text);
}

// Returns the value's data in a new 256-byte block, or null after telling
// the user why. The caller owns the block.
char *ReadRegistryString(const char *subKey, const char *valueName)
{
    char *block = (char *)malloc(kBufferSize);
    if (!block)
        return NULL;

    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        ShowErrorBox(NULL, "ERROR: could not open registry key", subKey);
        free(block);
        return NULL;
    }

    DWORD size = kBufferSize;
    LONG status = RegQueryValueExA(key, valueName, NULL, NULL, (LPBYTE)block, &size);
    // Data that fills the block without a terminator would be read past its
    // end: it needs one byte more than there is.
    if (status == ERROR_SUCCESS && size >= (DWORD)kBufferSize && block[kBufferSize - 1] != 0) {
        status = ERROR_MORE_DATA;
        size = kBufferSize + 1;
    }
    if (status != ERROR_SUCCESS) {
        snprintf(block, kBufferSize, "KeyName:\"%s\\%s\" Required Buffer Size:%d", subKey, valueName,
                 (int)size);
        ShowErrorBox(NULL, "ERROR: querry on key name failed", block);
        free(block);
        RegCloseKey(key);
        return NULL;
    }
    if (size < (DWORD)kBufferSize)
        block[size] = 0;  // binary data comes without a terminator
    RegCloseKey(key);
    return block;
}

// Copies one manifest entry from the current directory into the install
// directory, first making an installed read-only copy writable. Answers
// the interpreter's status.
static int InstallEntry(const char *installDir, const char *name)
{
    if (snprintf(CommandBuffer, kBufferSize, "%s\\%s", installDir, name) >= kBufferSize)
        FailEntryTooLong("ERROR: Target path too long", "The target path", name);
    if (_access(CommandBuffer, 0) == 0)
        _chmod(CommandBuffer, _S_IWRITE);

    if (snprintf(CommandBuffer, kBufferSize, "copy \"%s\" \"%s\"\n", name, installDir) >= kBufferSize)
        FailEntryTooLong("ERROR: Copy command too long", "The copy command", name);
    return system(CommandBuffer);
}

// Opens patch.txt in Notepad, or in WordPad when Notepad cannot be started.
static void OpenReadMe(const char *installDir)
{
    static const char *const kViewers[] = {"notepad", "wordpad"};
    for (const char *viewer : kViewers) {
        if (snprintf(NameBuffer, kBufferSize, "start %s \"%s\\patch.txt\"", viewer, installDir) >= kBufferSize)
            Fail("ERROR: Read me path too long", "The install path is too long to open the read me.");
        if (system(NameBuffer) == 0)
            return;
    }
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "Usage for:\n%s %s\n", argv[0], "[Required Disk Space in Bytes]\n");
        return kExitUsage;
    }

    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceA(NULL, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        Fail("ERROR: GetDiskFreeSpace failed", "Could not determine free disk space");

    // 64-bit: the 32-bit product wraps on drives with 4 GiB or more free.
    uint64_t freeBytes = (uint64_t)sectorsPerCluster * bytesPerSector * freeClusters;
    uint32_t required = (uint32_t)atoi(argv[1]);
    if (required > freeBytes) {
        snprintf(NameBuffer, kBufferSize, "Patch requires %u bytes free disk space.", (unsigned)required);
        Fail("ERROR: Insufficient disk space", NameBuffer);
    }

    InstallDir = ReadRegistryString(kInstallKey, kInstallValue);
    if (!InstallDir)
        Fail("ERROR: Get Install Directory failed", "Game is not installed or install is corrupted");
    printf("Install path:%s\n", InstallDir);
    fflush(stdout);  // before the interpreter's output, wherever it goes

    FILE *self = fopen(argv[0], "rb");
    if (!self) {
        char text[kBufferSize];
        snprintf(text, sizeof text, "Could not open \"%.200s\" to read the list of patch files.", argv[0]);
        Fail("ERROR: Cannot open the installer", text);
    }
    fseek(self, kTrailerOffset, SEEK_SET);

    unsigned total = 0, failed = 0;
    for (;;) {
        int result = ReadQuotedName(self, NameBuffer);
        if (result == kNoMoreNames)
            break;
        if (result == kNameTooLong)
            FailEntryTooLong("ERROR: Patch entry too long", "The name", NameBuffer);
        total++;
        if (InstallEntry(InstallDir, NameBuffer) != 0)
            failed++;
    }
    fclose(self);

    if (failed) {
        char text[kBufferSize];
        snprintf(text, sizeof text, "%u of %u patch files could not be copied. The patch is incomplete.",
                 failed, total);
        Fail("ERROR: Patch failed", text);
    }

    if (AskYesNo(NULL, "Patch applied successfully", "VIEW PATCH READ ME") == IDYES)
        OpenReadMe(InstallDir);
    return 0;
}
