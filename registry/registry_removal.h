// Deleting a codec's registry entries under HKEY_CLASSES_ROOT. Nothing here
// reports anything: a key that cannot be deleted simply stays.
#pragma once
#include "../base/app_state.h"

#include <cstddef>

// The keys one codec's removal deletes: at most the class key, its entry in
// the selected category and its entry in the legacy filter category.
using CodecEntryPaths = wchar_t[3][kNameCapacity];

// Finds, in the order RemoveCodecRegistry deletes them, the keys it deletes
// for this class id and list row (paths under HKEY_CLASSES_ROOT, each only
// where it can be named whole; an entry may not exist). Returns their count.
std::size_t FindCodecEntryPaths(const wchar_t* classId, const wchar_t* friendlyName, CodecEntryPaths& paths);

// The class id without braces (at most 59 characters), as DMO keys are
// named; false when that names no single key.
constexpr std::size_t kBracelessClassIdCapacity = 60;
bool BracelessClassId(const wchar_t* classId, wchar_t (&braceless)[kBracelessClassIdCapacity]);

// The DMO registration key of a class id: DirectShow\MediaObjects\<class id
// without braces>. False when the class id names no single key.
bool FindDmoKeyPath(const wchar_t* classId, wchar_t* path, std::size_t capacity);

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

// Why a deletion left keys: the first refusal of a key that had nothing left
// below it (ERROR_ACCESS_DENIED for lack of rights, say), and whether a
// registry link was kept. A key that stays only because something below it
// stayed is no cause of its own.
struct RemovalOutcome {
    LONG refusal = ERROR_SUCCESS;
    bool linkKept = false;
};

// Deletes root\path with everything below it, leaves first; what stayed and
// why goes to outcome, when given.
void DeleteKeyTree(HKEY root, const wchar_t* path, RemovalOutcome* outcome = nullptr);
