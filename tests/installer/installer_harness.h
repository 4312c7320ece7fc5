// Runs the installer as a user does, on either target: a patch folder as
// the current directory, a game registered in the registry, every message
// box read and answered. Natively the boxes are read from the standard
// error stream and answered on standard input; on Windows they are real
// boxes, found by class and answered with button presses.
#pragma once

#include <string>
#include <vector>

struct BoxSeen {
    std::string Caption;
    std::string Text;
};

struct ViewerStarted {
    std::string Viewer;  // "notepad" or "wordpad"
    std::string File;    // the file it was asked to open, as a local path
};

struct InstallerRun {
    int Status = -1;
    std::string Out;
    std::string Err;
    std::vector<BoxSeen> Boxes;
    std::vector<ViewerStarted> Viewers;
    // Windows: the exact texts the command interpreter received, in order.
    // Natively the interpreter is in-process and these stay empty.
    std::vector<std::string> Commands;
    // Windows, with RealViewers: the titles of the viewer windows that
    // opened (each closed again by the harness).
    std::vector<std::string> ViewerWindows;
};

struct InstallerLaunch {
    std::string Root;     // the test's own folder: registry, logs
    std::string Dir;      // the patch folder, the installer's current directory
    std::string Program;  // the installer's file name in Dir
    std::string Argv0;    // the name it is invoked by
    std::vector<std::string> Args;
    std::string Answers;  // one per box, in order: 'y', 'n' or 'o' (OK)
    bool NotepadStarts = true;
    bool WordpadStarts = true;
    // Windows: `start` runs for real, opening the system's own viewer.
    bool RealViewers = false;
};

// The game's install folder: where the test finds its files, and the
// Windows path the registry holds for it.
struct GameFolder {
    std::string Local;
    std::string Windows;
};

// A scratch folder of the test build, empty, for one case.
std::string FreshFolder(const std::string &name);

GameFolder MakeGameFolder(const std::string &root);
void RegisterGame(const std::string &root, const std::string &path);
void RegisterGameBinary(const std::string &root, const std::vector<unsigned char> &data);
void UnregisterGame(const std::string &root);

// The installer stub as built, and the file name a program gets here.
std::string StubPath();
std::string ProgramName(const std::string &base);

InstallerRun RunInstaller(const InstallerLaunch &launch);

// A folder on a small file system of `bytes` bytes, empty, or "" when this
// machine does not let the test make one (`why` then says why).
std::string SmallDrive(const std::string &name, unsigned long long bytes, std::string *why);
void ReleaseSmallDrive(const std::string &name);
