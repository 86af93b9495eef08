// Reading registry values as text that always ends terminated inside its
// buffer, whatever the value's type or length, and walking and opening keys
// under HKEY_CLASSES_ROOT.
#pragma once
#include "../base/scoped.h"

#include <cstddef>

// Reads the value (nullptr or L"" for the default value) into text, giving the
// registry capacity * 2 bytes. A value stored without its terminating zero is
// ended after its characters. A value that cannot be read, does not fit, or
// fills the whole buffer without a terminator counts as unreadable: the result
// is false and text is empty. A value of zero length reads as the empty text.
bool ReadRegistryText(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity);

// The name of the index-th subkey of key into a 256-character buffer (a key
// name has at most 255 characters), always terminated; false when there is
// none or it cannot be read.
bool SubkeyNameAt(HKEY key, DWORD index, wchar_t (&name)[256]);

// Walks the subkeys of key by index from 0 (SubkeyNameAt) until a name cannot
// be read or the visitor returns true (found). Returns whether the visitor
// stopped the walk.
template <typename Visitor>
bool ForEachSubkeyName(HKEY key, Visitor&& visit) {
    wchar_t name[256];
    for (DWORD index = 0; SubkeyNameAt(key, index, name); ++index) {
        if (visit(static_cast<const wchar_t*>(name))) return true;
    }
    return false;
}

// Opens "<parentPath><name>" under HKEY_CLASSES_ROOT (the path cut to 500
// characters, as every lookup path is); returns the platform's status.
LONG OpenClassesChild(RegKey& key, const wchar_t* parentPath, const wchar_t* name);

// Whether text is a GUID in braces, exactly as the system writes one (38
// characters): the form Windows takes a class id or a subtype in from its
// preference keys (a program id, which CLSIDFromString would also take, is not one).
bool IsGuidText(const wchar_t* text);

// Reads a class id in any spelling the registry holds one in: its 36
// characters alone (as MFTRegister names a transform's keys) or in braces (38
// characters, as COM names a class key), hexadecimal letters of either case.
// The spellings of one class give one GUID; any other text gives false.
bool ParseClassIdText(const wchar_t* text, GUID* id);

// A class id names one key below CLSID only when it is not empty and holds no
// backslash; anything else would reach CLSID itself or another class's keys.
bool IsUsableClassId(const wchar_t* classId);
