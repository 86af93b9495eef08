#include "text_sort_keys.h"

#include <cstring>

bool TextSortKeys::Add(const wchar_t* text) {
    const LCID locale = GetThreadLocale();
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int bytes = LCMapStringW(locale, flags, text, -1, nullptr, 0);
    if (bytes <= 0) return false;
    if (used_ + static_cast<SIZE_T>(bytes) > bytes_.Size() &&
        !bytes_.Reserve((used_ + static_cast<SIZE_T>(bytes)) * 2 + 256)) {
        return false;
    }
    // A sort key ends with its only zero byte.
    BYTE* key = bytes_.Get() + used_;
    if (LCMapStringW(locale, flags, text, -1, reinterpret_cast<wchar_t*>(key), bytes) != bytes || key[bytes - 1] != 0 ||
        !starts_.Append(used_)) {
        return false;
    }
    used_ += static_cast<SIZE_T>(bytes);
    return true;
}

int TextSortKeys::Compare(std::size_t a, std::size_t b) const {
    // strcmp compares bytes as unsigned, as sort keys are compared.
    return std::strcmp(reinterpret_cast<const char*>(bytes_.Get() + starts_[a]),
                       reinterpret_cast<const char*>(bytes_.Get() + starts_[b]));
}
