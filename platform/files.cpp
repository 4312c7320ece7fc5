// Files, paths and disks: Windows paths through the Wine prefix, the
// runtime's attribute calls and the free space of the current drive.
#include "platform/win32.h"
#include "platform/paths.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>




int GetWinePrefix(char *out, size_t outSize)
{
    const char *prefix = getenv("WINEPREFIX");
    int n;
    if (prefix && *prefix) {
        n = snprintf(out, outSize, "%s", prefix);
    } else {
        const char *home = getenv("HOME");
        n = snprintf(out, outSize, "%s/.wine", home ? home : "");
    }
    return n >= 0 && (size_t)n < outSize;
}

static int Append(char *out, size_t outSize, size_t *length, const char *text, size_t textLength)
{
    if (*length + textLength + 1 > outSize)
        return 0;
    memcpy(out + *length, text, textLength);
    *length += textLength;
    out[*length] = 0;
    return 1;
}

// Looks for an entry of `dir` whose name matches `name` ignoring case;
// stores the entry's own spelling in `found`.
static int FindCaseless(const char *dir, const char *name, size_t nameLength, char *found, size_t foundSize)
{
    DIR *d = opendir(*dir ? dir : ".");
    if (!d)
        return 0;
    int ok = 0;
    for (struct dirent *e; (e = readdir(d)) != NULL;) {
        if (strlen(e->d_name) == nameLength && strncasecmp(e->d_name, name, nameLength) == 0 &&
            strlen(e->d_name) < foundSize) {
            strcpy(found, e->d_name);
            ok = 1;
            break;
        }
    }
    closedir(d);
    return ok;
}

int MapWindowsPath(const char *windowsPath, char *out, size_t outSize)
{
    size_t length = 0;
    const char *rest = windowsPath;
    if (outSize == 0)
        return 0;
    out[0] = 0;

    if (isalpha((unsigned char)rest[0]) && rest[1] == ':') {
        char prefix[PATH_MAX];
        if (!GetWinePrefix(prefix, sizeof prefix))
            return 0;
        char root[PATH_MAX + 16];
        int n = snprintf(root, sizeof root, "%s/dosdevices/%c:", prefix, tolower((unsigned char)rest[0]));
        if (!Append(out, outSize, &length, root, (size_t)n))
            return 0;
        rest += 2;
        // "C:name" is taken from the drive's root: a process of this layer
        // has no per-drive current directory.
        if (*rest != '\\' && *rest != '/' && !Append(out, outSize, &length, "/", 1))
            return 0;
    }

    // Each component: the separator, then the name as it is on disk when
    // only its case differs. Once one is missing the rest are kept as given.
    int searching = 1;
    while (*rest) {
        if (*rest == '\\' || *rest == '/') {
            if (!Append(out, outSize, &length, "/", 1))
                return 0;
            while (*rest == '\\' || *rest == '/')
                rest++;
            continue;
        }
        size_t nameLength = strcspn(rest, "\\/");
        size_t before = length;
        if (!Append(out, outSize, &length, rest, nameLength))
            return 0;
        struct stat st;
        if (searching && lstat(out, &st) != 0) {
            char found[NAME_MAX + 1];
            out[before] = 0;
            if (FindCaseless(out, rest, nameLength, found, sizeof found)) {
                length = before;
                if (!Append(out, outSize, &length, found, strlen(found)))
                    return 0;
            } else {
                length = before;
                if (!Append(out, outSize, &length, rest, nameLength))
                    return 0;
                searching = 0;
            }
        }
        rest += nameLength;
    }
    return 1;
}

FILE *PlatformFopen(const char *path, const char *mode)
{
    char mapped[PATH_MAX];
    if (!MapWindowsPath(path, mapped, sizeof mapped)) {
        errno = ENAMETOOLONG;
        return NULL;
    }
    return fopen(mapped, mode);
}

// Windows refuses to delete a read-only file; so does this layer, for root
// as well, so that a read-only part stays where it is on both.
int PlatformRemove(const char *path)
{
    char mapped[PATH_MAX];
    struct stat st;
    if (!MapWindowsPath(path, mapped, sizeof mapped)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    if (lstat(mapped, &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return -1;
    }
    return remove(mapped);
}

int _access(const char *path, int mode)
{
    char mapped[PATH_MAX];
    if (!MapWindowsPath(path, mapped, sizeof mapped))
        return -1;
    int want = F_OK;
    if (mode & 2)
        want |= W_OK;
    if (mode & 4)
        want |= R_OK;
    return access(mapped, want) == 0 ? 0 : -1;
}

// The owner's write permission stands for the absence of the read-only
// attribute; every other permission bit is kept.
int _chmod(const char *path, int mode)
{
    char mapped[PATH_MAX];
    struct stat st;
    if (!MapWindowsPath(path, mapped, sizeof mapped) || stat(mapped, &st) != 0)
        return -1;
    mode_t bits = st.st_mode & 07777;
    bits = (mode & _S_IWRITE) ? (bits | S_IWUSR) : (bits & ~(mode_t)(S_IWUSR | S_IWGRP | S_IWOTH));
    return chmod(mapped, bits) == 0 ? 0 : -1;
}

// The space available to this user, as Windows reports the clusters
// available to the caller. Clusters are counted in 32 bits as there; a
// file system too large for that reports the most it can.
BOOL GetDiskFreeSpaceA(LPCSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                       LPDWORD freeClusters, LPDWORD totalClusters)
{
    char mapped[PATH_MAX] = ".";
    struct statvfs vfs;
    if (rootPath && !MapWindowsPath(rootPath, mapped, sizeof mapped))
        return FALSE;
    if (statvfs(mapped, &vfs) != 0)
        return FALSE;

    unsigned long cluster = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    DWORD sector = (cluster >= 512 && cluster % 512 == 0) ? 512 : (DWORD)cluster;
    *bytesPerSector = sector;
    *sectorsPerCluster = (DWORD)(cluster / sector);
    *freeClusters = vfs.f_bavail > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)vfs.f_bavail;
    *totalClusters = vfs.f_blocks > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)vfs.f_blocks;
    return TRUE;
}

int _fileno(FILE *stream)
{
    return fileno(stream);
}

int _isatty(int fd)
{
    return isatty(fd);
}

// Streams here never translate line ends: every mode is binary.
int _setmode(int fd, int mode)
{
    (void)mode;
    return fcntl(fd, F_GETFD) == -1 ? -1 : _O_BINARY;
}

int _fstat64(int fd, struct _stat64 *st)
{
    struct stat native;
    if (fstat(fd, &native) != 0)
        return -1;
    // Only the type bits and the size: the rest has no Windows meaning here.
    st->st_mode = (unsigned short)(native.st_mode & (S_IFMT | 0777));
    st->st_size = native.st_size;
    return 0;
}

int _commit(int fd)
{
    return fsync(fd) == 0 ? 0 : -1;
}

// Answers 0 or an errno value, as the Windows call does.
int _chsize_s(int fd, int64_t size)
{
    if (size < 0)
        return EINVAL;
    return ftruncate(fd, (off_t)size) == 0 ? 0 : errno;
}
