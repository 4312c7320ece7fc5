#include "winlib/listbox_popup.h"

#include "winlib/tracked_alloc.h"

static const DWORD kPopupExStyle = WS_EX_TOPMOST;
static const DWORD kPopupStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_VSCROLL;

// Hands the message to the list box's own procedure.
static LRESULT Forward(ListBoxPopup *popup, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(popup->PrevWndProc, window, message, wParam, lParam);
}

// Feeds the list box the popup's own queued messages, untranslated, until
// it reports a selection. Ends with LB_ERR when no selection can come: an
// empty list, the window gone, or no message to be had (a quit request
// goes back to the queue for the caller's own loop).
static LRESULT WaitForSelection(ListBoxPopup *popup, HWND window, WPARAM wParam, LPARAM lParam)
{
    for (;;) {
        LRESULT index = Forward(popup, window, LB_GETCURSEL, wParam, lParam);
        if (index != LB_ERR)
            return index;
        LRESULT count = Forward(popup, window, LB_GETCOUNT, 0, 0);
        if (count == LB_ERR || count <= 0)
            return LB_ERR;

        MSG msg;
        BOOL got = GetMessageA(&msg, window, 0, 0);
        if (got == 0)
            PostQuitMessage((int)msg.wParam);
        if (got <= 0)
            return LB_ERR;
        Forward(popup, msg.hwnd, msg.message, msg.wParam, msg.lParam);
        if (!IsWindow(window))
            return LB_ERR;
    }
}

LRESULT CALLBACK ListBoxPopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ListBoxPopup *popup = (ListBoxPopup *)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (!popup)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == LB_GETCURSEL)
        return WaitForSelection(popup, window, wParam, lParam);
    return Forward(popup, window, message, wParam, lParam);
}

// The values still held are destroyed in slot order, then the blocks go.
// Copes with a record whose window or array was never made.
static void DestroyPopup(void *object)
{
    ListBoxPopup *popup = (ListBoxPopup *)object;
    if (popup->Window) {
        SetWindowLongPtrA(popup->Window, GWLP_WNDPROC, (LONG_PTR)popup->PrevWndProc);
        DestroyWindow(popup->Window);
    }
    if (popup->Values) {
        for (int32_t i = 0; i < popup->Capacity; i++) {
            void *value = popup->Values[i];
            if (value)
                (*(DestroyProc *)value)(value);
        }
        TrackedFree(popup->Values);
    }
    TrackedFree(popup);
}

// The value is stored in the slot of the index the item will take. When
// the list box refuses the item the slot is cleared again, so the value
// stays the caller's and the next item's slot is free.
static int32_t AddItem(ListBoxPopup *popup, const char *text, void *value)
{
    int32_t slot = -1;
    if (value) {
        LRESULT count = SendMessageA(popup->Window, LB_GETCOUNT, 0, 0);
        if (count == LB_ERR)
            return LB_ERR;
        if (count >= 0 && count < popup->Capacity) {
            slot = (int32_t)count;
            popup->Values[slot] = value;
        }
    }
    LRESULT index = SendMessageA(popup->Window, LB_ADDSTRING, 0, (LPARAM)text);
    if (slot >= 0 && (index == LB_ERR || index == LB_ERRSPACE))
        popup->Values[slot] = 0;
    return (int32_t)index;
}

// Answers the text's length with a text buffer, the index without one,
// and LB_ERR, with an empty text and a zero value, when the wait ended
// without a selection.
static int32_t GetSelection(ListBoxPopup *popup, char *text, void **value)
{
    LRESULT index = SendMessageA(popup->Window, LB_GETCURSEL, 0, 0);
    if (index < 0) {
        if (text)
            text[0] = 0;
        if (value)
            *value = 0;
        return LB_ERR;
    }
    LRESULT result = index;
    if (text)
        result = SendMessageA(popup->Window, LB_GETTEXT, (WPARAM)index, (LPARAM)text);
    if (value) {
        *value = 0;
        if (index < popup->Capacity && popup->Values[index]) {
            *value = popup->Values[index];
            popup->Values[index] = 0;
        }
    }
    return (int32_t)result;
}

int32_t CreateListBoxPopup(HWND owner, HINSTANCE instance, const char *caption, int32_t x, int32_t y,
                           int32_t width, int32_t height, uint32_t capacity, ListBoxPopup **popupOut)
{
    if (!popupOut || *popupOut || capacity > LIST_BOX_POPUP_MAX_CAPACITY)
        return 1;
    ListBoxPopup *popup = (ListBoxPopup *)TrackedMalloc(sizeof *popup);
    if (!popup)
        return 1;
    memset(popup, 0, sizeof *popup);
    popup->Destroy = DestroyPopup;
    popup->AddItem = AddItem;
    popup->GetSelection = GetSelection;

    if (capacity) {
        popup->Capacity = (int32_t)capacity;
        popup->Values = (void **)TrackedMalloc(capacity * (uint32_t)sizeof(void *));
        if (!popup->Values)
            goto fail;
        memset(popup->Values, 0, capacity * sizeof(void *));
    }
    popup->Window = CreateWindowExA(kPopupExStyle, "LISTBOX", caption, kPopupStyle, x, y, width, height, owner,
                                    0, instance, 0);
    if (!popup->Window)
        goto fail;

    // The procedure finds the record through the user data, so that goes
    // in first.
    popup->PrevWndProc = (WNDPROC)GetWindowLongPtrA(popup->Window, GWLP_WNDPROC);
    SetWindowLongPtrA(popup->Window, GWLP_USERDATA, (LONG_PTR)popup);
    SetWindowLongPtrA(popup->Window, GWLP_WNDPROC, (LONG_PTR)ListBoxPopupProc);
    *popupOut = popup;
    return 0;

fail:
    popup->Destroy(popup);
    return 1;
}
