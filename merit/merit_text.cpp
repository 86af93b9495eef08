#include "merit.h"

#include <climits>
#include <cwchar>

bool ParseMeritText(const wchar_t* text, std::uint32_t* merit) {
    // "%i" rules, read wide enough to tell a number that does not fit in 32 bits.
    long long value = 0;
    if (swscanf(text, L"%lli", &value) != 1) return false;
    if (value < INT_MIN || value > static_cast<long long>(UINT_MAX)) return false;
    *merit = static_cast<std::uint32_t>(value);
    return true;
}
