// A filter's merit: reading it through the filter mapper, naming it, and
// rewriting it in the filter's registration record.
#pragma once
#include "../base/win_headers.h"

#include <cstdint>

// The merit of the first filter the mapper enumerates whose friendly name
// equals friendlyName exactly; 0 when there is none or anything fails.
std::uint32_t ReadMeritOfFilter(const wchar_t* friendlyName);
// The same for selectedName, when every FilterData the mapper reads is sound
// (MapperEntriesSound) and the codec was chosen by its name. Otherwise the
// mapper is not asked: the merit is the merit word of the FilterData of the
// entry the management works on (FindSelectedEntry), where that value is
// sound, else 0.
std::uint32_t ReadFilterMerit();

// Reads the filter's FilterData from its property bag and parses it with the
// mapper held in filterMapper; writes the merit only when parsing yields a record.
HRESULT ParseMeritFromFilterData(IPropertyBag* bag, std::uint32_t* merit);

// Writes the display text of a merit into destination (500 characters).
void FormatMeritValue(std::uint32_t merit, wchar_t* destination);
// The same for currentMerit.
void FormatMerit(wchar_t* destination);

// Rewrites bytes 4 to 7 of the FilterData of the entry the management of the
// selected codec works on (FindSelectedEntry: the first entry of selectedName
// in the selected category, or the one naming selectedClsid), with
// currentMerit, after a backup of the value. No other entry is ever written:
// when that one has no sound FilterData, nothing is written (no backup
// either) and the message says the merit was not changed. Reports failures by
// message boxes; the question that offers a restart after a refusal for lack
// of rights is owned by `owner`.
void WriteFilterMerit(HWND owner = nullptr);

// Converts the merit dialog's number text as the platform's "%i" does (decimal, 0x hexadecimal,
// leading-0 octal, optional sign, stopping at the first foreign character).
// Returns false when no number can be read or it does not fit in 32 bits;
// negative numbers give their two's complement.
bool ParseMeritText(const wchar_t* text, std::uint32_t* merit);

INT_PTR CALLBACK MeritDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
