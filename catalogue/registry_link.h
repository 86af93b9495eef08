// Registry links (keys made with REG_OPTION_CREATE_LINK) seen without going
// through them. A link may point at another codec's keys, or back at a key
// above it; a walk that deletes or copies a codec's keys must never follow one.
#pragma once
#include "../base/scoped.h"

enum KeyOpening {
    KeyOpened,     // the key at that place, which is no link
    KeyIsLink,     // a link: it is left as it is, and nothing it points to is touched
    KeyNotOpened,  // nothing could be opened at that place
};

// Opens parent\path itself, never the key a link there points to, with the
// access asked for (and the right to read values). With KeyOpened, key holds
// it; otherwise key is closed, and with KeyNotOpened *status says why.
KeyOpening OpenKeyUnlessLink(RegKey& key, HKEY parent, const wchar_t* path, REGSAM access, LONG* status = nullptr);

// The status the report and dialog 133 give a registration whose key is a link.
extern const wchar_t kLinkNotOpenedStatus[];  // "ссылка реестра, не открывалась"
