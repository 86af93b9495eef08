// Which file a server path names. The same file can be written in many ways:
// through variables, in 8.3 short names, with forward slashes, in quotes, or
// as a bare name that the system's search path finds. Two paths name the
// same file when the files they open have the same identity.
#pragma once
#include "../base/win_headers.h"

struct FileIdentity {
    DWORD volumeSerial = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// The identity of the file that the server path names (a value of
// serverType: its variables expanded where it is REG_EXPAND_SZ, as
// ExpandServerPath takes it), quotes dropped, forward slashes taken as
// separators and a bare name looked up as the system looks up a DLL; false
// when no file can be opened there.
bool ServerFileIdentity(const wchar_t* serverPath, DWORD serverType, FileIdentity* identity);

bool SameFile(const FileIdentity& a, const FileIdentity& b);

// Whether two server paths name the same file: the same identity where both
// can be opened, otherwise the same text once variables are expanded, letter
// case aside. (Paths from backups, whose types are not kept: their variables
// are expanded.)
bool SameServerFile(const wchar_t* a, const wchar_t* b);
