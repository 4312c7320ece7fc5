// The command interpreter: `system` runs a command in a child process that
// understands what the installer sends, as the Windows interpreter does:
// `copy` with one source (wildcards allowed) and one destination, and
// `start notepad|wordpad "file"`. Its messages and exit status are cmd's.
#include "platform/win32.h"
#include "platform/paths.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static const int kMaxWords = 8;

struct CommandLine {
    char *Words[kMaxWords];
    int Count;
};

// Splits the command text as cmd does for these commands: the line ends
// at the first line break, words are separated by spaces and a double
// quote groups spaces into a word (the quotes themselves are dropped).
static int SplitCommand(char *text, CommandLine *line)
{
    text[strcspn(text, "\r\n")] = 0;
    line->Count = 0;
    char *p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (!*p)
            return 1;
        if (line->Count == kMaxWords)
            return 0;
        char *out = p;
        line->Words[line->Count++] = out;
        int quoted = 0;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '"')
                quoted = !quoted;
            else
                *out++ = *p;
            p++;
        }
        int ended = *p == 0;
        *out = 0;
        if (ended)
            return 1;
        p++;
    }
}

static const char *BaseName(const char *path)
{
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Copies one file over `target`, as copy does: an existing target keeps its
// name and is truncated in place, a read-only one is refused; the copy takes
// the source's time of last write.
static int CopyOneFile(const char *source, const char *target)
{
    struct stat from, to;
    if (stat(source, &from) != 0)
        return 0;
    if (stat(target, &to) == 0) {
        if (from.st_dev == to.st_dev && from.st_ino == to.st_ino) {
            fprintf(stdout, "The file cannot be copied onto itself.\n");
            return 0;
        }
        if (S_ISREG(to.st_mode) && !(to.st_mode & S_IWUSR)) {
            fprintf(stdout, "Access is denied.\n");
            return 0;
        }
    }
    int in = open(source, O_RDONLY);
    if (in < 0)
        return 0;
    int out = open(target, O_WRONLY | O_CREAT | O_TRUNC, from.st_mode & 0777);
    if (out < 0) {
        fprintf(stdout, "Access is denied.\n");
        close(in);
        return 0;
    }
    static char buffer[1 << 16];
    int ok = 1;
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = 0;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer + done, (size_t)(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok = 0;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    if (ok) {
        struct timespec times[2] = {from.st_atim, from.st_mtim};
        futimens(out, times);
    }
    if (close(out) != 0)
        ok = 0;
    close(in);
    if (!ok)
        fprintf(stdout, "There is not enough space on the disk.\n");
    return ok;
}

// Resolves the destination of one copied file: into a directory under the
// source's name (matching an existing entry whatever its case), or the
// destination itself.
static int TargetPath(const char *destination, int intoDirectory, const char *name, char *out, size_t outSize)
{
    if (!intoDirectory)
        return snprintf(out, outSize, "%s", destination) < (int)outSize;
    char joined[PATH_MAX];
    if (snprintf(joined, sizeof joined, "%s/%s", destination, name) >= (int)sizeof joined)
        return 0;
    return MapWindowsPath(joined, out, outSize);
}

static int CopyCommand(const CommandLine *line)
{
    if (line->Count != 3 || !line->Words[1][0] || !line->Words[2][0]) {
        fprintf(stdout, "The syntax of the command is incorrect.\n");
        return 1;
    }
    char source[PATH_MAX], destination[PATH_MAX];
    if (!MapWindowsPath(line->Words[1], source, sizeof source) ||
        !MapWindowsPath(line->Words[2], destination, sizeof destination)) {
        fprintf(stdout, "The filename, directory name, or volume label syntax is incorrect.\n");
        fprintf(stdout, "        0 file(s) copied.\n");
        return 1;
    }
    struct stat st;
    int intoDirectory = stat(destination, &st) == 0 && S_ISDIR(st.st_mode);

    // The source names one file, every file of a directory, or the files
    // of its directory that match a pattern with * and ?.
    char directory[PATH_MAX];
    const char *pattern;
    int single = strpbrk(BaseName(source), "*?") == NULL;
    if (single && stat(source, &st) == 0 && S_ISDIR(st.st_mode)) {
        snprintf(directory, sizeof directory, "%s", source);
        pattern = "*";
        single = 0;
    } else {
        snprintf(directory, sizeof directory, "%.*s", (int)(BaseName(source) - source), source);
        pattern = BaseName(source);
    }

    int copied = 0, failed = 0, matched = 0;
    if (single) {
        if (stat(source, &st) == 0 && S_ISREG(st.st_mode)) {
            char target[PATH_MAX];
            matched = 1;
            if (TargetPath(destination, intoDirectory, BaseName(source), target, sizeof target) &&
                CopyOneFile(source, target))
                copied++;
            else
                failed++;
        }
    } else {
        DIR *d = opendir(*directory ? directory : ".");
        for (struct dirent *e; d && (e = readdir(d)) != NULL;) {
            char from[PATH_MAX], target[PATH_MAX];
            if (fnmatch(pattern, e->d_name, FNM_CASEFOLD | FNM_PERIOD) != 0 ||
                snprintf(from, sizeof from, "%s%s%s", directory, *directory ? "/" : "", e->d_name) >=
                    (int)sizeof from ||
                stat(from, &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            matched++;
            fprintf(stdout, "%s\n", e->d_name);
            // Without a directory to copy into, every match goes into the one file.
            if (TargetPath(destination, intoDirectory, e->d_name, target, sizeof target) &&
                CopyOneFile(from, target))
                copied++;
            else
                failed++;
        }
        if (d)
            closedir(d);
    }

    if (!matched)
        fprintf(stderr, "The system cannot find the file specified.\n");
    fprintf(stdout, "        %d file(s) copied.\n", copied);
    return copied == 0 || failed ? 1 : 0;
}

// A text viewer of this machine for `start notepad` and `start wordpad`:
// the one the user names in TAILPATCH_NOTEPAD or TAILPATCH_WORDPAD, else the
// desktop's own when there is a desktop.
static int FindViewer(const char *program, const char **argv0)
{
    static const char *const kDesktopViewers[] = {"xdg-open", "gedit", "mousepad", "kate", "xedit"};
    const char *chosen = NULL;
    if (strcasecmp(program, "notepad") == 0)
        chosen = getenv("TAILPATCH_NOTEPAD");
    else if (strcasecmp(program, "wordpad") == 0)
        chosen = getenv("TAILPATCH_WORDPAD");
    else
        return 0;
    if (chosen) {
        *argv0 = chosen;
        return *chosen != 0;
    }
    if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY"))
        return 0;
    const char *path = getenv("PATH");
    for (const char *viewer : kDesktopViewers) {
        for (const char *dir = path; dir && *dir;) {
            size_t n = strcspn(dir, ":");
            char candidate[PATH_MAX];
            if (snprintf(candidate, sizeof candidate, "%.*s/%s", (int)n, dir, viewer) < (int)sizeof candidate &&
                access(candidate, X_OK) == 0) {
                *argv0 = viewer;
                return 1;
            }
            dir += n + (dir[n] == ':');
        }
    }
    return 0;
}

// Starts the viewer detached, in a session of its own, and answers 0 once
// it is running; a viewer that cannot be executed is reported through a
// pipe that closes on exec.
static int StartCommand(const CommandLine *line)
{
    const char *viewer;
    if (line->Count != 3 || !FindViewer(line->Words[1], &viewer)) {
        fprintf(stderr, "The system cannot find the file %s.\n", line->Count > 1 ? line->Words[1] : "");
        return 1;
    }
    char file[PATH_MAX];
    if (!MapWindowsPath(line->Words[2], file, sizeof file))
        return 1;
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return 1;
    pid_t child = fork();
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            execlp(viewer, viewer, file, (char *)NULL);
            int error = errno;
            ssize_t ignored = write(report[1], &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        _exit(0);
    }
    close(report[1]);
    int error = 0;
    ssize_t got = child > 0 ? read(report[0], &error, sizeof error) : -1;
    close(report[0]);
    if (child > 0)
        waitpid(child, NULL, 0);
    if (child < 0 || got > 0) {
        fprintf(stderr, "The system cannot find the file %s.\n", line->Words[1]);
        return 1;
    }
    return 0;
}

static int Interpret(char *text)
{
    CommandLine line;
    if (!SplitCommand(text, &line)) {
        fprintf(stdout, "The syntax of the command is incorrect.\n");
        return 1;
    }
    if (line.Count == 0)
        return 0;
    if (strcasecmp(line.Words[0], "copy") == 0)
        return CopyCommand(&line);
    if (strcasecmp(line.Words[0], "start") == 0)
        return StartCommand(&line);
    fprintf(stderr,
            "'%s' is not recognized as an internal or external command,\n"
            "operable program or batch file.\n",
            line.Words[0]);
    return 1;
}

int PlatformSystem(const char *command)
{
    if (!command)
        return 1;  // an interpreter is available
    // Held output goes first, and is not written twice by the child.
    fflush(NULL);
    pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        char *text = strdup(command);
        int status = text ? Interpret(text) : 1;
        fflush(NULL);
        _exit(status);
    }
    int status;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
