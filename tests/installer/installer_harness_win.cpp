// The harness on Windows: the real registry, the real boxes, and a
// recording stand-in for the command interpreter named by COMSPEC.
#include "installer_harness.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ostrel.exe";

std::string WindowsPath(std::string path)
{
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// The console streams are in text mode: line feeds come out as CR LF.
std::string Lines(std::string text)
{
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

void SetValue(DWORD type, const void *data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "Path", 0, type, (const BYTE *)data, size), ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string TestProgramDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\'));
}

struct BoxSearch {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK FindBoxOf(HWND window, LPARAM param)
{
    BoxSearch *search = (BoxSearch *)param;
    char className[16];
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->ProcessId && IsWindowVisible(window) && GetClassNameA(window, className, sizeof className) &&
        strcmp(className, "#32770") == 0) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

int ButtonFor(char answer)
{
    switch (answer) {
    case 'y': return IDYES;
    case 'n': return IDNO;
    default: return IDOK;
    }
}

}  // namespace

std::string FreshFolder(const std::string &name)
{
    std::string dir = WindowsPath(std::string(TAILPATCH_TEST_WORK) + "/" + name);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir);
    return dir;
}

GameFolder MakeGameFolder(const std::string &root)
{
    std::string game = WindowsPath(root + "/game");
    fs::create_directories(game);
    return {game, game};
}

void RegisterGame(const std::string &, const std::string &path)
{
    SetValue(REG_SZ, path.c_str(), (DWORD)path.size() + 1);
}

void RegisterGameBinary(const std::string &, const std::vector<unsigned char> &data)
{
    SetValue(REG_BINARY, data.data(), (DWORD)data.size());
}

void UnregisterGame(const std::string &) { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); }

std::string StubPath() { return WindowsPath(std::string(TAILPATCH_TEST_BIN) + "/installer.exe"); }

std::string ProgramName(const std::string &base) { return base + ".exe"; }

InstallerRun RunInstaller(const InstallerLaunch &launch)
{
    InstallerRun run;
    std::string root = WindowsPath(launch.Root);
    std::string commandsLog = root + "\\commands.log", viewersLog = root + "\\viewers.log";
    std::string outPath = root + "\\stdout.txt", errPath = root + "\\stderr.txt";
    for (const std::string &f : {commandsLog, viewersLog})
        DeleteFileA(f.c_str());

    // msvcrt's system() starts the interpreter COMSPEC names in the
    // Windows environment, which the installer inherits from here.
    _putenv(("COMSPEC=" + TestProgramDir() + "\\cmd_recorder.exe").c_str());
    _putenv(("RECORDER_LOG=" + commandsLog).c_str());
    _putenv(("RECORDER_VIEWERS=" + viewersLog).c_str());
    _putenv(launch.NotepadStarts ? "RECORDER_NOTEPAD_STATUS=0" : "RECORDER_NOTEPAD_STATUS=1");
    _putenv(launch.WordpadStarts ? "RECORDER_WORDPAD_STATUS=0" : "RECORDER_WORDPAD_STATUS=1");
    _putenv(launch.RealViewers ? "RECORDER_REAL_START=1" : "RECORDER_REAL_START=");

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, 0, NULL);
    HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, 0, NULL);
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, NULL);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;

    std::string program = WindowsPath(launch.Dir) + "\\" + launch.Program;
    std::string commandLine = launch.Argv0;
    for (const std::string &a : launch.Args)
        commandLine += " " + a;
    PROCESS_INFORMATION pi;
    BOOL started = CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, TRUE, 0, NULL,
                                  WindowsPath(launch.Dir).c_str(), &si, &pi);
    CloseHandle(out);
    CloseHandle(err);
    CloseHandle(in);
    if (!started) {
        ADD_FAILURE() << "cannot start " << program << ": error " << GetLastError();
        return run;
    }

    // Each box in turn: read it, press the answer's button, wait until it
    // has gone before looking for the next.
    size_t answered = 0;
    DWORD waited = 0;
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
        waited += 50;
        if (waited > 60000) {
            ADD_FAILURE() << "the installer did not finish in 60 s";
            TerminateProcess(pi.hProcess, 99);
            break;
        }
        BoxSearch search = {pi.dwProcessId, NULL};
        EnumWindows(FindBoxOf, (LPARAM)&search);
        if (!search.Found)
            continue;
        char caption[512] = "", text[1024] = "";
        GetWindowTextA(search.Found, caption, sizeof caption);
        GetDlgItemTextA(search.Found, 0xFFFF, text, sizeof text);
        run.Boxes.push_back({caption, text});
        char answer = 'o';
        if (answered < launch.Answers.size())
            answer = launch.Answers[answered++];
        else
            ADD_FAILURE() << "no answer for the box \"" << caption << "\"";
        PostMessageA(search.Found, WM_COMMAND, ButtonFor(answer), 0);
        for (int i = 0; i < 200 && IsWindow(search.Found) && IsWindowVisible(search.Found); i++)
            Sleep(25);
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    run.Status = (int)code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    run.Out = Lines(ReadAll(outPath));
    run.Err = Lines(ReadAll(errPath));
    std::string commands = ReadAll(commandsLog);
    for (size_t at = 0; at < commands.size();) {
        size_t newline = commands.find('\n', at);
        size_t length = std::stoul(commands.substr(at, newline - at));
        run.Commands.push_back(commands.substr(newline + 1, length));
        at = newline + 1 + length + 1;
    }
    // A viewer started for real outlives the installer: note its window and
    // close it.
    for (int i = 0; launch.RealViewers && i < 200; i++) {
        HWND viewer = FindWindowA("Notepad", NULL);
        if (!viewer) {
            Sleep(50);
            continue;
        }
        // The title names the file once it is loaded: it reads "Notepad",
        // then "Untitled - Notepad", before "<file> - Notepad".
        char title[256] = "";
        for (int j = 0; j < 200; j++, Sleep(50)) {
            GetWindowTextA(viewer, title, sizeof title);
            if (strstr(title, " - ") && strncmp(title, "Untitled", 8) != 0)
                break;
        }
        run.ViewerWindows.push_back(title);
        PostMessageA(viewer, WM_CLOSE, 0, 0);
        for (int j = 0; j < 200 && IsWindow(viewer); j++)
            Sleep(25);
        break;
    }
    std::ifstream viewers(viewersLog);
    for (std::string line; std::getline(viewers, line);) {
        size_t bar = line.find('|');
        run.Viewers.push_back({line.substr(0, bar), line.substr(bar + 1)});
    }
    return run;
}

// Drives of a given size are made before the tests, when this machine lets
// them be mounted: the small one as S:, the large one as B:.
std::string SmallDrive(const std::string &name, unsigned long long bytes, std::string *why)
{
    std::string root = name == "small" ? "S:\\" : "B:\\";
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free) || total.QuadPart != bytes) {
        *why = "no drive " + root + " of " + std::to_string(bytes) + " bytes (tests/installer/drives.sh could not "
               "mount it)";
        return "";
    }
    std::string dir = root + "tailpatch";
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir);
    return dir;
}

void ReleaseSmallDrive(const std::string &name)
{
    std::error_code ignored;
    fs::remove_all((name == "small" ? "S:\\" : "B:\\") + std::string("tailpatch"), ignored);
}
