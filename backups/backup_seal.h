// The keyed hash that marks a backup as written by this program on this
// machine: HMAC-SHA256 with the machine's key (backup_key.h) of every byte of
// the file before its last line, which is the comment
// "; Хеш резервной копии (HMAC-SHA256): " and the hash in 64 hexadecimal
// digits. The system's registry editor and reg import pass over it.
#pragma once
#include "../base/growing_text.h"

#include <cstddef>

enum SealOutcome {
    SealAdded,     // the text ends with its hash line
    SealNoRights,  // the key is refused (no administrator rights): the text goes without the line
    SealFailed,    // the key or the hash could not be made: the backup is not whole
};

// Ends a whole backup text (header, keys, values) with a blank line and its
// hash line, making the machine's key first where it is not there yet.
SealOutcome SealBackupText(GrowingText& text);

enum SealCheck {
    SealMatches,     // the last line is the hash line, and its hash is the file's
    SealNotMatched,  // no hash line, a hash of other bytes, or no key on this machine yet
    SealKeyRefused,  // a hash line, but the key may not be read (no administrator rights)
    SealUnchecked,   // the hash could not be made
};

// Checks a whole file's bytes as a backup's hash line marks them.
SealCheck CheckBackupSeal(const BYTE* bytes, std::size_t size);
