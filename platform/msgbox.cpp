// Message boxes on the terminal: the box is drawn on the standard error
// stream and answered with one line of standard input. At the end of input
// a box answers 0, as a box that cannot be shown does.
//
//   +--[ ERROR: Insufficient disk space ]--(error)
//   | Patch requires 4294967295 bytes free disk space.
//   +--[ OK ] >
#include "platform/win32.h"
#include "platform/terminal.h"

#include <ctype.h>
#include <string.h>

struct ButtonSet {
    int Ids[3];
    int Count;
};

static ButtonSet ButtonsOf(UINT type)
{
    switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, IDCANCEL}, 2};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, IDRETRY, IDIGNORE}, 3};
    case MB_YESNOCANCEL: return {{IDYES, IDNO, IDCANCEL}, 3};
    case MB_YESNO: return {{IDYES, IDNO}, 2};
    case MB_RETRYCANCEL: return {{IDRETRY, IDCANCEL}, 2};
    default: return {{IDOK}, 1};
    }
}

static const char *ButtonName(int id)
{
    static const char *const kNames[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
    return kNames[id];
}

static const char *IconName(UINT type)
{
    switch (type & 0xF0) {
    case MB_ICONERROR: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    default: return "message";
    }
}

// The answer a typed line stands for: a button's first letter or its name,
// any letter case. 0 when the line names no button of the box.
static int ParseAnswer(const char *line, const ButtonSet &buttons)
{
    for (int i = 0; i < buttons.Count; i++) {
        const char *name = ButtonName(buttons.Ids[i]);
        if ((line[0] && !line[1] && tolower((unsigned char)line[0]) == tolower((unsigned char)name[0])) ||
            strcasecmp(line, name) == 0)
            return buttons.Ids[i];
    }
    return 0;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    ButtonSet buttons = ButtonsOf(type);
    int defaultIndex = (int)((type >> 8) & 0xF);
    if (defaultIndex >= buttons.Count)
        defaultIndex = 0;

    fflush(stdout);
    fprintf(stderr, "\n+--[ %s ]--(%s)\n", caption ? caption : "Error", IconName(type));
    for (const char *p = text ? text : ""; ;) {
        size_t n = strcspn(p, "\n");
        fprintf(stderr, "| %.*s\n", (int)n, p);
        if (!p[n])
            break;
        p += n + 1;
    }

    for (;;) {
        fprintf(stderr, "+--");
        for (int i = 0; i < buttons.Count; i++)
            fprintf(stderr, i == defaultIndex ? "[ %s ]" : "  %s  ", ButtonName(buttons.Ids[i]));
        fprintf(stderr, " > ");
        fflush(stderr);

        char answer[256];
        if (!ReadTerminalLine(answer, sizeof answer))
            return 0;

        if (buttons.Count == 1 || !*answer)
            return buttons.Ids[*answer ? 0 : defaultIndex];
        int id = ParseAnswer(answer, buttons);
        if (id)
            return id;
    }
}
