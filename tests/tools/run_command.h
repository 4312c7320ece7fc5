// Runs one of tailpatch's commands in-process with the given arguments.
#pragma once

#include <string>
#include <vector>

inline int RunCommand(int (*command)(int, char **), std::vector<std::string> args)
{
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    return command((int)argv.size(), argv.data());
}
