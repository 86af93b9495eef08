#include "restore_value_line.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr std::size_t kMostNameShown = 64;
constexpr std::size_t kMostDataShown = 100;
const wchar_t kCut[] = L"...";

// The first `length` characters of text, at most `most` of them (never
// between the two halves of a surrogate pair), "..." after a cut.
void AppendCut(GrowingText& line, const wchar_t* text, std::size_t length, std::size_t most) {
    if (length <= most) {
        AppendChars(line, text, length);
        return;
    }
    std::size_t kept = most;
    if (IS_HIGH_SURROGATE(text[kept - 1])) --kept;
    AppendChars(line, text, kept);
    AppendString(line, kCut);
}

wchar_t CharAt(const BYTE* data, std::size_t index) {
    return static_cast<wchar_t>(data[2 * index] | (data[2 * index + 1] << 8));
}

// Whether string data is one plain terminated string: whole characters, the
// last one a zero and no other. Any other string data is shown as its bytes,
// so that nothing after a zero goes unseen.
bool IsPlainString(const BYTE* data, DWORD size) {
    if (size < 2 || size % 2 != 0) return false;
    const std::size_t count = size / 2;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (CharAt(data, i) == L'\0') return false;
    }
    return CharAt(data, count - 1) == L'\0';
}

void AppendTypeName(GrowingText& line, DWORD type) {
    switch (type) {
    case REG_SZ: AppendString(line, L"REG_SZ"); return;
    case REG_EXPAND_SZ: AppendString(line, L"REG_EXPAND_SZ"); return;
    case REG_MULTI_SZ: AppendString(line, L"REG_MULTI_SZ"); return;
    case REG_DWORD: AppendString(line, L"REG_DWORD"); return;
    case REG_QWORD: AppendString(line, L"REG_QWORD"); return;
    case REG_BINARY: AppendString(line, L"REG_BINARY"); return;
    case REG_NONE: AppendString(line, L"REG_NONE"); return;
    default: break;
    }
    wchar_t other[kShortTextCapacity];
    FormatText(other, kShortTextCapacity, L"тип 0x%08lX", static_cast<unsigned long>(type));
    AppendString(line, other);
}

// The bytes as hexadecimal pairs, as many as fit in kMostDataShown characters.
void AppendHexBytes(GrowingText& line, const BYTE* data, DWORD size) {
    const std::size_t most = (kMostDataShown + 1) / 3;
    for (std::size_t i = 0; i < size && i < most; ++i) {
        wchar_t pair[4];
        FormatText(pair, 4, i == 0 ? L"%02X" : L" %02X", data[i]);
        AppendString(line, pair);
    }
    if (size > most) AppendString(line, kCut);
}

void AppendData(GrowingText& line, DWORD type, const BYTE* data, DWORD size) {
    if (size == 0 || ((type == REG_SZ || type == REG_EXPAND_SZ) && size == 2 && CharAt(data, 0) == L'\0')) {
        AppendString(line, L"(пусто)");
        return;
    }
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && IsPlainString(data, size)) {
        // One character more than is shown, to know whether it is cut.
        const std::size_t length = size / 2 - 1;
        const std::size_t taken = length > kMostDataShown ? kMostDataShown + 1 : length;
        wchar_t shown[kMostDataShown + 1];
        for (std::size_t i = 0; i < taken; ++i) shown[i] = CharAt(data, i);
        AppendCut(line, shown, taken, kMostDataShown);
        return;
    }
    wchar_t number[kShortTextCapacity];
    if (type == REG_DWORD && size == 4) {
        DWORD value = 0;
        std::memcpy(&value, data, 4);
        FormatText(number, kShortTextCapacity, L"0x%08lX", static_cast<unsigned long>(value));
        AppendString(line, number);
        return;
    }
    if (type == REG_QWORD && size == 8) {
        ULONGLONG value = 0;
        std::memcpy(&value, data, 8);
        FormatText(number, kShortTextCapacity, L"0x%016llX", value);
        AppendString(line, number);
        return;
    }
    AppendHexBytes(line, data, size);
}

}  // namespace

void AppendValueForQuestion(GrowingText& line, const RegFileContents& contents, const RegFileEntry& value) {
    const wchar_t* name = RegFileEntryName(contents, value);
    AppendString(line, L"    «");
    if (name[0] == L'\0') {
        AppendString(line, L"(по умолчанию)");
    } else {
        AppendCut(line, name, std::wcslen(name), kMostNameShown);
    }
    AppendString(line, L"»");
    if (value.kind == RegFileRemoveValue) {
        AppendString(line, L": удаляется");
        return;
    }
    AppendString(line, L" (");
    AppendTypeName(line, value.type);
    AppendString(line, L"): ");
    AppendData(line, value.type, RegFileEntryData(contents, value), value.size);
}
