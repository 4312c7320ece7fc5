// ParseCommandLine in a process of its own. On Windows the child is given
// an exact raw line (CreateProcessA passes the line as it stands); natively
// it is given an argument vector, and the line the platform layer rebuilds
// from it must split back into the same arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

namespace {

const char kChild[] = CMDLINE_CHILD;

// The child's report for a line split into `args` with directory `dir`.
std::string Report(const std::vector<std::string> &args, const std::string &dir)
{
    std::string out = "count " + std::to_string(args.size()) + "\n";
    for (const std::string &a : args)
        out += "arg [" + a + "]\n";
    return out + "dir [" + dir + "]\nreleased yes\n";
}

const char kFailed[] = "null\nreleased yes\n";

#ifdef _WIN32

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string RunChild(const std::string &rawLine)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return "no pipe";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process;
    std::vector<char> line(rawLine.begin(), rawLine.end());
    line.push_back(0);
    BOOL started = CreateProcessA(kChild, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
    CloseHandle(writeEnd);
    std::string out;
    if (started) {
        char buffer[512];
        DWORD n;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, NULL) && n)
            out.append(buffer, n);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        out = "not started, error " + std::to_string(GetLastError());
    }
    CloseHandle(readEnd);
    // msvcrt's text mode writes CR LF.
    std::string plain;
    for (char c : out)
        if (c != '\r')
            plain += c;
    return plain;
}

struct RawLineCase {
    const char *Label;
    const char *Line;
    bool Fails;
    std::vector<std::string> Args;
    std::string Dir;
};

TEST(ChildProcess, SplitsItsExactRawLine)
{
    const RawLineCase kCases[] = {
        {"quoted program path", "\"C:\\Dir\\prog.exe\" 500", false, {"C:\\Dir\\prog.exe", "500"}, "C:\\Dir\\"},
        {"spaces around and between", "  prog  a   b  ", false, {"prog", "a", "b"}, ""},
        {"quote in the middle of text", "\"a b\"c d\"e f", false, {"a b", "c", "d\"e", "f"}, ""},
        {"backslash before a quote", "\"a\\\"b\" x\ty", false, {"a\\", "b\"", "x\ty"}, "a\\"},
        {"empty quoted arguments", "\"\" \"\"", false, {"", ""}, ""},
        {"unclosed quote", "prog x \"abc", true, {}, ""},
    };
    for (const RawLineCase &c : kCases) {
        SCOPED_TRACE(c.Label);
        EXPECT_EQ(RunChild(c.Line), c.Fails ? kFailed : Report(c.Args, c.Dir));
    }
}

// Windows hands an empty line over as it is; Wine puts the quoted program
// name in its place, so under Wine the child sees itself as the one
// argument.
TEST(ChildProcess, EmptyRawLine)
{
    std::string got = RunChild("");
    if (UnderWine()) {
        std::string path = kChild;
        EXPECT_EQ(got, Report({path}, path.substr(0, path.find_last_of("\\/") + 1)));
    } else {
        EXPECT_EQ(got, Report({}, ""));
    }
}

#else

std::string RunChild(const std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t pid;
    int rc = posix_spawn(&pid, kChild, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string out;
    if (rc == 0) {
        char buffer[512];
        ssize_t n;
        while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            out.append(buffer, (size_t)n);
        int status;
        waitpid(pid, &status, 0);
    } else {
        out = "not started, error " + std::to_string(rc);
    }
    close(pipeEnds[0]);
    return out;
}

// The arguments come back as they were given, whatever they hold but a
// space together with a double quote.
TEST(ChildProcess, RebuiltLineSplitsBackIntoArguments)
{
    const std::string child = kChild;
    const std::string childDir = child.substr(0, child.rfind('/') + 1);
    struct {
        const char *Label;
        std::vector<std::string> Args;
        std::string Dir;
    } const kCases[] = {
        {"program path only", {child}, childDir},
        {"program name without a directory", {"prog", "500"}, ""},
        {"spaces, empty, tab and quotes", {child, "a b", "", " lead", "x\ty", "c\"d", "e\""}, childDir},
        {"a program path with a space", {"/no such/dir/prog", "x"}, "/no such/dir/"},
        {"bytes above 0x7f", {"\xe9t\xe9", "\xff \x80"}, ""},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.Label);
        EXPECT_EQ(RunChild(c.Args), Report(c.Args, c.Dir));
    }
}

#endif

}  // namespace
