// A top-most popup list box whose selection call waits for the user. The
// popup owns the values of its items: the selected item's value is handed
// to the caller, the values still held are destroyed with the popup.
#pragma once

#include "platform/os.h"

#include <stdint.h>

// An object handed around as an opaque value begins with the address of
// its own destroy operation, which takes the object's address.
typedef void (*DestroyProc)(void *object);

struct ListBoxPopup;
typedef int32_t (*ListBoxAddItemProc)(ListBoxPopup *popup, const char *text, void *value);
typedef int32_t (*ListBoxGetSelectionProc)(ListBoxPopup *popup, char *text, void **value);

struct ListBoxPopup {
    DestroyProc Destroy;
    ListBoxAddItemProc AddItem;
    ListBoxGetSelectionProc GetSelection;
    HWND Window;
    WNDPROC PrevWndProc;
    int32_t Capacity;
    void **Values;  // Capacity slots, slot i holding item i's value
};

// The largest number of item values a popup can hold.
#define LIST_BOX_POPUP_MAX_CAPACITY 32766

// Creates the popup, visible at once, and stores it through popupOut,
// which must hold null. Answers 0, or 1 with nothing left allocated.
int32_t CreateListBoxPopup(HWND owner, HINSTANCE instance, const char *caption, int32_t x, int32_t y,
                           int32_t width, int32_t height, uint32_t capacity, ListBoxPopup **popupOut);

// The popup window's procedure: LB_GETCURSEL, whoever sends it, waits
// until an item is selected.
LRESULT CALLBACK ListBoxPopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
