#include "merit.h"

#include <climits>
#include <cwchar>
#include <cwctype>

namespace {

// Whether the number that starts text and takes its first `length` characters
// has no more significant digits than a 32-bit number can have. Longer numbers
// are refused before a 64-bit reading of them could wrap round into range.
bool DigitCountFits(const wchar_t* text, int length) {
    int i = 0;
    while (i < length && std::iswspace(text[i])) ++i;
    if (i < length && (text[i] == L'+' || text[i] == L'-')) ++i;
    int maxDigits = 10;  // 4294967295
    if (i + 1 < length && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
        i += 2;
        maxDigits = 8;  // FFFFFFFF
    } else if (i < length && text[i] == L'0') {
        maxDigits = 11;  // 37777777777
    }
    while (i < length && text[i] == L'0') ++i;
    return length - i <= maxDigits;
}

}  // namespace

bool ParseMeritText(const wchar_t* text, std::uint32_t* merit) {
    // The platform's own "%i" decides whether a number is there and where it
    // ends: the toolchain's scanf family would take a bare "0x" as 0. It is
    // read 64 bits wide so that a number outside 32 bits can be told.
    long long value = 0;
    int consumed = 0;
    if (__ms_swscanf(text, L"%I64i%n", &value, &consumed) != 1) return false;
    if (!DigitCountFits(text, consumed)) return false;
    if (value < INT_MIN || value > static_cast<long long>(UINT_MAX)) return false;
    *merit = static_cast<std::uint32_t>(value);
    return true;
}
