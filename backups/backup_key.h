// The machine's key of the backups' keyed hash (backup_seal.h): 32 random
// bytes made once per machine, the one value of the key
// HKEY_LOCAL_MACHINE\SOFTWARE\Pelmora Vantrel, read and made in the 64-bit
// view, so that the programs of both widths share it. The key's permissions
// let only Administrators and SYSTEM at it: a program the user runs without
// administrator rights can neither read it nor make a hash that matches.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

constexpr std::size_t kBackupKeyBytes = 32;

// Reads the key into bytes (kBackupKeyBytes of them); with make, makes it
// first where it is not there yet (or holds no key of the right form), with
// its permissions. Returns ERROR_SUCCESS, or the system's code:
// ERROR_ACCESS_DENIED without administrator rights, ERROR_FILE_NOT_FOUND
// (without make) where no key is made yet, ERROR_INVALID_DATA for a value
// that is no key.
LONG ReadBackupKey(BYTE* bytes, bool make);
