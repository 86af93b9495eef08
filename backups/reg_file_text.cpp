#include "reg_file_text.h"

#include "../base/bounded_text.h"

namespace {

constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
// Hexadecimal data is wrapped as the registry editor wraps it: a line is
// continued ("\" at its end, two blanks at the start of the next) once it
// passes this column.
constexpr std::size_t kWrapColumn = 76;

bool IsLineBreakOrNul(wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\0'; }

bool CanWriteName(const wchar_t* name, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (IsLineBreakOrNul(name[i])) return false;
    }
    return true;
}

// Appends chars inside double quotes, with every quote and backslash escaped.
void AppendQuoted(GrowingText& text, const wchar_t* chars, std::size_t length) {
    AppendChar(text, L'"');
    std::size_t start = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (chars[i] == L'"' || chars[i] == L'\\') {
            AppendChars(text, chars + start, i - start);
            AppendChar(text, L'\\');
            start = i;
        }
    }
    AppendChars(text, chars + start, length - start);
    AppendChar(text, L'"');
}

// A REG_SZ is written as a quoted string only when the import gives back the
// very same bytes: whole characters, ending with exactly one terminator, and
// nothing that the file could not hold on one line or might not read back as
// written (control characters, lone surrogate halves, non-characters).
// Everything else goes out as hex(1).
bool IsPlainString(const BYTE* data, DWORD size) {
    if (size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0) return false;
    const std::size_t count = size / sizeof(wchar_t);
    for (std::size_t i = 0; i < count; ++i) {
        const wchar_t c = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (i + 1 == count) return c == L'\0';
        if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF) return false;
    }
    return false;
}

// "hex:" or "hex(N):" followed by the bytes, two digits each, comma separated.
void AppendHexData(GrowingText& text, DWORD type, const BYTE* data, DWORD size, std::size_t column) {
    wchar_t prefix[32];
    if (type == REG_BINARY) {
        CopyText(prefix, 32, L"hex:");
    } else {
        FormatText(prefix, 32, L"hex(%lx):", static_cast<unsigned long>(type));
    }
    AppendString(text, prefix);
    column += lstrlenW(prefix);
    for (DWORD i = 0; i < size; ++i) {
        const wchar_t digits[3] = {kHexDigits[data[i] >> 4], kHexDigits[data[i] & 0xF], L','};
        const bool last = i + 1 == size;
        AppendChars(text, digits, last ? 2 : 3);
        column += last ? 2 : 3;
        if (!last && column > kWrapColumn) {
            AppendChars(text, L"\\\r\n  ", 5);
            column = 2;
        }
    }
}

}  // namespace

void AppendRegFileHeader(GrowingText& text) {
    AppendChar(text, static_cast<wchar_t>(0xFEFF));
    AppendString(text, L"Windows Registry Editor Version 5.00\r\n");
}

bool AppendRegKeyLine(GrowingText& text, const wchar_t* name, std::size_t length) {
    if (!CanWriteName(name, length)) return false;
    AppendString(text, L"\r\n[");
    AppendChars(text, name, length);
    AppendString(text, L"]\r\n");
    return true;
}

namespace {

// The value's name and "=": "@=" for the default value.
void AppendValueNameAndEquals(GrowingText& text, const wchar_t* name, std::size_t nameLength) {
    if (nameLength == 0) {
        AppendChar(text, L'@');
    } else {
        AppendQuoted(text, name, nameLength);
    }
    AppendChar(text, L'=');
}

}  // namespace

bool AppendRegValueRemoval(GrowingText& text, const wchar_t* name, std::size_t nameLength) {
    if (!CanWriteName(name, nameLength)) return false;
    AppendValueNameAndEquals(text, name, nameLength);
    AppendString(text, L"-\r\n");
    return true;
}

bool AppendRegValueLine(GrowingText& text, const wchar_t* name, std::size_t nameLength, DWORD type,
                        const BYTE* data, DWORD size) {
    if (!CanWriteName(name, nameLength)) return false;
    const std::size_t lineStart = text.length;
    AppendValueNameAndEquals(text, name, nameLength);
    if (type == REG_SZ && IsPlainString(data, size)) {
        // The characters before the terminator; they are whole UTF-16 units.
        HeapBuffer characters;
        const std::size_t count = size / sizeof(wchar_t) - 1;
        if (!characters.Reserve((count + 1) * sizeof(wchar_t))) {
            text.failed = true;
            return true;
        }
        auto* chars = reinterpret_cast<wchar_t*>(characters.Get());
        for (std::size_t i = 0; i < count; ++i) chars[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
        AppendQuoted(text, chars, count);
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        wchar_t number[32];
        const unsigned long value = static_cast<unsigned long>(data[0]) | (static_cast<unsigned long>(data[1]) << 8) |
                                    (static_cast<unsigned long>(data[2]) << 16) |
                                    (static_cast<unsigned long>(data[3]) << 24);
        FormatText(number, 32, L"dword:%08lx", value);
        AppendString(text, number);
    } else {
        AppendHexData(text, type, data, size, text.length - lineStart);
    }
    AppendString(text, L"\r\n");
    return true;
}

bool AppendRegCommentLine(GrowingText& text, const wchar_t* comment, std::size_t length) {
    if (!CanWriteName(comment, length)) return false;
    AppendString(text, L"\r\n; ");
    AppendChars(text, comment, length);
    AppendString(text, L"\r\n");
    return true;
}
