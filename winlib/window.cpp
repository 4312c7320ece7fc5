#include "winlib/window.h"

#include "winlib/msgbox.h"

static const char kErrorCaption[] = "ERROR: CreateWin95";

// The class is registered even when the window names another one; a
// failed creation leaves it registered.
HWND CreateWin95(const WNDCLASSA *windowClass, const WindowSpec *spec, int32_t showCommand)
{
    if (!windowClass || !spec)
        return 0;
    if (!RegisterClassA(windowClass)) {
        ShowErrorBox(0, kErrorCaption, "Failed to REGISTER window!");
        return 0;
    }
    HWND window = CreateWindowExA(spec->ExStyle, spec->ClassName, spec->WindowName, spec->Style, spec->X,
                                  spec->Y, spec->Width, spec->Height, spec->Parent, spec->Menu,
                                  spec->Instance, spec->CreateParam);
    if (!window) {
        ShowErrorBox(0, kErrorCaption, "Failed to CREATE window!");
        return 0;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    // However often the cursor was shown before, it ends up hidden.
    if (!spec->KeepCursor)
        while (ShowCursor(FALSE) >= 0) {
        }
    return window;
}
