// What the window services rely on of windows, procedures, queues and the
// list box: checked against the real USER32 under Wine and the platform
// layer's natively, so the two are known to agree.
#include "platform/os.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> gHeard;

LRESULT CALLBACK Listening(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER)
        gHeard.push_back(message);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char *className)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Listening;
    wc.hInstance = GetModuleHandleA(0);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, "w", WS_POPUP, 0, 0, 50, 50, 0, 0, GetModuleHandleA(0), 0);
}

TEST(Classes, ANameIsRegisteredOnceWhateverItsCase)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Listening;
    wc.lpszClassName = "tp-Model-Class";
    EXPECT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    wc.lpszClassName = "TP-MODEL-CLASS";
    EXPECT_EQ(RegisterClassA(&wc), 0);
}

TEST(Windows, ADestroyedWindowsHandleNamesNoWindow)
{
    HWND window = MakeWindow("tp-handles");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(DestroyWindow(window));
    HWND next = MakeWindow("tp-handles");
    EXPECT_NE(next, window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
    DestroyWindow(next);
}

std::vector<UINT> gSubclassed;

LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_USER)
        gSubclassed.push_back(message);
    return message == WM_USER + 1 ? 77 : DefWindowProcA(window, message, wParam, lParam);
}

TEST(Windows, ReplacingTheProcedureAnswersTheOldOne)
{
    HWND window = MakeWindow("tp-subclass");
    EXPECT_EQ(SetWindowLongPtrA(window, GWLP_USERDATA, 0x1234), 0);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0x1234);

    gSubclassed.clear();
    gHeard.clear();
    LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)Subclass);
    EXPECT_EQ(previous, (LONG_PTR)Listening);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), (LONG_PTR)Subclass);
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 77);  // at once, by the new procedure
    EXPECT_EQ(gSubclassed, std::vector<UINT>{WM_USER + 1});
    EXPECT_TRUE(gHeard.empty());
    CallWindowProcA((WNDPROC)previous, window, WM_USER + 2, 0, 0);
    EXPECT_EQ(gHeard, std::vector<UINT>{WM_USER + 2});
    DestroyWindow(window);
}

// Posted messages wait in the queue until taken: with a window filter only
// that window's, the quit request after them all.
TEST(Queue, PostedMessagesWaitForTheirWindow)
{
    HWND a = MakeWindow("tp-queue-a");
    HWND b = MakeWindow("tp-queue-b");
    PostMessageA(a, WM_USER + 1, 1, 0);
    PostMessageA(b, WM_USER + 2, 2, 0);
    PostMessageA(a, WM_USER + 3, 3, 0);
    PostQuitMessage(9);

    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, b, 0, 0), TRUE);
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_EQ(msg.message, (UINT)WM_USER + 2);
    ASSERT_EQ(GetMessageA(&msg, a, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageA(&msg, a, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(GetMessageA(&msg, a, 0, 0), 0);
    EXPECT_EQ(msg.message, (UINT)WM_QUIT);
    EXPECT_EQ(msg.wParam, 9u);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(Queue, ADestroyedWindowsMessagesAreDropped)
{
    HWND gone = MakeWindow("tp-drop-gone");
    HWND kept = MakeWindow("tp-drop-kept");
    PostMessageA(gone, WM_USER + 1, 0, 0);
    PostMessageA(kept, WM_USER + 2, 0, 0);
    DestroyWindow(gone);
    MSG msg;
    for (int i = 0; i < 100; i++) {
        ASSERT_EQ(GetMessageA(&msg, 0, 0, 0), TRUE);
        EXPECT_NE(msg.hwnd, gone);
        if (msg.message == WM_USER + 2)
            break;
    }
    EXPECT_EQ(msg.message, (UINT)WM_USER + 2);
    DestroyWindow(kept);
}

TEST(ListBox, SelectionAndText)
{
    HWND list = CreateWindowExA(0, "LISTBOX", "list", WS_POPUP, 0, 0, 100, 100, 0, 0, 0, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, (LPARAM) "zulu"), 0);
    EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, (LPARAM) "alpha"), 1);  // unsorted: appended
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);

    struct Case {
        const char *Label;
        WPARAM Index;
        LRESULT Answer;
        LRESULT Selected;
    };
    const Case kCases[] = {
        {"select 1", 1, 1, 1},
        {"out of range", 5, LB_ERR, 1},
        {"-1 clears", (WPARAM)-1, LB_ERR, LB_ERR},
        {"select 0", 0, 0, 0},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, c.Index, 0), c.Answer);
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), c.Selected);
    }

    char text[8];
    memset(text, '\xbd', sizeof text);
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 1, (LPARAM)text), 5);
    EXPECT_STREQ(text, "alpha");
    EXPECT_EQ(text[6], '\xbd');
    EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 0, 0), 4);
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 2, (LPARAM)text), LB_ERR);
    DestroyWindow(list);
}

}  // namespace
