// tailpatch: the patch author's tool. Packs an installer with its list of
// files, lists a packed installer, and splits, joins and removes numbered
// part files.
#include "tools/commands.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

struct Command {
    const char *Name;
    int (*Run)(int argc, char **argv);
    const char *Usage;
};

constexpr Command kCommands[] = {
    {"pack", PackCommand, "pack [--offset N] --stub STUB --output PATCH NAME..."},
    {"list", ListCommand, "list [--offset N] PATCH"},
    {"split", SplitCommand, "split --size MB SOURCE DIR PREFIX SUFFIX   (SOURCE - reads standard input)"},
    {"join", JoinCommand, "join DIR PREFIX SUFFIX DEST                (DEST - writes standard output)"},
    {"remove", RemoveCommand, "remove DIR PREFIX SUFFIX"},
};

int Usage()
{
    std::fprintf(stderr, "usage:\n");
    for (const Command &c : kCommands)
        std::fprintf(stderr, "  tailpatch %s\n", c.Usage);
    return kUsageStatus;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage();
    for (const Command &c : kCommands) {
        if (std::strcmp(argv[1], c.Name) == 0)
            return c.Run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "tailpatch: unknown command '%s'\n", argv[1]);
    return Usage();
}
