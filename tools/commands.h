// The subcommands of tailpatch. Each takes the arguments after its own
// name and answers the process's exit status.
#pragma once

int PackCommand(int argc, char **argv);
int ListCommand(int argc, char **argv);
int SplitCommand(int argc, char **argv);
int JoinCommand(int argc, char **argv);
int RemoveCommand(int argc, char **argv);

// Exit status for bad arguments and files that cannot be opened.
constexpr int kUsageStatus = 2;
