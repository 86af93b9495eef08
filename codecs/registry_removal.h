// Deleting a codec's registry entries under HKEY_CLASSES_ROOT. Nothing here
// reports anything: a key that cannot be deleted simply stays.
#pragma once
#include "../app/utils/win_headers.h"

// Deletes the class key, the codec's entry under the selected category's
// Instance key, and the entry named by the class id under the legacy filter
// category. friendlyName is the list row the class id was found by: when the
// class id names no single class (empty, say), only the entry with that name goes.
void RemoveCodecRegistry(const wchar_t* classId, const wchar_t* friendlyName);

// Deletes DirectShow\MediaObjects\<class id without braces>; nothing when the
// class id names no single key.
void RemoveDmoRegistrationOf(const wchar_t* classId);
// The same for the managed codec, selectedClsid.
void RemoveDmoRegistration();

// Deletes root\path with everything below it, leaves first.
void DeleteKeyTree(HKEY root, const wchar_t* path);
