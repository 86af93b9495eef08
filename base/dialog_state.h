// A dialog's own state, made when the dialog is made and kept in its
// DWLP_USER slot until WM_NCDESTROY, however the dialog goes.
#pragma once
#include "win_headers.h"

#include <new>

// Makes the state and keeps it in the dialog; null, with the dialog ended,
// when memory ran out.
template <typename State>
State* MakeDialogState(HWND dialog) {
    auto* state = new (std::nothrow) State;
    if (!state) {
        EndDialog(dialog, 0);
        return nullptr;
    }
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    return state;
}

// The state the dialog keeps; null before it was made and once it is gone.
template <typename State>
State* DialogState(HWND dialog) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Deletes the state the dialog keeps, at WM_NCDESTROY.
template <typename State>
void DeleteDialogState(HWND dialog) {
    delete reinterpret_cast<State*>(SetWindowLongPtrW(dialog, DWLP_USER, 0));
}
