// The codec a management dialog was opened for, kept by the dialog itself:
// whatever runs while it is open (a nested command, another management
// dialog) may rewrite the selection fields of AppState, and every action of
// the dialog must still reach the codec it shows.
#pragma once
#include "../base/app_state.h"

struct ManagedCodec {
    wchar_t name[kNameCapacity];
    wchar_t classId[kNameCapacity];
    wchar_t objectName[kNameCapacity];
    wchar_t serverPath[kNameCapacity];
    DWORD serverPathType;
    std::uint32_t merit;
    LookupKind lookupKind;
    bool byClassId;   // chosen by its class id (AppState's selectedByClassId)
    int categoryRow;  // the category combobox's row the codec was looked up in
};

// Copies the selection fields of AppState and the combobox's row.
void TakeManagedCodec(ManagedCodec& codec);
// Puts the copy back into AppState, and the combobox back on its row
// (refilling the list) when another category was chosen meanwhile.
void PutBackManagedCodec(const ManagedCodec& codec);
