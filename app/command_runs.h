// The commands that write a report to a file and end without a window:
// "/report" (the codec report of every view, as "Сохранить отчет о
// кодеках.." writes it) and "/loadcheck" (the load check run with its child,
// its results as the dialog's "Сохранить отчет.." writes them).
#pragma once
#include "command_line.h"

// Each returns the exit code: kExitNoProblems, kExitProblems or kExitNotWritten.
int RunReportCommand(const ProgramCommand& command);
int RunLoadCheckCommand(const ProgramCommand& command);
