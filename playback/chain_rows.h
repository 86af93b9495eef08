// What the playback check dialog shows for a report: one row per filter of
// the graph (its registered name, merit, input format, server file and why
// Windows would or would not pick it), and the result text.
#pragma once
#include "../catalogue/mapper_entries.h"
#include "check_process.h"

struct ChainRowText {
    bool isFilter = false;                  // false: an output pin nothing accepted
    wchar_t name[kNameCapacity] = {};       // the registered friendly name, else the graph's name
    // The class id its Instance entry names (the registration the check
    // found), empty when no entry was found: "Управление.." manages that
    // registration, not the first one of its name.
    wchar_t classId[kNameCapacity] = {};
    wchar_t merit[kNameCapacity] = {};
    wchar_t format[kShortTextCapacity] = {};
    wchar_t file[kNameCapacity] = {};
    wchar_t note[kNameCapacity] = {};
    bool hasSubtype = false;                 // the input connection's subtype is known
    GUID subtype = GUID_NULL;
    wchar_t reportedClassId[kChainTextCapacity] = {};  // a filter's class id as the child reported it
};

// Fills out for the report's row `index`; filePath is the checked file (its
// extension decides the source filter's note).
void DescribeChainRow(const CheckReport& report, std::size_t index, const wchar_t* filePath, ChainRowText& out);

// The result control's text for a check that ended in `state`. damaged
// (optional) holds the entries with a damaged FilterData that the check found
// before it started: they are named after the result's own lines. elevated:
// the child ran with administrator rights, which a last line says.
void FormatCheckResult(const CheckReport& report, ChildState state, const DamagedMapperEntries* damaged, wchar_t* text,
                       std::size_t capacity, bool elevated = false);
