#include "growing_text.h"

#include <cstring>
#include <cwchar>

void AppendChars(GrowingText& text, const wchar_t* chars, std::size_t count) {
    if (text.failed) return;
    const std::size_t needed = text.length + count + 1;
    if (needed * sizeof(wchar_t) > text.buffer.Size()) {
        // Doubling keeps a text built from many small pieces linear in time.
        std::size_t room = text.buffer.Size() / sizeof(wchar_t);
        if (room < 256) room = 256;
        while (room < needed) {
            if (room > static_cast<std::size_t>(-1) / (4 * sizeof(wchar_t))) {
                text.failed = true;
                return;
            }
            room *= 2;
        }
        if (!text.buffer.Reserve(room * sizeof(wchar_t))) {
            text.failed = true;
            return;
        }
    }
    auto* data = reinterpret_cast<wchar_t*>(text.buffer.Get());
    if (count != 0) std::memcpy(data + text.length, chars, count * sizeof(wchar_t));
    text.length += count;
    data[text.length] = L'\0';
}

void AppendString(GrowingText& text, const wchar_t* chars) { AppendChars(text, chars, std::wcslen(chars)); }

void AppendChar(GrowingText& text, wchar_t c) { AppendChars(text, &c, 1); }

const wchar_t* TextChars(const GrowingText& text) {
    if (!text.buffer.Get()) return L"";
    return reinterpret_cast<const wchar_t*>(text.buffer.Get());
}

void TruncateText(GrowingText& text, std::size_t length) {
    if (length >= text.length) return;
    text.length = length;
    reinterpret_cast<wchar_t*>(text.buffer.Get())[length] = L'\0';
}
