// Stands in for the command interpreter in the installer's tests. The C
// runtime starts it as "<COMSPEC> /c <command>"; it appends the command
// text, byte for byte, to RECORDER_LOG, and then:
// - `start <viewer> "<file>"`, unless RECORDER_REAL_START is set: pretends
//   to start the viewer, answering RECORDER_<VIEWER>_STATUS (0 when unset)
//   and, on 0, noting the viewer and file in RECORDER_VIEWERS;
// - anything else: hands it to the real cmd.exe, without the final line
//   feed, which Wine's cmd does not take as the end of the command.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

static void Append(const char *variable, const std::string &record)
{
    const char *path = std::getenv(variable);
    if (!path)
        return;
    FILE *f = std::fopen(path, "ab");
    if (!f)
        return;
    std::fwrite(record.data(), 1, record.size(), f);
    std::fclose(f);
}

int main()
{
    std::string line = GetCommandLineA();
    size_t at = line.find(" /c ");
    std::string command = at == std::string::npos ? "" : line.substr(at + 4);
    Append("RECORDER_LOG", std::to_string(command.size()) + "\n" + command + "\n");

    if (command.rfind("start ", 0) == 0 && !std::getenv("RECORDER_REAL_START")) {
        size_t viewerEnd = command.find(' ', 6);
        std::string viewer = command.substr(6, viewerEnd - 6);
        size_t open = command.find('"', viewerEnd);
        size_t close = command.find('"', open + 1);
        std::string file = open == std::string::npos ? "" : command.substr(open + 1, close - open - 1);
        std::string variable = "RECORDER_";
        for (char c : viewer)
            variable += (char)std::toupper((unsigned char)c);
        variable += "_STATUS";
        const char *status = std::getenv(variable.c_str());
        int result = status ? std::atoi(status) : 0;
        if (result == 0)
            Append("RECORDER_VIEWERS", viewer + "|" + file + "\n");
        return result;
    }

    if (!command.empty() && command.back() == '\n')
        command.pop_back();
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string interpreter = std::string(system) + "\\cmd.exe";
    std::string commandLine = "cmd.exe /c " + command;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(interpreter.c_str(), &commandLine[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return (int)code;
}
