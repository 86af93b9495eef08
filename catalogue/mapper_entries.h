// The registrations that the filter mapper reads when it enumerates every
// filter (IFilterMapper2::EnumMatchingFilters with a merit floor): checked
// before the mapper is asked, since one damaged FilterData among them makes
// the mapper read past it.
#pragma once
#include "../base/app_state.h"

#include <cstddef>

// Whether the FilterData of every entry the mapper's enumeration with the
// merit floor 1 reads is sound or absent. Those are, for each filter
// category registered under the category of categories (with a Merit of at
// least 1 and a CLSID naming a class id), the entries under
// HKEY_CLASSES_ROOT\CLSID\{category}\Instance and the codec entries that the
// device enumerator keeps under
// HKEY_CURRENT_USER\Software\Microsoft\ActiveMovie\devenum\{category}.
//
// What each of those keys held is kept with a change notification on it and
// read again only once the key has changed (or could not be watched); then
// only its entries written since are opened again. So a walk of the mapper
// costs no second walk of every entry while the registry stays as it was.
bool MapperEntriesSound();

// The entries among those whose FilterData is damaged: how many, and the
// names of the first few (their FriendlyName, else their key's name).
constexpr std::size_t kDamagedNamesKept = 3;
struct DamagedMapperEntries {
    std::size_t count = 0;
    wchar_t names[kDamagedNamesKept][kNameCapacity] = {};
};
void FindDamagedMapperEntries(DamagedMapperEntries& found);

// Makes the next check read every entry again. The program's own changes to
// the registry call it, so that they count whether or not a notification
// has arrived yet (on Windows one may come after the change has returned).
void ForgetMapperEntriesCheck();
// The same for the one key of entries that holds the entry at
// HKEY_CLASSES_ROOT\entryPath, for a change of that entry alone.
void ForgetMapperEntryAt(const wchar_t* entryPath);

// How many keys of entries the checks have read so far (a kept answer reads
// none), and how many entries in them they have opened and checked (an entry
// whose key has not been written since it was checked is not opened again).
std::size_t MapperEntryKeysRead();
std::size_t MapperEntriesChecked();
