#include "line_safety.h"

bool IsUnsafeInLine(wchar_t c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return true;  // C0, DEL and C1 controls
    if (c == 0x2028 || c == 0x2029) return true;              // line and paragraph separators
    // Bidi_Control: the Arabic letter mark, the left-to-right and right-to-left
    // marks, the embeddings and overrides, and the isolates.
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void ReplaceUnsafeInLine(wchar_t* text, wchar_t replacement) {
    for (wchar_t* c = text; *c != L'\0'; ++c) {
        if (IsUnsafeInLine(*c)) *c = replacement;
    }
}

void AppendSafeInLine(GrowingText& text, const wchar_t* field, wchar_t replacement) {
    for (const wchar_t* c = field; *c != L'\0'; ++c) AppendChar(text, IsUnsafeInLine(*c) ? replacement : *c);
}

void AppendSafeInLineCut(GrowingText& text, const wchar_t* field, std::size_t most, wchar_t replacement) {
    std::size_t count = 0;
    const wchar_t* c = field;
    for (; *c != L'\0' && count < most; ++c, ++count) {
        if (count + 1 == most && *c >= 0xD800 && *c <= 0xDBFF) break;  // a pair is not split
        AppendChar(text, IsUnsafeInLine(*c) ? replacement : *c);
    }
    if (*c != L'\0') AppendChar(text, L'\u2026');
}
