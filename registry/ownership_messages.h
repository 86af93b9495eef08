// What the user is asked and told around a change made as a key's temporary
// owner (ChangeKeyAsOwner): the question before it, and the failed step
// after it. Used by every change that may meet a key the system keeps.
#pragma once
#include "../base/win_headers.h"
#include "key_ownership.h"

// The question asked before the program takes the key over.
extern const wchar_t kTakeOwnershipQuestion[];

// Asks kTakeOwnershipQuestion in a Yes/No box owned by owner; true on Yes.
// keyName (or null) is named after it, with the programs whose registry view
// the key belongs to, where one change may meet keys of either view.
bool AskToTakeOwnership(HWND owner, const wchar_t* keyName = nullptr);

// Tells, in an error box owned by owner, lead, then the step that failed
// with the system's text and code, and whether the key's owner and
// permissions are as they were (and, where not, what they were and are).
void ShowOwnershipFailure(HWND owner, const wchar_t* lead, const OwnershipResult& result);
