// Finding where a filter is registered under HKEY_CLASSES_ROOT. These only
// read the registry; callers decide what to tell the user.
#pragma once
#include "../base/app_state.h"

#include <cstddef>

constexpr std::size_t kClassIdCapacity = 256;  // at most 255 characters are written

// Resolves a friendly name to a class id text (output of at least 256
// characters): first among the Instance entries of the combobox's category,
// then among the default values of the class keys. With LookupNone the output
// is left untouched. A CLSID value longer than 255 characters is cut to fit;
// classIdCut (optional) then becomes true, otherwise false. A cut class id
// names no class, and its caller must not use it as one.
LookupKind FindFilterRegistration(wchar_t* classIdOut, const wchar_t* friendlyName, bool* classIdCut = nullptr);

// The class id an Instance entry gives: its CLSID value, or its own key name
// when that value cannot be read (500 characters).
void ReadEntryClassId(HKEY entry, const wchar_t* entryName, wchar_t* value);

// Copies a class id into the 256-character class id output, cut to 255
// characters; classIdCut (optional) tells whether it was cut.
void TakeClassId(wchar_t* classIdOut, const wchar_t* value, bool* classIdCut);

// Reads the default value of CLSID\<className> into value (500 characters);
// false, and value empty, when the key cannot be opened or the value read.
bool ReadClassDefaultValue(const wchar_t* className, wchar_t* value);

// The class search alone: the name of the first subkey of CLSID, in
// enumeration order, whose default value equals friendlyName without regard
// to case goes to classIdOut (256 characters). False when there is none.
bool FindClassKeyByName(const wchar_t* friendlyName, wchar_t* classIdOut);

// Reads CLSID\<class id>'s default value into objectName and its
// InprocServer32 default value into serverPath (500 characters each), each
// only where readable; the server path's value type to serverType (REG_NONE
// when there is none). Returns 0 when the class key cannot be opened, or when
// the class id names no single class (empty, or holding a backslash).
int ReadClassInfo(const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath, DWORD* serverType = nullptr);

// Finds, under instanceKeyPath (ending with a separator), the first entry whose
// CLSID value equals classId without regard to case; writes its full path to
// keyPathOut (500 characters) and returns 1, or writes the empty text and returns 0.
int FindInstanceKeyByClsid(const wchar_t* instanceKeyPath, const wchar_t* classId, wchar_t* keyPathOut);

// Finds, under instanceKeyPath (ending with a separator), the first entry whose
// FriendlyName equals friendlyName without regard to case, as
// FindFilterRegistration does; writes its full path to keyPathOut (500
// characters) and returns 1, or writes the empty text and returns 0.
int FindInstanceKeyByName(const wchar_t* instanceKeyPath, const wchar_t* friendlyName, wchar_t* keyPathOut);

// The entry of the combobox's category whose CLSID names classId, into
// entryPath (500 characters); false, with the empty text, when there is none
// or the class id names no single key.
bool FindSelectedCategoryEntryOfClass(const wchar_t* classId, wchar_t* entryPath);

// The Instance entry of the combobox's category that the management of the
// selected codec works on, into entryPath (500 characters): the one whose
// CLSID names selectedClsid when the codec was chosen by its class id,
// otherwise the first one of selectedName (FindInstanceKeyByName). False,
// with the empty text, when the category holds no such entry.
bool FindSelectedEntry(wchar_t* entryPath);
