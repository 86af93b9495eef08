// The restore's question, "Восстановить записи реестра из резервной копии?"
// (caption "Подтвердите действие", only Yes goes on), with everything the
// file writes: its classes first, each with its name, then every key, each
// with the values it sets or removes there under it (restore_value_line.h).
// It never leaves a line out: where they do not fit a message box, the
// question is dialog 137, with all of them in a list.
#pragma once
#include "../base/growing_text.h"
#include "../base/win_headers.h"

#include <cstddef>

struct RestoreQuestion {
    GrowingText lines;      // each line the question names, each terminated
    std::size_t count = 0;
    bool createsKeys = false;  // keys not there yet will be made: they stay after an undo
};

// Adds one line (made safe to show in one line).
void AddQuestionLine(RestoreQuestion& question, const wchar_t* line);

// Asks the question, owned by owner; true on Yes.
bool AskToRestore(HWND owner, const RestoreQuestion& question);

// The dialog procedure of dialog 137; its parameter is the RestoreQuestion.
INT_PTR CALLBACK RestoreQuestionDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
