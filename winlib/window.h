// One call that registers a window class and creates, shows and paints a
// window of it, reporting each failure in an error box.
#pragma once

#include "platform/os.h"

#include <stdint.h>

// The parameters of one CreateWindowExA call, in its order, and whether to
// leave the mouse cursor alone once the window is shown.
struct WindowSpec {
    uint32_t ExStyle;
    char ClassName[50];
    char WindowName[50];
    uint32_t Style;
    int32_t X;
    int32_t Y;
    int32_t Width;
    int32_t Height;
    HWND Parent;
    HMENU Menu;
    HINSTANCE Instance;
    void *CreateParam;
    int32_t KeepCursor;  // zero: hide the cursor
};

// Answers the new window, or null: without a box for a null argument, with
// "Failed to REGISTER window!" or "Failed to CREATE window!" otherwise.
HWND CreateWin95(const WNDCLASSA *windowClass, const WindowSpec *spec, int32_t showCommand);
