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

// Opens root\path one name at a time, each as OpenKeyUnlessLink opens it,
// so that neither the key nor any key on the way to it is gone through when
// it is a link: access for the key itself, reading for those on the way,
// each in access's registry view (KEY_WOW64_64KEY, KEY_WOW64_32KEY or none).
KeyOpening OpenKeyPathUnlessLink(RegKey& key, HKEY root, const wchar_t* path, REGSAM access, LONG* status = nullptr);

// The status the report and dialogs 131 and 133 give a key that is a link.
extern const wchar_t kLinkNotOpenedStatus[];  // "ссылка реестра, не открывалась"
