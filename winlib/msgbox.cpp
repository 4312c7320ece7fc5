#include "winlib/msgbox.h"

int ShowInfoBox(HWND owner, const char *caption, const char *text)
{
    return MessageBoxA(owner, text, caption, MB_ICONINFORMATION | MB_OK);
}

int ShowErrorBox(HWND owner, const char *caption, const char *text)
{
    return MessageBoxA(owner, text, caption, MB_ICONERROR | MB_OK);
}

// Questions come to the front: the user is expected to answer them now.
int AskYesNo(HWND owner, const char *caption, const char *text)
{
    return MessageBoxA(owner, text, caption, MB_ICONQUESTION | MB_YESNO | MB_SETFOREGROUND);
}

// Cancel is the default, so a hasty Enter takes no decision.
int AskYesNoCancel(HWND owner, const char *caption, const char *text)
{
    return MessageBoxA(owner, text, caption,
                       MB_ICONERROR | MB_YESNOCANCEL | MB_SETFOREGROUND | MB_DEFBUTTON3);
}
