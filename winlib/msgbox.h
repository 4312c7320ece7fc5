// Modal message boxes in the library's four fixed styles. Each takes the
// caption before the text and answers what MessageBoxA answers.
#pragma once

#include "platform/os.h"

int ShowInfoBox(HWND owner, const char *caption, const char *text);
int ShowErrorBox(HWND owner, const char *caption, const char *text);
int AskYesNo(HWND owner, const char *caption, const char *text);
int AskYesNoCancel(HWND owner, const char *caption, const char *text);
