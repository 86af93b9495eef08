#include "bounded_text.h"

#include <cstdio>
#include <cwchar>

namespace {

bool IsValidCapacity(std::size_t capacity) {
    return capacity != 0 && capacity <= kTextMaxCapacity;
}

}  // namespace

TextStatus CopyText(wchar_t* dest, std::size_t capacity, const wchar_t* source) {
    if (!IsValidCapacity(capacity)) return kTextInvalidParameter;
    std::size_t stored = 0;
    while (stored < capacity) {
        const wchar_t c = source[stored];
        dest[stored] = c;
        if (c == L'\0') return kTextOk;
        ++stored;
    }
    dest[capacity - 1] = L'\0';
    return kTextInsufficientBuffer;
}

TextStatus AppendText(wchar_t* dest, std::size_t capacity, const wchar_t* source) {
    if (!IsValidCapacity(capacity)) return kTextInvalidParameter;
    std::size_t length = 0;
    while (length < capacity && dest[length] != L'\0') ++length;
    if (length == capacity) return kTextInvalidParameter;
    return CopyText(dest + length, capacity - length, source);
}

TextStatus FormatTextV(wchar_t* dest, std::size_t capacity, const wchar_t* format, va_list args) {
    if (!IsValidCapacity(capacity)) return kTextInvalidParameter;
    const std::size_t room = capacity - 1;
    // The formatter reports a negative count (msvcrt) or the full length
    // (C99 formatters) when the output is longer than the room it was given.
    const int written = _vsnwprintf(dest, room, format, args);
    if (written < 0 || static_cast<std::size_t>(written) > room) {
        dest[room] = L'\0';
        return kTextInsufficientBuffer;
    }
    dest[written] = L'\0';
    return kTextOk;
}

TextStatus FormatText(wchar_t* dest, std::size_t capacity, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const TextStatus status = FormatTextV(dest, capacity, format, args);
    va_end(args);
    return status;
}

bool JoinText(wchar_t* dest, std::size_t capacity, const wchar_t* first, const wchar_t* separator,
              const wchar_t* last) {
    return CopyText(dest, capacity, first) == kTextOk && AppendText(dest, capacity, separator) == kTextOk &&
           AppendText(dest, capacity, last) == kTextOk;
}
