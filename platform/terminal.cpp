#include "platform/terminal.h"

#include <stdio.h>
#include <string.h>

int ReadTerminalLine(char *line, size_t size)
{
    if (!fgets(line, (int)size, stdin)) {
        fprintf(stderr, "\n");  // leave the prompt's line
        return 0;
    }
    if (!strchr(line, '\n')) {
        int c;
        while ((c = getchar()) != EOF && c != '\n') {
        }
    }
    line[strcspn(line, "\r\n")] = 0;
    char *start = line;
    while (*start == ' ')
        start++;
    memmove(line, start, strlen(start) + 1);
    for (size_t n = strlen(line); n && line[n - 1] == ' ';)
        line[--n] = 0;
    return 1;
}
