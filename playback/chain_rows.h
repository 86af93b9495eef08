// What the playback check dialog shows for a report: one row per filter of
// the graph (its registered name, merit, input format, server file and why
// Windows would or would not pick it), and the result text.
#pragma once
#include "check_process.h"

struct ChainRowText {
    bool isFilter = false;                  // false: an output pin nothing accepted
    wchar_t name[kNameCapacity] = {};       // the registered friendly name, else the graph's name
    wchar_t merit[kNameCapacity] = {};
    wchar_t format[kShortTextCapacity] = {};
    wchar_t file[kNameCapacity] = {};
    wchar_t note[kNameCapacity] = {};
    bool hasSubtype = false;                 // the input connection's subtype is known
    GUID subtype = GUID_NULL;
    wchar_t classId[kChainTextCapacity] = {};  // a filter's class id as the child reported it
};

// Fills out for the report's row `index`; filePath is the checked file (its
// extension decides the source filter's note).
void DescribeChainRow(const CheckReport& report, std::size_t index, const wchar_t* filePath, ChainRowText& out);

// The result control's text for a check that ended in `state`.
void FormatCheckResult(const CheckReport& report, CheckState state, wchar_t* text, std::size_t capacity);
