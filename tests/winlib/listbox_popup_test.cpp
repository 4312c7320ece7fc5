// The list box popup on a real list box (Windows) and on the platform
// layer's (natively). Selections are made as a user makes them: clicks and
// keys posted to the list box's queue, which only the popup's wait feeds
// to the list box.
#include "winlib/listbox_popup.h"
#include "winlib/tracked_alloc.h"

#include "alloc_seam.h"
#include "scripted_user.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Item values: objects that log their destruction.
struct Value {
    DestroyProc Destroy;
    int Id;
    std::vector<int> *Log;
};

void DestroyValue(void *object)
{
    Value *value = (Value *)object;
    value->Log->push_back(value->Id);
}

// The caller's windows are real ones: every message that reaches the list
// box goes through the popup's procedure, so a spy installed over it sees
// what the popup sends and can make the list box refuse.
struct Spy {
    WNDPROC Next;
    int CountRequests;
    bool RefuseCount;
    std::string RefusedText;  // LB_ADDSTRING of this text answers LB_ERRSPACE
};
Spy gSpy;

LRESULT CALLBACK SpyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LB_GETCOUNT) {
        gSpy.CountRequests++;
        if (gSpy.RefuseCount)
            return LB_ERR;
    }
    if (message == LB_ADDSTRING && gSpy.RefusedText == (const char *)lParam)
        return LB_ERRSPACE;
    return CallWindowProcA(gSpy.Next, window, message, wParam, lParam);
}

void InstallSpy(HWND window)
{
    gSpy = Spy{};
    gSpy.Next = (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)SpyProc);
}

// Input as it would reach the list box from the user.
void Click(HWND list, int index)
{
    LRESULT height = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    LPARAM at = MAKELPARAM(4, index * height + height / 2);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
}

void Press(HWND list, WPARAM key)
{
    PostMessageA(list, WM_KEYDOWN, key, 1);
    PostMessageA(list, WM_KEYUP, key, 0xC0000001);
}

// The caller's own message loop between two waits: once a selection
// exists the wait no longer takes input, so later input reaches the list
// box only this way.
void Deliver(HWND window, int count)
{
    for (int i = 0; i < count; i++) {
        MSG msg;
        ASSERT_EQ(GetMessageA(&msg, window, 0, 0), TRUE);
        SendMessageA(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    }
}

// A click or a key press is two messages.
void ClickNow(HWND list, int index)
{
    Click(list, index);
    Deliver(list, 2);
}

const char kFilled = '\xbd';
void *const kUntouched = (void *)(uintptr_t)0xbdbdbdbd;

class Popup : public testing::Test {
protected:
    void SetUp() override { Start = GetTrackedBytes(); }
    void TearDown() override
    {
        StopWatching();
        if (Made)
            Made->Destroy(Made);
        // Every popup is gone: its blocks with it.
        EXPECT_EQ(GetTrackedBytes(), Start);
    }

    ListBoxPopup *Create(uint32_t capacity, const char *caption = "Pick one")
    {
        EXPECT_EQ(CreateListBoxPopup(0, GetModuleHandleA(0), caption, 120, 90, 260, 180, capacity, &Made), 0);
        return Made;
    }
    void DestroyMade()
    {
        Made->Destroy(Made);
        Made = nullptr;
    }
    Value MakeValue(int id) { return Value{DestroyValue, id, &Log}; }

    int32_t Start = 0;
    ListBoxPopup *Made = nullptr;
    std::vector<int> Log;
};

// ---- creation -------------------------------------------------------------

TEST_F(Popup, CreatesAVisibleTopMostListWithItsProcedureInstalled)
{
    for (uint32_t capacity : {0u, 1u, 10u, 32766u}) {
        SCOPED_TRACE("capacity " + std::to_string(capacity));
        ListBoxPopup *popup = Create(capacity, "Choose a patch");
        ASSERT_NE(popup, nullptr);
        EXPECT_GT(GetTrackedBytes(), Start);

        EXPECT_NE(popup->Destroy, nullptr);
        EXPECT_NE(popup->AddItem, nullptr);
        EXPECT_NE(popup->GetSelection, nullptr);
        EXPECT_EQ(popup->Capacity, (int32_t)capacity);
        if (capacity == 0) {
            EXPECT_EQ(popup->Values, nullptr);
        } else {
            ASSERT_NE(popup->Values, nullptr);
            for (uint32_t i = 0; i < capacity; i++)
                ASSERT_EQ(popup->Values[i], nullptr) << "slot " << i;
        }

        HWND window = popup->Window;
        ASSERT_TRUE(IsWindow(window));
        EXPECT_TRUE(IsWindowVisible(window));
        // The list box shows its scroll bar (WS_VSCROLL) only while the
        // items need it.
        DWORD style = (DWORD)GetWindowLongPtrA(window, GWL_STYLE);
        EXPECT_EQ(style & 0x90C00000u, 0x90C00000u) << std::hex << style;
        EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), (LONG_PTR)ListBoxPopupProc);
        EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), (LONG_PTR)popup);
        EXPECT_NE(popup->PrevWndProc, nullptr);
        EXPECT_NE(popup->PrevWndProc, ListBoxPopupProc);
        char caption[64] = "";
        GetWindowTextA(window, caption, sizeof caption);
        EXPECT_STREQ(caption, "Choose a patch");
        EXPECT_EQ(SendMessageA(window, LB_GETCOUNT, 0, 0), 0);
        EXPECT_EQ(SendMessageA(window, LB_GETCURSEL, 0, 0), LB_ERR);  // empty: no wait

        DestroyMade();
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(GetTrackedBytes(), Start);
    }
}

TEST_F(Popup, RefusesBadArgumentsWithoutAllocating)
{
    ListBoxPopup *destroyed = Create(2);
    DestroyMade();
    ListBoxPopup *held = destroyed;  // still the address of a popup now gone
    ListBoxPopup *empty = nullptr;

    struct Case {
        const char *Label;
        uint32_t Capacity;
        ListBoxPopup **Out;
        ListBoxPopup *OutBefore;
    };
    const Case kCases[] = {
        {"capacity 32767", 32767u, &empty, nullptr},
        {"capacity 32768", 32768u, &empty, nullptr},
        {"capacity 0xFFFFFFFF (-1 as signed)", 0xFFFFFFFFu, &empty, nullptr},
        {"null out argument", 4, nullptr, nullptr},
        {"out argument already set", 4, &held, destroyed},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        WatchAllocations();
        EXPECT_EQ(CreateListBoxPopup(0, 0, "x", 0, 0, 100, 100, c.Capacity, c.Out), 1);
        StopWatching();
        EXPECT_EQ(WatchedCount(), 0);
        EXPECT_EQ(GetTrackedBytes(), Start);
        if (c.Out) {
            EXPECT_EQ(*c.Out, c.OutBefore);
        }
    }
}

TEST_F(Popup, FailedStepsReleaseWhatWasAllocated)
{
    struct Case {
        const char *Label;
        int FailAllocation;  // 0: none fails
        HWND Owner;
    };
    // A handle that names no window: the window cannot be made.
    HWND noWindow = (HWND)(uintptr_t)0x7ffe0000;
    const Case kCases[] = {
        {"record allocation fails", 1, nullptr},
        {"value array allocation fails", 2, nullptr},
        {"window creation fails", 0, noWindow},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        ListBoxPopup *out = nullptr;
        WatchAllocations(c.FailAllocation);
        EXPECT_EQ(CreateListBoxPopup(c.Owner, 0, "x", 0, 0, 100, 100, 10, &out), 1);
        StopWatching();
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(GetTrackedBytes(), Start);
        EXPECT_EQ(LiveWatchedBlocks(), 0);
    }
}

// ---- items, values and the selection --------------------------------------

TEST_F(Popup, ValuesBeyondTheCapacityStayTheCallers)
{
    ListBoxPopup *popup = Create(2);
    Value first = MakeValue(1), second = MakeValue(2), third = MakeValue(3);
    EXPECT_EQ(popup->AddItem(popup, "first", &first), 0);
    EXPECT_EQ(popup->AddItem(popup, "second", &second), 1);
    EXPECT_EQ(popup->AddItem(popup, "third", &third), 2);
    EXPECT_EQ(popup->Values[0], &first);
    EXPECT_EQ(popup->Values[1], &second);

    char text[16];
    void *value = kUntouched;
    Click(popup->Window, 2);
    EXPECT_EQ(popup->GetSelection(popup, text, &value), 5);
    EXPECT_STREQ(text, "third");
    EXPECT_EQ(value, nullptr);

    // The selected item's value goes to the caller; asked again with the
    // selection unchanged, the popup answers at once, with no value.
    ClickNow(popup->Window, 0);
    EXPECT_EQ(popup->GetSelection(popup, text, &value), 5);
    EXPECT_STREQ(text, "first");
    EXPECT_EQ(value, &first);
    EXPECT_EQ(popup->Values[0], nullptr);
    EXPECT_EQ(popup->GetSelection(popup, text, &value), 5);
    EXPECT_EQ(value, nullptr);

    DestroyMade();
    EXPECT_EQ(Log, std::vector<int>{2});
}

TEST_F(Popup, ZeroValuesAndCapacityZeroStoreNothing)
{
    struct Case {
        const char *Label;
        uint32_t Capacity;
        bool WithValue;
        int CountRequests;  // a zero value does not ask for the count
    };
    const Case kCases[] = {
        {"capacity 0, values given", 0, true, 2},
        {"capacity 4, zero values", 4, false, 0},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        Log.clear();
        ListBoxPopup *popup = Create(c.Capacity);
        InstallSpy(popup->Window);
        Value a = MakeValue(1), b = MakeValue(2);
        EXPECT_EQ(popup->AddItem(popup, "a", c.WithValue ? &a : nullptr), 0);
        EXPECT_EQ(popup->AddItem(popup, "b", c.WithValue ? &b : nullptr), 1);
        EXPECT_EQ(gSpy.CountRequests, c.CountRequests);

        char text[4];
        void *value = kUntouched;
        Click(popup->Window, 1);
        EXPECT_EQ(popup->GetSelection(popup, text, &value), 1);
        EXPECT_STREQ(text, "b");
        EXPECT_EQ(value, nullptr);
        DestroyMade();
        EXPECT_TRUE(Log.empty());
    }
}

TEST_F(Popup, DestroyDestroysTheValuesStillHeldOnceInSlotOrder)
{
    ListBoxPopup *popup = Create(6);
    Value values[5] = {MakeValue(0), MakeValue(1), MakeValue(2), MakeValue(3), MakeValue(4)};
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(popup->AddItem(popup, ("item " + std::to_string(i)).c_str(), &values[i]), i);

    // Item 1 handed out, item 3 selected without taking its value.
    void *value = nullptr;
    Click(popup->Window, 1);
    EXPECT_EQ(popup->GetSelection(popup, nullptr, &value), 1);
    EXPECT_EQ(value, &values[1]);
    ClickNow(popup->Window, 3);
    EXPECT_EQ(popup->GetSelection(popup, nullptr, nullptr), 3);
    EXPECT_EQ(popup->Values[3], &values[3]);

    DestroyMade();
    EXPECT_EQ(Log, (std::vector<int>{0, 2, 3, 4}));
}

TEST_F(Popup, PopupAsAnotherPopupsValue)
{
    ListBoxPopup *outer = Create(1, "outer");
    ListBoxPopup *inner = nullptr;
    ASSERT_EQ(CreateListBoxPopup(0, 0, "inner", 10, 10, 100, 100, 3, &inner), 0);
    Value v = MakeValue(7);
    inner->AddItem(inner, "v", &v);
    HWND innerWindow = inner->Window;
    EXPECT_EQ(outer->AddItem(outer, "inner popup", inner), 0);

    DestroyMade();
    EXPECT_FALSE(IsWindow(innerWindow));
    EXPECT_EQ(Log, std::vector<int>{7});
}

// ---- the wait ---------------------------------------------------------------

TEST_F(Popup, ClicksAndKeysSelectWhileWaiting)
{
    ListBoxPopup *popup = Create(8);
    const char *const kItems[] = {"alpha", "beta", "gamma", "delta"};
    for (const char *item : kItems)
        popup->AddItem(popup, item, nullptr);

    struct Step {
        const char *Label;
        bool IsClick;
        int IndexOrKey;
        int Expected;
    };
    const Step kSteps[] = {
        {"click gamma", true, 2, 2},
        {"up", false, VK_UP, 1},
        {"down", false, VK_DOWN, 2},
        {"end", false, VK_END, 3},
        {"down at the end stays", false, VK_DOWN, 3},
        {"home", false, VK_HOME, 0},
        {"up at the top stays", false, VK_UP, 0},
        {"click delta", true, 3, 3},
    };
    for (const Step &s : kSteps) {
        SCOPED_TRACE(s.Label);
        // The first input ends a wait; the rest change the selection the
        // first made, through the caller's loop.
        bool waits = &s == kSteps;
        if (s.IsClick)
            Click(popup->Window, s.IndexOrKey);
        else
            Press(popup->Window, s.IndexOrKey);
        if (!waits)
            Deliver(popup->Window, 2);
        char text[16];
        memset(text, kFilled, sizeof text);
        EXPECT_EQ(popup->GetSelection(popup, text, nullptr), (int)strlen(kItems[s.Expected]));
        EXPECT_STREQ(text, kItems[s.Expected]);
    }
}

TEST_F(Popup, AnyLbGetCurSelWaitsForTheSelection)
{
    ListBoxPopup *popup = Create(2);
    popup->AddItem(popup, "one", nullptr);
    popup->AddItem(popup, "two", nullptr);
    Click(popup->Window, 1);
    EXPECT_EQ(SendMessageA(popup->Window, LB_GETCURSEL, 0, 0), 1);
}

TEST_F(Popup, OnlyThePopupsOwnMessagesAreTakenWhileWaiting)
{
    ListBoxPopup *other = nullptr;
    ASSERT_EQ(CreateListBoxPopup(0, 0, "other", 300, 300, 100, 100, 0, &other), 0);
    other->AddItem(other, "x", nullptr);
    ListBoxPopup *popup = Create(0);
    popup->AddItem(popup, "y", nullptr);

    Click(other->Window, 0);
    Click(popup->Window, 0);
    EXPECT_EQ(popup->GetSelection(popup, nullptr, nullptr), 0);
    // The other window's click is still queued: its list has no selection
    // until its own wait takes the click.
    EXPECT_EQ(CallWindowProcA(other->PrevWndProc, other->Window, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(other->GetSelection(other, nullptr, nullptr), 0);
    other->Destroy(other);
}

// A wait that no selection can end ends all the same, with LB_ERR, an empty
// text, a zero value and the item values left where they were.
TEST_F(Popup, AWaitWithoutASelectionEndsWithLbErr)
{
    enum Ending { NoItems, WindowClosed, QuitRequested };
    struct Case {
        const char *Label;
        Ending How;
    };
    const Case kCases[] = {
        {"no items", NoItems},
        {"window closed while waiting", WindowClosed},
        {"quit requested while waiting", QuitRequested},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        Log.clear();
        ListBoxPopup *popup = Create(2);
        Value kept = MakeValue(5);
        if (c.How != NoItems)
            popup->AddItem(popup, "kept", &kept);
        if (c.How == WindowClosed)
            PostMessageA(popup->Window, WM_CLOSE, 0, 0);
        if (c.How == QuitRequested)
            PostQuitMessage(42);

        char text[8];
        memset(text, kFilled, sizeof text);
        void *value = kUntouched;
        EXPECT_EQ(popup->GetSelection(popup, text, &value), LB_ERR);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(value, nullptr);
        EXPECT_EQ(IsWindow(popup->Window) != 0, c.How != WindowClosed);
        if (c.How == QuitRequested) {
            // The quit request is left for the caller's own loop.
            MSG msg;
            EXPECT_EQ(GetMessageA(&msg, 0, 0, 0), 0);
            EXPECT_EQ(msg.message, (UINT)WM_QUIT);
            EXPECT_EQ(msg.wParam, 42u);
        }
        DestroyMade();
        EXPECT_EQ(Log, c.How == NoItems ? std::vector<int>{} : std::vector<int>{5});
    }
}

// A refused item's value stays the caller's: its slot is free for the next
// item, and the popup never destroys it.
TEST_F(Popup, ARefusedItemLeavesItsValueWithTheCaller)
{
    ListBoxPopup *popup = Create(4);
    InstallSpy(popup->Window);
    gSpy.RefusedText = "refused";
    Value first = MakeValue(1), refused = MakeValue(2), next = MakeValue(3), last = MakeValue(4);
    EXPECT_EQ(popup->AddItem(popup, "first", &first), 0);
    EXPECT_EQ(popup->AddItem(popup, "refused", &refused), LB_ERRSPACE);
    EXPECT_EQ(popup->Values[1], nullptr);
    EXPECT_EQ(popup->AddItem(popup, "next", &next), 1);
    EXPECT_EQ(popup->Values[1], &next);

    // An item count that cannot be read: nothing added, nothing stored.
    gSpy.RefuseCount = true;
    EXPECT_EQ(popup->AddItem(popup, "last", &last), LB_ERR);
    gSpy.RefuseCount = false;
    EXPECT_EQ(SendMessageA(popup->Window, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(popup->Values[2], nullptr);

    // The last add refused again: the slot it took is cleared.
    EXPECT_EQ(popup->AddItem(popup, "refused", &refused), LB_ERRSPACE);
    EXPECT_EQ(popup->Values[2], nullptr);

    void *value = nullptr;
    Click(popup->Window, 1);
    EXPECT_EQ(popup->GetSelection(popup, nullptr, &value), 1);
    EXPECT_EQ(value, &next);
    DestroyMade();
    EXPECT_EQ(Log, std::vector<int>{1});
}

// ---- the user ---------------------------------------------------------------

TEST_F(Popup, TheUserPicksAnItemWhileThePopupWaits)
{
    ListBoxPopup *popup = Create(3, "Choose a patch");
    Value values[3] = {MakeValue(0), MakeValue(1), MakeValue(2)};
    const char *const kItems[] = {"readme.txt", "patch.dat", "ostrel.exe"};
    for (int i = 0; i < 3; i++)
        popup->AddItem(popup, kItems[i], &values[i]);

    ScriptedUser user;
    user.PickItem("Choose a patch", 1, "popup");
    user.Start();
    char text[16];
    void *value = nullptr;
    int32_t length = popup->GetSelection(popup, text, &value);
    std::vector<SeenWindow> seen = user.Finish();

    EXPECT_EQ(length, 9);
    EXPECT_STREQ(text, "patch.dat");
    EXPECT_EQ(value, &values[1]);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Caption, "Choose a patch");
    DestroyMade();
    EXPECT_EQ(Log, (std::vector<int>{0, 2}));
}

#ifndef _WIN32
// On the terminal the user names an item by number or by text; a line that
// names none asks again, and the end of input ends the wait.
TEST_F(Popup, OnTheTerminal)
{
    struct Case {
        const char *Label;
        std::vector<int> Answers;  // item indexes, -1 for a line naming none
        int32_t Expected;
    };
    const Case kCases[] = {
        {"by number", {2}, 2},
        {"a wrong line, then a number", {-1, 0}, 0},
        {"end of input", {}, LB_ERR},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.Label);
        ListBoxPopup *popup = Create(0, "Terminal");
        for (const char *item : {"one", "two", "three"})
            popup->AddItem(popup, item, nullptr);
        ScriptedUser user;
        for (int answer : c.Answers)
            user.PickItem("Terminal", answer);
        user.Start();
        int32_t index = popup->GetSelection(popup, nullptr, nullptr);
        std::vector<SeenWindow> seen = user.Finish();
        EXPECT_EQ(index, c.Expected);
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen[0].Caption, "Terminal");
        EXPECT_NE(seen[0].Text.find(" 3  three"), std::string::npos) << seen[0].Text;
        DestroyMade();
    }
}
#endif

}  // namespace
