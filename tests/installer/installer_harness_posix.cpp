// The harness natively: the registry is the Wine prefix's system.reg of the
// test's own folder, the installer a child process whose boxes are read
// from its standard error stream and answered on its standard input.
#include "installer_harness.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kKeySection[] = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\ostrel.exe] 1700000000\n";

std::string Prefix(const std::string &root) { return root + "/prefix"; }

void WriteSystemReg(const std::string &root, const std::string &keyLines)
{
    std::ofstream reg(Prefix(root) + "/system.reg", std::ios::binary);
    reg << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
        << "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n#time=1d9f0\n"
        << "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n"
        << keyLines
        << "[Software\\\\Wine] 1700000000\n\"Version\"=\"wine-8.0\"\n";
}

// Escapes a value as Wine writes it in its registry files.
std::string WineQuoted(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Boxes as the layer draws them: "+--[ caption ]--(icon)", then "| " lines.
std::vector<BoxSeen> ParseBoxes(const std::string &err)
{
    std::vector<BoxSeen> boxes;
    std::istringstream lines(err);
    std::string line;
    BoxSeen *open = nullptr;
    while (std::getline(lines, line)) {
        if (line.rfind("+--[ ", 0) == 0 && line.find(" ]--(") != std::string::npos) {
            boxes.push_back({line.substr(5, line.rfind(" ]--(") - 5), ""});
            open = &boxes.back();
        } else if (open && line.rfind("| ", 0) == 0) {
            if (!open->Text.empty())
                open->Text += "\n";
            open->Text += line.substr(2);
        } else {
            open = nullptr;
        }
    }
    return boxes;
}

std::string ViewerScript(const std::string &root, const std::string &viewer)
{
    std::string path = root + "/" + viewer + ".sh";
    std::ofstream(path) << "#!/bin/sh\nprintf '%s|%s\\n' " << viewer << " \"$1\" >> '" << root << "/viewers.log'\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

}  // namespace

std::string FreshFolder(const std::string &name)
{
    std::string dir = std::string(TAILPATCH_TEST_WORK) + "/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

GameFolder MakeGameFolder(const std::string &root)
{
    std::string prefix = Prefix(root);
    fs::create_directories(prefix + "/drive_c/Games/Ostrel");
    fs::create_directories(prefix + "/dosdevices");
    fs::create_symlink("../drive_c", prefix + "/dosdevices/c:");
    WriteSystemReg(root, "");
    return {prefix + "/drive_c/Games/Ostrel", "C:\\Games\\Ostrel"};
}

void RegisterGame(const std::string &root, const std::string &path)
{
    WriteSystemReg(root, std::string(kKeySection) + "#time=1d9f0\n@=" + WineQuoted(path + "\\ostrel.exe") +
                             "\n\"Path\"=" + WineQuoted(path) + "\n\n");
}

void RegisterGameBinary(const std::string &root, const std::vector<unsigned char> &data)
{
    std::string hex = "\"Path\"=hex:";
    for (size_t i = 0; i < data.size(); i++) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        if (i)
            hex += (i % 24 == 0) ? ",\\\n  " : ",";
        hex += byte;
    }
    WriteSystemReg(root, std::string(kKeySection) + hex + "\n\n");
}

void UnregisterGame(const std::string &root) { WriteSystemReg(root, ""); }

std::string StubPath() { return std::string(TAILPATCH_TEST_BIN) + "/installer"; }

std::string ProgramName(const std::string &base) { return base; }

InstallerRun RunInstaller(const InstallerLaunch &launch)
{
    InstallerRun run;
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return run;
    }
    std::string program = launch.Dir + "/" + launch.Program;
    std::string notepad = launch.NotepadStarts ? ViewerScript(launch.Root, "notepad") : launch.Root + "/no-notepad";
    std::string wordpad = launch.WordpadStarts ? ViewerScript(launch.Root, "wordpad") : launch.Root + "/no-wordpad";
    fs::remove(launch.Root + "/viewers.log");

    pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        if (chdir(launch.Dir.c_str()) != 0)
            _exit(126);
        setenv("WINEPREFIX", Prefix(launch.Root).c_str(), 1);
        setenv("TAILPATCH_NOTEPAD", notepad.c_str(), 1);
        setenv("TAILPATCH_WORDPAD", wordpad.c_str(), 1);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(launch.Argv0.c_str()));
        for (const std::string &a : launch.Args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);

    // All answers up front: each box reads one line; the end of input
    // after them answers any further box with 0.
    std::string answers;
    for (char a : launch.Answers)
        answers += (a == 'o') ? std::string("\n") : std::string(1, a) + "\n";
    if (!answers.empty() && write(in[1], answers.data(), answers.size()) != (ssize_t)answers.size())
        ADD_FAILURE() << "could not write the answers";
    close(in[1]);

    // Both streams at once, so that neither pipe fills up and stalls it.
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *texts[2] = {&run.Out, &run.Err};
    int open = 2;
    while (open > 0 && poll(fds, 2, 30000) > 0) {
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char block[4096];
            ssize_t n = read(fds[i].fd, block, sizeof block);
            if (n > 0) {
                texts[i]->append(block, (size_t)n);
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                open--;
            }
        }
    }
    if (open > 0) {
        ADD_FAILURE() << "the installer did not finish in 30 s";
        kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Boxes = ParseBoxes(run.Err);

    // Viewers are started detached: give them a moment to log.
    std::string log = launch.Root + "/viewers.log";
    for (int i = 0; i < 50 && !launch.Answers.empty() && launch.Answers.back() == 'y' && !fs::exists(log); i++)
        usleep(20000);
    std::ifstream viewers(log);
    for (std::string line; std::getline(viewers, line);) {
        size_t bar = line.find('|');
        run.Viewers.push_back({line.substr(0, bar), line.substr(bar + 1)});
    }
    return run;
}

std::string SmallDrive(const std::string &name, unsigned long long bytes, std::string *why)
{
    std::string dir = std::string(TAILPATCH_TEST_WORK) + "/drives/" + name;
    umount2(dir.c_str(), MNT_DETACH);
    fs::create_directories(dir);
    std::string options = "size=" + std::to_string(bytes);
    if (mount("tailpatch-test", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        *why = "cannot mount a tmpfs here (" + std::string(std::strerror(errno)) + ")";
        return "";
    }
    return dir;
}

void ReleaseSmallDrive(const std::string &name)
{
    std::string dir = std::string(TAILPATCH_TEST_WORK) + "/drives/" + name;
    umount2(dir.c_str(), MNT_DETACH);
}
