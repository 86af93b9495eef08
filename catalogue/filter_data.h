// Checking a filter's registration record, the FilterData value the filter
// mapper writes into a filter's entry and parses again whenever it enumerates
// filters. The mapper checks no bounds: a value whose counts or offsets reach
// past its end makes it read past the value, and crash the process that
// enumerates. Nothing is parsed through the runtime here.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>
#include <cstdint>
#include <functional>

enum FilterDataVerdict {
    FilterDataSound,           // every record, and everything a record points at, lies within the value
    FilterDataCutShort,        // the header, a pin record or one of its type or medium records runs past the end
    FilterDataOffsetOutside,   // a media type, medium or pin category offset points (partly) outside the value
    FilterDataUnknownVersion,  // a format version other than 1 and 2
    // Only from CheckEntryFilterData:
    FilterDataNotBinary,  // the value is not REG_BINARY: the mapper would take a text or a number for a record
    FilterDataAbsent,     // the entry has no FilterData (or it cannot be read): the mapper passes it over
};

// Whether a verdict is a broken registration: anything but sound or absent.
inline bool FilterDataDamaged(FilterDataVerdict verdict) {
    return verdict != FilterDataSound && verdict != FilterDataAbsent;
}

// Checks the layout the mapper writes, for versions 1 and 2 alike: the header
// (version, merit, pin count, reserved; 16 bytes), then per pin its record
// (signature, flags, instances, media type count, medium count, category
// flag; 24 bytes), the category offset when that flag is set, its media type
// records (signature, reserved, major and minor type offsets; 16 bytes each)
// and its medium offsets (4 bytes each). Every offset points at a class id
// (16 bytes) or a medium (24 bytes) that must lie within the value.
// Pure: reads only data[0 .. size).
FilterDataVerdict CheckFilterData(const std::uint8_t* data, std::size_t size);

// Reads the FilterData value of an open registration entry and checks it.
// For a sound value, *merit (when given) receives its merit word, bytes 4 to 7.
FilterDataVerdict CheckEntryFilterData(HKEY entry, std::uint32_t* merit = nullptr);

// The same for the Instance entry of the combobox's category whose
// FriendlyName is friendlyName (the first, as FindFilterRegistration finds
// it); FilterDataAbsent when there is no such entry.
FilterDataVerdict CheckNamedEntryFilterData(const wchar_t* friendlyName, std::uint32_t* merit = nullptr);
// The same for the entry the management of the selected codec works on
// (FindSelectedEntry).
FilterDataVerdict CheckSelectedEntryFilterData(std::uint32_t* merit = nullptr);

// Reads and checks the FilterData value of an open entry as
// CheckEntryFilterData does, and for a sound value calls visit(major, minor)
// for every media type of every input pin, in the order the value holds them
// (an empty visit: the check alone).
FilterDataVerdict ForEachEntryInputType(HKEY entry, std::uint32_t* merit,
                                        const std::function<void(const GUID& major, const GUID& minor)>& visit);
