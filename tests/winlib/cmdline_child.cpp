// Started by cmdline_process_test: prints what ParseCommandLine makes of
// this process's own command line, and whether releasing the record took
// the tracked byte counter back to where it started.
#include "winlib/cmdline.h"
#include "winlib/tracked_alloc.h"

#include <stdio.h>

int main()
{
    int32_t start = GetTrackedBytes();
    CommandLineArgs *args = ParseCommandLine();
    if (!args) {
        printf("null\n");
    } else {
        printf("count %d\n", (int)args->ArgCount);
        for (int32_t k = 0; k < args->ArgCount; k++)
            printf("arg [%s]\n", args->ArgList[k]);
        printf("dir [%s]\n", args->ProgramDir);
        FreeCommandLineArgs(args);
    }
    printf("released %s\n", GetTrackedBytes() == start ? "yes" : "no");
    return 0;
}
