// Where the scan stands in the sorted filter list, so that it can go on at the
// right row after the list was refilled under it: rows vanish when the
// management dialog deletes or unregisters a codec (and with it the rows that
// earlier removals took from the registry), and rows come and go with the main
// window's refresh and check box.
#pragma once
#include "../base/app_state.h"

#include <cstdint>

struct ScanPlace {
    bool anyChecked = false;          // a row of this list has been checked
    wchar_t lastText[kNameCapacity];  // the text of the row checked last
    // Rows the list holds as equal to lastText (twins): how many of them the
    // scan has checked, and how many the list held when it checked the last.
    std::uint32_t sameChecked = 0;
    std::uint32_t sameListed = 0;
};

// Notes that row `row` of the list, with this text, has been checked.
void NoteCheckedRow(ScanPlace& place, HWND list, std::uint32_t row, const wchar_t* text);

// After the list was refilled: the row to go on with, the first that sorts
// after the row checked last (row 0 when none was). Of the rows equal to it,
// as many as the scan has checked are passed over, less those that the refill
// took away: a row vanishes because its codec's entries went, and the codecs
// the scan has just dealt with are the ones whose entries the user removed.
std::uint32_t RowAfterPlace(ScanPlace& place, HWND list);
