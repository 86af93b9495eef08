// The check dialog 138 drives: the load check's run over Explorer's handlers
// of one view alone, or over those of a file's extension driven with the file.
#pragma once
#include "../shellhandlers/shell_load_check.h"

// Makes a check for dialog 138 (a ShellCheckMaker).
std::unique_ptr<ShellLoadCheck> MakeShellLoadCheck();
