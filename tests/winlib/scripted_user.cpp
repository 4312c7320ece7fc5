#include "scripted_user.h"

#include <stdio.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <direct.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::string ScreenshotPath(const std::string &name)
{
    std::string dir = TAILPATCH_TEST_SCREENSHOTS;
#ifdef _WIN32
    _mkdir(dir.c_str());
    return dir + "\\" + name;
#else
    mkdir(dir.c_str(), 0777);
    return dir + "/" + name;
#endif
}

ScriptedUser::ScriptedUser() = default;

ScriptedUser::~ScriptedUser()
{
    if (Running)
        Finish();
}

ScriptedUser &ScriptedUser::AnswerBox(const std::string &caption, int button, const std::string &screenshot)
{
    Steps.push_back({Step::Box, caption, button, "", 0, screenshot});
    return *this;
}

ScriptedUser &ScriptedUser::ChooseFile(const std::string &caption, const std::string &name,
                                       const std::string &screenshot)
{
    Steps.push_back({Step::File, caption, 0, name, 0, screenshot});
    return *this;
}

ScriptedUser &ScriptedUser::PickItem(const std::string &caption, int index, const std::string &screenshot)
{
    Steps.push_back({Step::Item, caption, 0, "", index, screenshot});
    return *this;
}

#ifdef _WIN32

// ---- Windows: a second thread works the real windows --------------------

struct ScriptedUser::State {
    std::thread Worker;
    std::atomic<bool> Stop{false};
    std::vector<SeenWindow> Seen;
};

// The whole screen as a 24-bit BMP.
static void SaveScreen(const std::string &path)
{
    HDC screen = GetDC(0);
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
    std::vector<char> pixels((size_t)stride * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), (BITMAPINFO *)&info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(0, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)pixels.size();
    std::ofstream out(path, std::ios::binary);
    out.write((const char *)&file, sizeof file);
    out.write((const char *)&info, sizeof info);
    out.write(pixels.data(), (std::streamsize)pixels.size());
}

static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The file name field: the explorer dialog's name combo box (its text is
// its edit's), else the older dialog's name edit, else the first edit.
static HWND FileNameField(HWND dialog)
{
    HWND field = GetDlgItem(dialog, 0x47C);
    if (!field)
        field = GetDlgItem(dialog, 0x480);
    return field ? field : FindWindowExA(dialog, 0, "Edit", 0);
}

static std::string TextOf(HWND window)
{
    char text[1024] = "";
    SendMessageA(window, WM_GETTEXT, sizeof text, (LPARAM)text);
    return text;
}

static HWND WaitForWindow(const char *windowClass, const char *caption, ScriptedUser::State *state, int ms)
{
    for (int waited = 0; !state->Stop && waited < ms; waited += 20) {
        HWND window = FindWindowA(windowClass, caption);
        if (window && IsWindowVisible(window))
            return window;
        Pause(20);
    }
    return 0;
}

static void WaitUntilGone(HWND window, int ms)
{
    for (int waited = 0; IsWindow(window) && waited < ms; waited += 20)
        Pause(20);
}

// A box or dialog nobody expected is noted, photographed and closed, so
// that the call that showed it returns and the test can fail on it.
static void CloseUnexpected(ScriptedUser::State *state)
{
    int n = 0;
    while (!state->Stop) {
        HWND window = WaitForWindow("#32770", 0, state, 1000000);
        if (!window)
            return;
        Pause(500);
        SeenWindow seen;
        char text[1024] = "";
        GetWindowTextA(window, text, sizeof text);
        seen.Caption = text;
        text[0] = 0;
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        seen.Text = text;
        seen.Field = "(unexpected)";
        state->Seen.push_back(seen);
        SaveScreen(ScreenshotPath("unexpected-" + std::to_string(++n) + ".bmp"));
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        WaitUntilGone(window, 2000);
        if (IsWindow(window))
            PostMessageA(window, WM_CLOSE, 0, 0);
        WaitUntilGone(window, 2000);
    }
}

static void Work(const std::vector<ScriptedUser::Step> &steps, ScriptedUser::State *state)
{
    for (const ScriptedUser::Step &step : steps) {
        bool isList = step.What == ScriptedUser::Step::Item;
        HWND window = WaitForWindow(isList ? 0 : "#32770", step.Caption.c_str(), state, 20000);
        if (!window)
            break;
        // Let the window finish drawing before it is looked at.
        Pause(step.Screenshot.empty() ? 200 : 1000);
        SeenWindow seen;
        seen.Caption = step.Caption;
        if (!step.Screenshot.empty())
            SaveScreen(ScreenshotPath(step.Screenshot + ".bmp"));

        switch (step.What) {
        case ScriptedUser::Step::Box: {
            char text[1024] = "";
            GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
            seen.Text = text;
            PostMessageA(window, WM_COMMAND, step.Button, 0);
            break;
        }
        case ScriptedUser::Step::File: {
            HWND field = FileNameField(window);
            seen.Field = field ? TextOf(field) : "(no file name field)";
            if (step.Name.empty()) {
                PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            } else {
                if (field)
                    SendMessageA(field, WM_SETTEXT, 0, (LPARAM)step.Name.c_str());
                PostMessageA(window, WM_COMMAND, IDOK, 0);
            }
            break;
        }
        case ScriptedUser::Step::Item: {
            LRESULT height = SendMessageA(window, LB_GETITEMHEIGHT, 0, 0);
            LPARAM at = MAKELPARAM(4, step.Index * height + height / 2);
            PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageA(window, WM_LBUTTONUP, 0, at);
            break;
        }
        }
        state->Seen.push_back(seen);
        // A box or dialog is done once it has gone; a list stays up.
        if (!isList)
            WaitUntilGone(window, 3000);
    }
    CloseUnexpected(state);
}

void ScriptedUser::Start()
{
    Running.reset(new State);
    State *state = Running.get();
    std::vector<Step> steps = Steps;
    state->Worker = std::thread([steps, state] { Work(steps, state); });
}

std::vector<SeenWindow> ScriptedUser::Finish()
{
    Running->Stop = true;
    Running->Worker.join();
    std::vector<SeenWindow> seen = Running->Seen;
    Running.reset();
    return seen;
}

#else

// ---- natively: the terminal ----------------------------------------------

struct ScriptedUser::State {
    std::string Transcript;
    std::string InputPath;
    int SavedStderr;
};

static std::string TempPath(const char *name)
{
    return std::string(TAILPATCH_TEST_WORK) + "/" + name + "." + std::to_string(getpid());
}

static const char *ButtonName(int id)
{
    static const char *const kNames[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    return id >= 1 && id <= 7 ? kNames[id] : "";
}

static std::string AnswerLine(const ScriptedUser::Step &step)
{
    switch (step.What) {
    case ScriptedUser::Step::Box: return ButtonName(step.Button);
    case ScriptedUser::Step::File: return step.Name;
    case ScriptedUser::Step::Item: return std::to_string(step.Index + 1);
    }
    return "";
}

void ScriptedUser::Start()
{
    Running.reset(new State);
    std::string input;
    for (const Step &step : Steps)
        input += AnswerLine(step) + "\n";
    Running->InputPath = TempPath("stdin");
    std::ofstream(Running->InputPath) << input;
    freopen(Running->InputPath.c_str(), "r", stdin);

    fflush(stderr);
    Running->SavedStderr = dup(2);
    int capture = open(TempPath("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(capture, 2);
    close(capture);
}

// A window on the terminal begins with "+--[ caption ]--(kind)"; its
// lines start with "| ".
static std::vector<std::pair<SeenWindow, std::string>> ParseTranscript(const std::string &transcript)
{
    std::vector<std::pair<SeenWindow, std::string>> windows;
    std::istringstream lines(transcript);
    std::string line;
    while (std::getline(lines, line)) {
        size_t close = line.rfind(" ]--(");
        if (line.compare(0, 5, "+--[ ") == 0 && close != std::string::npos && line.back() == ')') {
            windows.push_back({SeenWindow{line.substr(5, close - 5), "", ""}, ""});
        } else if (windows.empty()) {
            continue;
        } else if (line.compare(0, 13, "| File name: ") == 0) {
            windows.back().first.Field = line.substr(13);
        } else if (line.compare(0, 2, "| ") == 0) {
            std::string &text = windows.back().first.Text;
            text += (text.empty() ? "" : "\n") + line.substr(2);
        }
        if (!windows.empty())
            windows.back().second += line + "\n";
    }
    return windows;
}

std::vector<SeenWindow> ScriptedUser::Finish()
{
    fflush(stderr);
    dup2(Running->SavedStderr, 2);
    close(Running->SavedStderr);
    freopen("/dev/null", "r", stdin);
    std::ifstream in(TempPath("stderr"));
    std::stringstream all;
    all << in.rdbuf();
    remove(TempPath("stderr").c_str());
    remove(Running->InputPath.c_str());
    Running.reset();

    // The input is not echoed: the picture gets the answer typed.
    std::vector<SeenWindow> seen;
    auto windows = ParseTranscript(all.str());
    for (size_t i = 0; i < windows.size(); i++) {
        seen.push_back(windows[i].first);
        if (i < Steps.size() && !Steps[i].Screenshot.empty()) {
            std::string picture = windows[i].second;
            if (!picture.empty() && picture.back() == '\n')
                picture.pop_back();
            std::ofstream(ScreenshotPath(Steps[i].Screenshot + ".txt")) << picture << AnswerLine(Steps[i]) << "\n";
        }
    }
    return seen;
}

#endif
