// Windows, window procedures, message queues and the system list box,
// without a display. A window is a record behind a handle; its procedure
// is called for every message sent to it, and messages posted to it wait
// in the queue of the thread that made it until GetMessageA takes them.
//
// The user reaches a window through the terminal only: when a thread
// waits for a list box's messages and none is queued, the list box shows
// its items on the standard error stream and turns the line the user types
// into the click that selects the item (see ListBoxAwaitInput). At the end
// of input no message can come any more and GetMessageA fails.
#include "platform/win32.h"
#include "platform/terminal.h"

#include <ctype.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

// ---- queues ---------------------------------------------------------------

struct QueuedMessage {
    MSG Msg;
    QueuedMessage *Next;
};

struct MessageQueue {
    QueuedMessage *Head;
    QueuedMessage *Tail;
    int QuitPosted;
    int QuitCode;
    pthread_cond_t Posted;
};

// One lock for every window, class and queue: windows are few, and
// procedures are always called with it released.
static pthread_mutex_t gLock = PTHREAD_MUTEX_INITIALIZER;

// A thread's queue lives as long as the process: a window can still name
// it after its thread has ended.
static MessageQueue *CurrentQueue()
{
    static thread_local MessageQueue *queue;
    if (!queue) {
        queue = (MessageQueue *)calloc(1, sizeof *queue);
        if (!queue)
            abort();
        pthread_cond_init(&queue->Posted, 0);
    }
    return queue;
}

// ---- classes --------------------------------------------------------------

struct WindowClass {
    char Name[256];
    WNDPROC Proc;
    UINT Style;
    HINSTANCE Instance;
    ATOM Atom;
    // Waits for the user's input to a window of the class and queues it;
    // 0 when none can come. Null: the class's windows get no user input.
    int (*AwaitInput)(HWND window);
    WindowClass *Next;
};

static LRESULT CALLBACK ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
static int ListBoxAwaitInput(HWND window);

static WindowClass gListBoxClass = {"LISTBOX", ListBoxProc, 0, 0, 0xC001, ListBoxAwaitInput, 0};
static WindowClass *gClasses;  // the program's own, looked up before the system's
static ATOM gNextAtom = 0xC100;

static WindowClass *FindClass(const char *name)
{
    for (WindowClass *c = gClasses; c; c = c->Next)
        if (strcasecmp(c->Name, name) == 0)
            return c;
    if (strcasecmp(gListBoxClass.Name, name) == 0)
        return &gListBoxClass;
    return 0;
}

ATOM RegisterClassA(const WNDCLASSA *windowClass)
{
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc ||
        strlen(windowClass->lpszClassName) >= sizeof gClasses->Name)
        return 0;
    pthread_mutex_lock(&gLock);
    ATOM atom = 0;
    for (WindowClass *c = gClasses; c; c = c->Next)
        if (strcasecmp(c->Name, windowClass->lpszClassName) == 0)
            goto done;
    {
        WindowClass *c = (WindowClass *)calloc(1, sizeof *c);
        if (!c)
            goto done;
        strcpy(c->Name, windowClass->lpszClassName);
        c->Proc = windowClass->lpfnWndProc;
        c->Style = windowClass->style;
        c->Instance = windowClass->hInstance;
        c->Atom = atom = gNextAtom++;
        c->Next = gClasses;
        gClasses = c;
    }
done:
    pthread_mutex_unlock(&gLock);
    return atom;
}

// ---- windows --------------------------------------------------------------

struct WindowRecord {
    const WindowClass *Class;
    WNDPROC Proc;
    LONG_PTR UserData;
    DWORD Style;
    DWORD ExStyle;
    int X, Y, Width, Height;
    HWND Parent;
    HMENU Menu;
    HINSTANCE Instance;
    char *Title;
    void *ClassData;  // the system class's own state
    MessageQueue *Queue;
    int NeedsPaint;
    int Destroying;
};

// A handle is a slot number and the slot's generation, so the handle of a
// destroyed window never names the window that takes its slot.
struct WindowSlot {
    WindowRecord *Record;
    WORD Generation;
};

static WindowSlot *gSlots;
static int gSlotCount;

static HWND HandleOf(int slot) { return (HWND)(((uintptr_t)(slot + 1) << 16) | gSlots[slot].Generation); }

static WindowRecord *LookupLocked(HWND window)
{
    uintptr_t h = (uintptr_t)window;
    int slot = (int)(h >> 16) - 1;
    if (slot < 0 || slot >= gSlotCount || !gSlots[slot].Record || gSlots[slot].Generation != (h & 0xFFFF))
        return 0;
    return gSlots[slot].Record;
}

static WindowRecord *Lookup(HWND window)
{
    pthread_mutex_lock(&gLock);
    WindowRecord *record = LookupLocked(window);
    pthread_mutex_unlock(&gLock);
    return record;
}

static HWND AddWindowLocked(WindowRecord *record)
{
    int slot = 0;
    while (slot < gSlotCount && gSlots[slot].Record)
        slot++;
    if (slot == gSlotCount) {
        WindowSlot *grown = (WindowSlot *)realloc(gSlots, (size_t)(gSlotCount + 16) * sizeof *grown);
        if (!grown)
            return 0;
        memset(grown + gSlotCount, 0, 16 * sizeof *grown);
        gSlots = grown;
        gSlotCount += 16;
    }
    if (++gSlots[slot].Generation == 0)
        gSlots[slot].Generation = 1;
    gSlots[slot].Record = record;
    return HandleOf(slot);
}

// Forgets the window and every message still queued for it.
static void RemoveWindowLocked(HWND window)
{
    int slot = (int)((uintptr_t)window >> 16) - 1;
    WindowRecord *record = gSlots[slot].Record;
    gSlots[slot].Record = 0;
    MessageQueue *queue = record->Queue;
    QueuedMessage **link = &queue->Head;
    queue->Tail = 0;
    while (*link) {
        QueuedMessage *m = *link;
        if (m->Msg.hwnd == window) {
            *link = m->Next;
            free(m);
        } else {
            queue->Tail = m;
            link = &m->Next;
        }
    }
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    if (!className)
        return 0;
    pthread_mutex_lock(&gLock);
    const WindowClass *windowClass = FindClass(className);
    int parentOk = parent ? LookupLocked(parent) != 0 : !(style & WS_CHILD);
    WindowRecord *record = 0;
    HWND window = 0;
    if (windowClass && parentOk)
        record = (WindowRecord *)calloc(1, sizeof *record);
    if (record) {
        record->Class = windowClass;
        record->Proc = windowClass->Proc;
        record->Style = style & ~(DWORD)WS_VISIBLE;
        record->ExStyle = exStyle;
        record->X = x;
        record->Y = y;
        record->Width = width;
        record->Height = height;
        record->Parent = parent;
        record->Menu = menu;
        record->Instance = instance;
        record->Queue = CurrentQueue();
        record->Title = strdup(windowName ? windowName : "");
        if (record->Title)
            window = AddWindowLocked(record);
        if (!window) {
            free(record->Title);
            free(record);
        }
    }
    pthread_mutex_unlock(&gLock);
    if (!window)
        return 0;

    CREATESTRUCTA create = {param, instance, menu, parent, height, width, y, x, (LONG)style, windowName, className, exStyle};
    if (!SendMessageA(window, WM_NCCREATE, 0, (LPARAM)&create) ||
        SendMessageA(window, WM_CREATE, 0, (LPARAM)&create) == -1) {
        DestroyWindow(window);
        return 0;
    }
    if (style & WS_VISIBLE)
        ShowWindow(window, SW_SHOW);
    return window;
}

BOOL DestroyWindow(HWND window)
{
    WindowRecord *record = Lookup(window);
    if (!record || record->Destroying)
        return FALSE;
    record->Destroying = 1;
    record->Style &= ~(DWORD)WS_VISIBLE;

    // Child and owned windows go first, as they would with their owner.
    for (;;) {
        HWND child = 0;
        pthread_mutex_lock(&gLock);
        for (int slot = 0; slot < gSlotCount && !child; slot++)
            if (gSlots[slot].Record && gSlots[slot].Record->Parent == window && !gSlots[slot].Record->Destroying)
                child = HandleOf(slot);
        pthread_mutex_unlock(&gLock);
        if (!child)
            break;
        DestroyWindow(child);
    }

    SendMessageA(window, WM_DESTROY, 0, 0);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    pthread_mutex_lock(&gLock);
    RemoveWindowLocked(window);
    pthread_mutex_unlock(&gLock);
    free(record->Title);
    free(record);
    return TRUE;
}

BOOL IsWindow(HWND window) { return Lookup(window) != 0; }

BOOL IsWindowVisible(HWND window)
{
    WindowRecord *record = Lookup(window);
    return record && (record->Style & WS_VISIBLE);
}

// Showing a hidden window leaves it to be painted; UpdateWindow paints it.
BOOL ShowWindow(HWND window, int command)
{
    WindowRecord *record = Lookup(window);
    if (!record)
        return FALSE;
    BOOL wasVisible = (record->Style & WS_VISIBLE) != 0;
    BOOL visible = command != SW_HIDE;
    if (visible != wasVisible) {
        SendMessageA(window, WM_SHOWWINDOW, visible, 0);
        if (!(record = Lookup(window)))
            return wasVisible;
        if (visible) {
            record->Style |= WS_VISIBLE;
            record->NeedsPaint = 1;
        } else {
            record->Style &= ~(DWORD)WS_VISIBLE;
        }
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window)
{
    WindowRecord *record = Lookup(window);
    if (!record)
        return FALSE;
    if ((record->Style & WS_VISIBLE) && record->NeedsPaint)
        SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

int GetWindowTextA(HWND window, LPSTR text, int size)
{
    WindowRecord *record = Lookup(window);
    if (!text || size <= 0)
        return 0;
    text[0] = 0;
    if (!record)
        return 0;
    int length = (int)strlen(record->Title);
    if (length > size - 1)
        length = size - 1;
    memcpy(text, record->Title, (size_t)length);
    text[length] = 0;
    return length;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index)
{
    WindowRecord *record = Lookup(window);
    if (!record)
        return 0;
    switch (index) {
    case GWLP_WNDPROC: return (LONG_PTR)record->Proc;
    case GWLP_USERDATA: return record->UserData;
    case GWL_STYLE: return (LONG)record->Style;
    case GWL_EXSTYLE: return (LONG)record->ExStyle;
    case GWLP_ID: return (LONG_PTR)record->Menu;
    case GWLP_HINSTANCE: return (LONG_PTR)record->Instance;
    case GWLP_HWNDPARENT: return (LONG_PTR)record->Parent;
    default: return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    WindowRecord *record = Lookup(window);
    if (!record)
        return 0;
    LONG_PTR previous = GetWindowLongPtrA(window, index);
    switch (index) {
    case GWLP_WNDPROC: record->Proc = (WNDPROC)value; break;
    case GWLP_USERDATA: record->UserData = value; break;
    case GWL_STYLE: record->Style = (DWORD)value; break;
    case GWL_EXSTYLE: record->ExStyle = (DWORD)value; break;
    case GWLP_ID: record->Menu = (HMENU)value; break;
    default: return 0;
    }
    return previous;
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        WindowRecord *record = Lookup(window);
        if (record)
            record->NeedsPaint = 0;
        return 0;
    }
    default:
        return 0;
    }
}

// Sent messages run at once on the caller's thread.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowRecord *record = Lookup(window);
    if (!record)
        return 0;
    WNDPROC procedure = record->Proc;
    return procedure ? procedure(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

// A null window posts to the calling thread's own queue.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    QueuedMessage *m = (QueuedMessage *)calloc(1, sizeof *m);
    if (!m)
        return FALSE;
    m->Msg.hwnd = window;
    m->Msg.message = message;
    m->Msg.wParam = wParam;
    m->Msg.lParam = lParam;
    pthread_mutex_lock(&gLock);
    MessageQueue *queue = CurrentQueue();
    if (window) {
        WindowRecord *record = LookupLocked(window);
        if (!record) {
            pthread_mutex_unlock(&gLock);
            free(m);
            return FALSE;
        }
        queue = record->Queue;
    }
    if (queue->Tail)
        queue->Tail->Next = m;
    else
        queue->Head = m;
    queue->Tail = m;
    pthread_cond_broadcast(&queue->Posted);
    pthread_mutex_unlock(&gLock);
    return TRUE;
}

// The quit request is a flag, not a queued message: it is seen after the
// messages already queued, whatever window they are for.
void PostQuitMessage(int exitCode)
{
    pthread_mutex_lock(&gLock);
    MessageQueue *queue = CurrentQueue();
    queue->QuitPosted = 1;
    queue->QuitCode = exitCode;
    pthread_cond_broadcast(&queue->Posted);
    pthread_mutex_unlock(&gLock);
}

static int Matches(const MSG &msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (window && msg.hwnd != window)
        return 0;
    return (filterMin == 0 && filterMax == 0) || (msg.message >= filterMin && msg.message <= filterMax);
}

// Answers 1 for a message, 0 for the quit request and -1 when the window
// is not (or no longer) a window or no message can ever come for it.
BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax)
{
    MessageQueue *queue = CurrentQueue();
    pthread_mutex_lock(&gLock);
    for (;;) {
        WindowRecord *record = 0;
        if (window && !(record = LookupLocked(window))) {
            pthread_mutex_unlock(&gLock);
            return -1;
        }
        for (QueuedMessage *m = queue->Head, *previous = 0; m; previous = m, m = m->Next) {
            if (!Matches(m->Msg, window, filterMin, filterMax))
                continue;
            (previous ? previous->Next : queue->Head) = m->Next;
            if (queue->Tail == m)
                queue->Tail = previous;
            pthread_mutex_unlock(&gLock);
            *msg = m->Msg;
            free(m);
            return TRUE;
        }
        if (queue->QuitPosted) {
            queue->QuitPosted = 0;
            memset(msg, 0, sizeof *msg);
            msg->message = WM_QUIT;
            msg->wParam = (WPARAM)queue->QuitCode;
            pthread_mutex_unlock(&gLock);
            return 0;
        }
        if (record && (record->Style & WS_VISIBLE) && record->Class->AwaitInput) {
            int (*await)(HWND) = record->Class->AwaitInput;
            pthread_mutex_unlock(&gLock);
            int more = await(window);
            pthread_mutex_lock(&gLock);
            if (!more) {
                pthread_mutex_unlock(&gLock);
                return -1;
            }
            continue;
        }
        pthread_cond_wait(&queue->Posted, &gLock);
    }
}

// The display count of the one cursor: shown while it is 0 or more.
int ShowCursor(BOOL show)
{
    static int count;
    pthread_mutex_lock(&gLock);
    int now = show ? ++count : --count;
    pthread_mutex_unlock(&gLock);
    return now;
}

HMODULE GetModuleHandleA(LPCSTR moduleName)
{
    static char self;
    return moduleName ? 0 : (HMODULE)(void *)&self;
}

// ---- the system list box --------------------------------------------------
// Unsorted, single selection, strings kept by the list box; items are a
// fixed height, so a click's y position names the item under it.

static const int kItemHeight = 16;

struct ListBoxData {
    char **Items;
    int Count;
    int Room;
    int Selected;  // LB_ERR when nothing is selected
    int Focus;     // the item keys move from
    int Top;
};

static ListBoxData *DataOf(HWND window)
{
    WindowRecord *record = Lookup(window);
    return record ? (ListBoxData *)record->ClassData : 0;
}

static LRESULT AddString(ListBoxData *list, const char *text)
{
    if (list->Count == list->Room) {
        int room = list->Room ? list->Room * 2 : 16;
        char **grown = (char **)realloc(list->Items, (size_t)room * sizeof *grown);
        if (!grown)
            return LB_ERRSPACE;
        list->Items = grown;
        list->Room = room;
    }
    char *copy = strdup(text ? text : "");
    if (!copy)
        return LB_ERRSPACE;
    list->Items[list->Count] = copy;
    return list->Count++;
}

static void MoveTo(ListBoxData *list, int index)
{
    if (list->Count == 0)
        return;
    if (index < 0)
        index = 0;
    if (index >= list->Count)
        index = list->Count - 1;
    list->Focus = list->Selected = index;
}

static LRESULT CALLBACK ListBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        WindowRecord *record = Lookup(window);
        ListBoxData *list = (ListBoxData *)calloc(1, sizeof *list);
        if (!record || !list) {
            free(list);
            return FALSE;
        }
        list->Selected = LB_ERR;
        record->ClassData = list;
        return TRUE;
    }
    ListBoxData *list = DataOf(window);
    if (!list)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_NCDESTROY:
        for (int i = 0; i < list->Count; i++)
            free(list->Items[i]);
        free(list->Items);
        free(list);
        if (WindowRecord *record = Lookup(window))
            record->ClassData = 0;
        return 0;
    case LB_ADDSTRING:
        return AddString(list, (const char *)lParam);
    case LB_GETCOUNT:
        return list->Count;
    case LB_GETCURSEL:
        return list->Selected;
    case LB_SETCURSEL: {
        int index = (int)wParam;
        if (index == -1) {
            list->Selected = LB_ERR;
            return LB_ERR;
        }
        if (index < 0 || index >= list->Count)
            return LB_ERR;
        list->Focus = list->Selected = index;
        return index;
    }
    case LB_GETTEXT:
    case LB_GETTEXTLEN: {
        int index = (int)wParam;
        if (index < 0 || index >= list->Count)
            return LB_ERR;
        if (message == LB_GETTEXT)
            strcpy((char *)lParam, list->Items[index]);
        return (LRESULT)strlen(list->Items[index]);
    }
    case LB_GETTOPINDEX:
        return list->Top;
    case LB_GETITEMHEIGHT:
        return kItemHeight;
    case WM_LBUTTONDOWN: {
        int y = (short)HIWORD(lParam);
        int index = y < 0 ? -1 : list->Top + y / kItemHeight;
        if (index >= 0 && index < list->Count)
            list->Focus = list->Selected = index;
        return 0;
    }
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_UP: MoveTo(list, list->Focus - 1); break;
        case VK_DOWN: MoveTo(list, list->Focus + 1); break;
        case VK_HOME: MoveTo(list, 0); break;
        case VK_END: MoveTo(list, list->Count - 1); break;
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The list box on the terminal: its caption and numbered items, then one
// line naming an item by number or by its text. The choice reaches the
// window as the click on that item would.
//
//   +--[ Pick a file ]--(list)
//   |  1  readme.txt
//   |  2  patch.dat
//   +-- item number > 2
static int ListBoxAwaitInput(HWND window)
{
    for (;;) {
        ListBoxData *list = DataOf(window);
        if (!list || list->Count == 0)
            return 0;
        WindowRecord *record = Lookup(window);
        fflush(stdout);
        fprintf(stderr, "\n+--[ %s ]--(list)\n", record->Title);
        for (int i = 0; i < list->Count; i++)
            fprintf(stderr, "| %c%2d  %s\n", i == list->Selected ? '>' : ' ', i + 1, list->Items[i]);
        fprintf(stderr, "+-- item number > ");
        fflush(stderr);

        char line[512];
        if (!ReadTerminalLine(line, sizeof line))
            return 0;

        int index = -1;
        char *end;
        long number = strtol(line, &end, 10);
        if (end != line && !*end && number >= 1 && number <= list->Count)
            index = (int)number - 1;
        for (int i = 0; index < 0 && i < list->Count; i++)
            if (line[0] && strcasecmp(line, list->Items[i]) == 0)
                index = i;
        if (index < 0)
            continue;
        LPARAM at = MAKELPARAM(1, (index - list->Top) * kItemHeight + kItemHeight / 2);
        PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(window, WM_LBUTTONUP, 0, at);
        return 1;
    }
}
