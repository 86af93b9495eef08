// The registry keys of a Media Foundation transform, as MFTRegister writes
// them under HKEY_CLASSES_ROOT: MediaFoundation\Transforms\<class id without
// braces> and an empty entry of that name in each category it belongs to,
// MediaFoundation\Transforms\Categories\<category>\<class id>. Installers and
// damaged registries spell a class id otherwise too (in braces, in upper
// case): every spelling of a GUID names the same class.
#pragma once
#include "key_path_list.h"

// Whether name is one of the Transforms key's own subkeys ("Categories",
// "Preferred", "DoNotUse"), letter case aside: never a transform's key, even
// where a category entry is named so.
bool IsTransformsOwnKeyName(const wchar_t* name);

// Adds to keys, as paths under HKEY_CLASSES_ROOT each named as the registry
// spells it, every transform key and every category entry (in any category)
// whose name is classId: in any spelling of it for a class id that is a GUID
// (with or without braces, letters of either case), that very name
// otherwise. Nothing for a name of the Transforms key's own, nor for one
// that names no single key. A key of the walk that is a registry link is
// not gone through.
void AddTransformKeys(const wchar_t* classId, KeyPathList& keys);

// Adds the one entry MediaFoundation\Transforms\Categories\<category>\<entry>.
void AddTransformEntryKey(const wchar_t* category, const wchar_t* entry, KeyPathList& keys);
