#include "scan_place.h"

#include "../base/bounded_text.h"
#include "../base/list_box.h"

namespace {

// Whether row `row` exists and the list holds it as equal to text.
bool RowEquals(HWND list, std::uint32_t row, const wchar_t* text) {
    wchar_t rowText[kNameCapacity];
    return GetListRowText(list, static_cast<int>(row), rowText, kNameCapacity) &&
           CompareAsListSorts(list, rowText, text) == 0;
}

}  // namespace

void NoteCheckedRow(ScanPlace& place, HWND list, std::uint32_t row, const wchar_t* text) {
    if (place.anyChecked && CompareAsListSorts(list, text, place.lastText) == 0) {
        ++place.sameChecked;
        return;
    }
    // The first of its twins: they follow it, since the list is sorted.
    CopyText(place.lastText, kNameCapacity, text);
    place.anyChecked = true;
    place.sameChecked = 1;
    place.sameListed = 1;
    while (RowEquals(list, row + place.sameListed, text)) ++place.sameListed;
}

std::uint32_t RowAfterPlace(ScanPlace& place, HWND list) {
    if (!place.anyChecked) return 0;
    const auto count = static_cast<std::uint32_t>(ListRowCount(list));
    std::uint32_t first = 0;
    for (; first < count; ++first) {
        wchar_t rowText[kNameCapacity];
        if (!GetListRowText(list, static_cast<int>(first), rowText, kNameCapacity)) continue;
        if (CompareAsListSorts(list, rowText, place.lastText) >= 0) break;
    }
    std::uint32_t sameNow = 0;
    while (first + sameNow < count && RowEquals(list, first + sameNow, place.lastText)) ++sameNow;
    const std::uint32_t vanished = place.sameListed > sameNow ? place.sameListed - sameNow : 0;
    std::uint32_t passed = place.sameChecked > vanished ? place.sameChecked - vanished : 0;
    if (passed > sameNow) passed = sameNow;
    place.sameChecked = passed;
    place.sameListed = sameNow;
    return first + passed;
}
