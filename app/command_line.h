// The program's own command line: without options the window opens as it
// always has; "/report file" and "/loadcheck file" write that report and end
// without a window; "/?", an option the program does not know or a missing
// file name print the usage and end. (The checks' children have command
// lines of their own, read before this one.)
#pragma once
#include "../base/app_state.h"

#include <cstddef>

enum CommandKind {
    CommandWindow,     // no options: the program's window
    CommandReport,     // /report "file"
    CommandLoadCheck,  // /loadcheck "file"
    CommandUsage,      // /?, or a command line the program does not take
};

constexpr std::size_t kCommandPathCapacity = MAX_PATH * 4;

struct ProgramCommand {
    CommandKind kind = CommandWindow;
    wchar_t file[kCommandPathCapacity] = {};
    // For the usage: what was wrong with the command line, or empty for "/?".
    wchar_t problem[kNameCapacity] = {};
};

// Reads the process's command line into command.
void ReadProgramCommand(ProgramCommand& command);

// The exit codes of the commands.
constexpr int kExitNoProblems = 0;   // the report names no problem
constexpr int kExitProblems = 1;     // it names problems
constexpr int kExitNotWritten = 2;   // it could not be written, or the command line was wrong

// Prints the usage (after the command line's problem, if any) to the console
// the program was started from; returns kExitNotWritten.
int PrintUsage(const ProgramCommand& command);

// The end of a command that wrote (or failed to write) command.file: where
// it failed, says so on the console as the save's message would; returns
// the exit code.
int EndCommand(const ProgramCommand& command, DWORD error, bool problems);
