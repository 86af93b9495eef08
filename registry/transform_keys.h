// The registry keys of a Media Foundation transform, as MFTRegister writes
// them under HKEY_CLASSES_ROOT: MediaFoundation\Transforms\<class id without
// braces> and an empty entry of that name in each category it belongs to,
// MediaFoundation\Transforms\Categories\<category>\<class id>.
#pragma once
#include "key_path_list.h"

// Adds the class's transform key and every category entry that names it
// (letter case aside) to keys, as paths under HKEY_CLASSES_ROOT. classId may
// be written with or without braces. Nothing is added for a class id that
// names no single key, nor one that would name a key of the transforms'
// own ("Categories", "Preferred", "DoNotUse").
void AddTransformKeys(const wchar_t* classId, KeyPathList& keys);
