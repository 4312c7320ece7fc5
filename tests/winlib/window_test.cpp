// CreateWin95 and ChooseFileName with a user at the screen (Windows) or
// the terminal (natively) who answers the boxes and dialogs they show.
#include "winlib/file_dialog.h"
#include "winlib/window.h"

#include "scripted_user.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <cderr.h>
#endif

#include <fstream>
#include <string>
#include <vector>

namespace {

// What a window of the test's classes was told, in order.
struct Heard {
    HWND Window;
    UINT Message;
};
std::vector<Heard> gHeard;
CREATESTRUCTA gCreate;
std::string gCreateName, gCreateClass;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    gHeard.push_back({window, message});
    if (message == WM_CREATE) {
        gCreate = *(CREATESTRUCTA *)lParam;
        gCreateName = gCreate.lpszName ? gCreate.lpszName : "";
        gCreateClass = gCreate.lpszClass ? gCreate.lpszClass : "";
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// How often the window (any window for null) heard the message.
int Heard(HWND window, UINT message)
{
    int n = 0;
    for (const auto &h : gHeard)
        n += (!window || h.Window == window) && h.Message == message;
    return n;
}

// Each test registers classes of its own: a class stays registered for
// the whole run.
WNDCLASSA ClassNamed(const char *name)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(0);
    wc.lpszClassName = name;
    return wc;
}

WindowSpec SpecOf(const char *className, const char *title)
{
    WindowSpec spec = {};
    strcpy(spec.ClassName, className);
    strcpy(spec.WindowName, title);
    spec.Style = WS_POPUP | WS_CAPTION;
    spec.X = 40;
    spec.Y = 30;
    spec.Width = 320;
    spec.Height = 200;
    spec.Instance = GetModuleHandleA(0);
    spec.KeepCursor = 1;
    return spec;
}

// The cursor's display count, read without changing it.
int CursorCount()
{
    int count = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    return count;
}

void SetCursorCount(int target)
{
    for (int count = CursorCount(); count != target;)
        count = ShowCursor(count < target);
}

const char kCaption[] = "ERROR: CreateWin95";

// ---- CreateWin95 --------------------------------------------------------

TEST(CreateWin95, CreatesShowsAndPaintsFromTheSpec)
{
    gHeard.clear();
    WNDCLASSA parentClass = ClassNamed("tp-parent");
    WindowSpec parentSpec = SpecOf("tp-parent", "Patch window");
    ScriptedUser user;
    user.Start();
    HWND parent = CreateWin95(&parentClass, &parentSpec, SW_SHOW);
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(IsWindowVisible(parent));
    EXPECT_EQ(Heard(parent, WM_CREATE), 1);
    EXPECT_GE(Heard(parent, WM_PAINT), 1) << "painted before CreateWin95 returned";

    // A child window: each field of the spec reaches its own parameter.
    int createData = 0;
    WNDCLASSA childClass = ClassNamed("tp-child");
    WindowSpec childSpec = SpecOf("tp-child", "child title");
    childSpec.ExStyle = WS_EX_TOOLWINDOW;
    childSpec.Style = WS_CHILD | WS_BORDER;
    childSpec.X = 11;
    childSpec.Y = 22;
    childSpec.Width = 133;
    childSpec.Height = 44;
    childSpec.Parent = parent;
    childSpec.Menu = (HMENU)(uintptr_t)0x1234;
    childSpec.CreateParam = &createData;
    HWND child = CreateWin95(&childClass, &childSpec, SW_SHOWNORMAL);
    EXPECT_TRUE(user.Finish().empty()) << "no box on success";
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(gCreate.dwExStyle, (DWORD)WS_EX_TOOLWINDOW);
    EXPECT_EQ(gCreateClass, "tp-child");
    EXPECT_EQ(gCreateName, "child title");
    EXPECT_EQ((DWORD)gCreate.style, (DWORD)(WS_CHILD | WS_BORDER));
    EXPECT_EQ(gCreate.x, 11);
    EXPECT_EQ(gCreate.y, 22);
    EXPECT_EQ(gCreate.cx, 133);
    EXPECT_EQ(gCreate.cy, 44);
    EXPECT_EQ(gCreate.hwndParent, parent);
    EXPECT_EQ(gCreate.hMenu, (HMENU)(uintptr_t)0x1234);
    EXPECT_EQ(gCreate.hInstance, GetModuleHandleA(0));
    EXPECT_EQ(gCreate.lpCreateParams, &createData);
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_GE(Heard(child, WM_PAINT), 1);
    DestroyWindow(parent);
    EXPECT_FALSE(IsWindow(child));
}

TEST(CreateWin95, NullArgumentsShowNothingAndRegisterNothing)
{
    WNDCLASSA wc = ClassNamed("tp-null-args");
    WindowSpec spec = SpecOf("tp-null-args", "never");
    ScriptedUser user;
    user.AnswerBox(kCaption, IDOK);
    user.Start();
    EXPECT_EQ(CreateWin95(&wc, nullptr, SW_SHOW), nullptr);
    EXPECT_EQ(CreateWin95(nullptr, &spec, SW_SHOW), nullptr);
    EXPECT_TRUE(user.Finish().empty());
    EXPECT_NE(RegisterClassA(&wc), 0) << "the class was registered after all";
}

TEST(CreateWin95, FailuresAreReportedInAnErrorBox)
{
    struct Case {
        const char *Label;
        const char *Registered;
        const char *Named;  // the class the window asks for
        const char *Text;
    };
    const Case kCases[] = {
        {"class already registered", "tp-twice", "tp-twice", "Failed to REGISTER window!"},
        {"window of an unknown class", "tp-registered", "tp-unknown", "Failed to CREATE window!"},
    };
    WNDCLASSA first = ClassNamed("tp-twice");
    WindowSpec firstSpec = SpecOf("tp-twice", "first");
    HWND firstWindow = CreateWin95(&first, &firstSpec, SW_SHOW);
    ASSERT_NE(firstWindow, nullptr);

    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        gHeard.clear();
        WNDCLASSA wc = ClassNamed(c.Registered);
        WindowSpec spec = SpecOf(c.Named, "second");
        ScriptedUser user;
        user.AnswerBox(kCaption, IDOK);
        user.Start();
        EXPECT_EQ(CreateWin95(&wc, &spec, SW_SHOW), nullptr);
        std::vector<SeenWindow> seen = user.Finish();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].Caption, kCaption);
        EXPECT_EQ(seen[0].Text, c.Text);
        EXPECT_EQ(Heard(nullptr, WM_NCCREATE), 0) << "no window was made";
        // Whatever failed, the class stays registered.
        EXPECT_EQ(RegisterClassA(&wc), 0);
    }
    DestroyWindow(firstWindow);
}

TEST(CreateWin95, HidesTheCursorUnlessAskedToKeepIt)
{
    struct Case {
        const char *Label;
        int KeepCursor;
        int Before;
        int After;
    };
    const Case kCases[] = {
        {"shown twice over", 0, 2, -1},
        {"shown once", 0, 0, -1},
        {"already hidden: one more step down", 0, -3, -4},
        {"kept", 1, 2, 2},
        {"kept, any non-zero flag", -7, 0, 0},
    };
    int original = CursorCount();
    int n = 0;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        std::string name = "tp-cursor-" + std::to_string(n++);
        WNDCLASSA wc = ClassNamed(name.c_str());
        WindowSpec spec = SpecOf(name.c_str(), c.Label);
        spec.KeepCursor = c.KeepCursor;
        SetCursorCount(c.Before);
        HWND window = CreateWin95(&wc, &spec, SW_SHOW);
        EXPECT_NE(window, nullptr);
        EXPECT_EQ(CursorCount(), c.After);
        DestroyWindow(window);
    }
    SetCursorCount(original);
}

// ---- ChooseFileName -------------------------------------------------------

#ifdef _WIN32
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

std::string WorkPath(const std::string &name) { return std::string(TAILPATCH_TEST_WORK) + kSeparator + name; }

const char kFilter[] = "Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
const uint32_t kFlags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

TEST(ChooseFileName, AnEmptyBufferOpensAnyTextSaves)
{
    std::ofstream(WorkPath("chosen.txt")) << "x";
    struct Case {
        const char *Label;
        const char *Initial;
        const char *Caption;  // the system's title for the dialog
        const char *Typed;
        const char *Chosen;
        const char *Screenshot;
    };
    const Case kCases[] = {
        {"empty buffer: open", "", "Open", "chosen.txt", "chosen.txt", "open-dialog"},
        {"text in the buffer: save", "old name.txt", "Save As", "new.txt", "new.txt", "save-dialog"},
        {"save with the default extension", "x", "Save As", "notes", "notes.txt", ""},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        char file[260];
        memset(file, '\xbd', sizeof file);
        strcpy(file, c.Initial);
        ScriptedUser user;
        user.ChooseFile(c.Caption, WorkPath(c.Typed), c.Screenshot);
        user.Start();
        int32_t offset = ChooseFileName(0, file, sizeof file, nullptr, kFilter, "txt", kFlags);
        std::vector<SeenWindow> seen = user.Finish();

        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].Field, "") << "the dialog opens with an empty name";
        std::string expected = WorkPath(c.Chosen);
        EXPECT_STREQ(file, expected.c_str());
        EXPECT_EQ(offset, (int32_t)(expected.size() - strlen(c.Chosen)));
        EXPECT_EQ(file[offset - 1], kSeparator);
    }
}

TEST(ChooseFileName, CancelAndFailureAnswerZero)
{
    struct Case {
        const char *Label;
        const char *Typed;  // empty: cancel
        uint32_t Size;
        DWORD Error;
    };
    std::string longPath = WorkPath("a-name-longer-than-the-buffer.txt");
    const Case kCases[] = {
        {"open cancelled", "", 260, 0},
        {"path longer than the buffer", longPath.c_str(), 16, FNERR_BUFFERTOOSMALL},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        char file[260] = "";
        ScriptedUser user;
        user.ChooseFile("Pick the patch", c.Typed);
        user.Start();
        EXPECT_EQ(ChooseFileName(0, file, c.Size, "Pick the patch", kFilter, nullptr, kFlags), 0);
        DWORD error = CommDlgExtendedError();
        std::vector<SeenWindow> seen = user.Finish();
        EXPECT_EQ(seen.size(), 1u) << "the dialog was up";
        EXPECT_EQ(error, c.Error);
    }
}

TEST(ChooseFileName, SaveCancelledLeavesTheBufferCleared)
{
    char file[64] = "keep me.txt";
    ScriptedUser user;
    user.ChooseFile("Save As", "");
    user.Start();
    EXPECT_EQ(ChooseFileName(0, file, sizeof file, nullptr, nullptr, nullptr, kFlags), 0);
    ASSERT_EQ(user.Finish().size(), 1u);
    EXPECT_STREQ(file, "");
}

}  // namespace
