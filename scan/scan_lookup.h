// The scan's lookup of its rows: the answers FindFilterRegistration gives,
// taken from one read of the category's Instance entries and one read of the
// class keys' default values instead of a walk of both for every row.
#pragma once
#include "../base/app_state.h"
#include "../base/growing_text.h"

// What the scan has read, in enumeration order. Each text is kept terminated,
// one after another, and only the texts that the lookups compare or give.
struct ScanLookup {
    // The Instance key the entries were read from.
    wchar_t instancePath[kNameCapacity] = {};
    bool entriesRead = false;
    // For each entry whose FriendlyName can be read: that name, then the class
    // id the entry gives (its CLSID value, or its key name), then a mark that
    // is not empty when the entry's FilterData is damaged.
    GrowingText entries;
    bool classesRead = false;
    // For each subkey of CLSID: its default value, empty where it cannot be
    // read. The key names are not kept (there are thousands of them): the name
    // of a key that matches is read again by its place.
    GrowingText classValues;
};

// The parts of what was read that an answer of the user may have changed.
enum ScanLookupPart : unsigned {
    ScanLookupEntries = 1,  // the Instance entries
    ScanLookupClasses = 2,  // the class keys' default values
    ScanLookupAll = 3,
};

// What FindFilterRegistration gives for friendlyName, with the combobox's
// category: the same kind, class id text and cut flag, found by the same
// comparison (lstrcmpiW) in the same order. The Instance entries are read
// when first needed for a category, the class keys when a name is first not
// found among the entries. With LookupInstanceKey, filterDataDamaged
// (optional) tells whether that entry's FilterData is damaged (false otherwise).
LookupKind ScanFindRegistration(ScanLookup& lookup, wchar_t* classIdOut, const wchar_t* friendlyName,
                                bool* classIdCut, bool* filterDataDamaged = nullptr);
// The class search of that lookup alone, for a name that no Instance entry
// has: the name of the first class key whose default value matches goes to
// classIdOut (256 characters). The codec report, which reads the entries
// itself, judges its rows by it.
bool ScanFindClassKey(ScanLookup& lookup, const wchar_t* friendlyName, wchar_t* classIdOut);

// Drops what was read of the given parts (ScanLookupPart bits); they are read
// again when next needed. Their memory is kept for that.
void ForgetScanLookup(ScanLookup& lookup, unsigned parts);
