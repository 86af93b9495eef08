#include "reg_file_reader.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr wchar_t kHeader[] = L"Windows Registry Editor Version 5.00";

// The text of the file as lines: the cursor is at the start of the next line.
struct LineReader {
    const wchar_t* text;
    std::size_t length;
    std::size_t at = 0;
    std::size_t number = 0;  // of the line last taken
};

// Takes the next line, which must end with CR LF and hold no other CR, LF
// or NUL. False at the end of the text (*cut false) or at a line that is not
// whole or holds such a character (*cut true, number counts it).
bool TakeLine(LineReader& reader, const wchar_t** line, std::size_t* length, bool* cut) {
    *cut = false;
    if (reader.at >= reader.length) return false;
    ++reader.number;
    const std::size_t start = reader.at;
    for (std::size_t i = start; i < reader.length; ++i) {
        const wchar_t c = reader.text[i];
        if (c == L'\r' && i + 1 < reader.length && reader.text[i + 1] == L'\n') {
            *line = reader.text + start;
            *length = i - start;
            reader.at = i + 2;
            return true;
        }
        if (c == L'\r' || c == L'\n' || c == L'\0') break;
    }
    *cut = true;
    return false;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool StartsWith(const wchar_t* text, std::size_t length, const wchar_t* prefix) {
    const std::size_t prefixLength = std::wcslen(prefix);
    return length >= prefixLength && std::wmemcmp(text, prefix, prefixLength) == 0;
}

bool AddEntry(RegFileContents& contents, const RegFileEntry& entry) {
    const std::size_t needed = (contents.count + 1) * sizeof(RegFileEntry);
    if (needed > contents.entries.Size() && !contents.entries.Reserve(needed < 4096 ? 4096 : 2 * needed)) return false;
    std::memcpy(contents.entries.Get() + contents.count * sizeof(RegFileEntry), &entry, sizeof(entry));
    ++contents.count;
    return true;
}

bool AddByte(RegFileContents& contents, BYTE value) {
    const std::size_t needed = contents.dataLength + 1;
    if (needed > contents.data.Size() && !contents.data.Reserve(needed < 4096 ? 4096 : 2 * needed)) return false;
    contents.data.Get()[contents.dataLength++] = value;
    return true;
}

// Keeps a name and its terminator; gives where it starts.
std::size_t AddName(RegFileContents& contents, const wchar_t* chars, std::size_t count) {
    const std::size_t start = contents.names.length;
    AppendChars(contents.names, chars, count);
    AppendChar(contents.names, L'\0');
    return start;
}

// A quoted text at text[*at] with "\"" and "\\" escaped, as the writer
// escapes them; any other backslash is not of its form. Unquoted into
// contents.names (terminated) or, with asData, as UTF-16LE bytes with a
// terminator into contents.data. *at moves past the closing quote.
bool TakeQuoted(const wchar_t* text, std::size_t length, std::size_t* at, RegFileContents& contents, bool asData) {
    if (*at >= length || text[*at] != L'"') return false;
    for (std::size_t i = *at + 1; i < length; ++i) {
        wchar_t c = text[i];
        if (c == L'"') {
            *at = i + 1;
            if (!asData) AppendChar(contents.names, L'\0');
            return asData ? AddByte(contents, 0) && AddByte(contents, 0) : !contents.names.failed;
        }
        if (c == L'\\') {
            if (i + 1 >= length || (text[i + 1] != L'"' && text[i + 1] != L'\\')) return false;
            c = text[++i];
        }
        if (asData) {
            if (!AddByte(contents, static_cast<BYTE>(c & 0xFF)) || !AddByte(contents, static_cast<BYTE>(c >> 8))) {
                return false;
            }
        } else {
            AppendChar(contents.names, c);
        }
    }
    return false;
}

// What went wrong in a value: a line not of the form, a value too large, or
// one no backup of the program holds (a registry link's target).
enum ValueReading { ValueRead, ValueNotOfForm, ValueTooLarge, ValueNoMemory, ValueRefused };

// A registry link is a key whose "SymbolicLinkValue" of type REG_LINK names
// its target: a value of that name, or of that type, would make a key look
// like a link (or be one), and no backup of the program holds either.
bool IsLinkValueName(const wchar_t* name) {
    return CompareStringOrdinal(name, -1, L"SymbolicLinkValue", -1, TRUE) == CSTR_EQUAL;
}

// The bytes of "hex:"/"hex(N):" data from text[at] on: two digits each,
// comma separated, a line continued after a comma with "\" and taken up
// again on the next line after its leading blanks.
ValueReading TakeHexBytes(LineReader& reader, const wchar_t* text, std::size_t length, std::size_t at,
                          RegFileContents& contents, DWORD* size) {
    if (at == length) return ValueRead;  // no data at all
    for (;;) {
        if (at + 2 > length) return ValueNotOfForm;
        const int high = HexDigit(text[at]);
        const int low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0) return ValueNotOfForm;
        if (*size == kLargestRestoredValue) return ValueTooLarge;
        if (!AddByte(contents, static_cast<BYTE>(high * 16 + low))) return ValueNoMemory;
        ++*size;
        at += 2;
        if (at == length) return ValueRead;
        if (text[at] != L',') return ValueNotOfForm;
        ++at;
        if (at == length) return ValueNotOfForm;  // a comma ends no value
        if (text[at] == L'\\' && at + 1 == length) {
            bool cut = false;
            // A file that ends here was cut: its last line is the one named.
            if (!TakeLine(reader, &text, &length, &cut)) return ValueNotOfForm;
            at = 0;
            while (at < length && text[at] == L' ') ++at;
            if (at == 0) return ValueNotOfForm;
        }
    }
}

// The data after "=" of a value line starting on line `first`; adds the entry.
ValueReading TakeValueData(LineReader& reader, const wchar_t* text, std::size_t length, std::size_t at,
                           std::size_t first, std::size_t name, RegFileContents& contents) {
    RegFileEntry entry = {RegFileSetValue, first, name, REG_SZ, contents.dataLength, 0};
    const wchar_t* data = text + at;
    const std::size_t dataLength = length - at;
    if (dataLength == 1 && data[0] == L'-') {
        entry.kind = RegFileRemoveValue;
    } else if (dataLength >= 1 && data[0] == L'"') {
        std::size_t end = at;
        if (!TakeQuoted(text, length, &end, contents, true)) return contents.failed ? ValueNoMemory : ValueNotOfForm;
        if (end != length) return ValueNotOfForm;
        const std::size_t bytes = contents.dataLength - entry.data;
        if (bytes > kLargestRestoredValue) return ValueTooLarge;
        entry.size = static_cast<DWORD>(bytes);
    } else if (StartsWith(data, dataLength, L"dword:")) {
        if (dataLength != 6 + 8) return ValueNotOfForm;
        DWORD value = 0;
        for (std::size_t i = 6; i < dataLength; ++i) {
            const int digit = HexDigit(data[i]);
            if (digit < 0) return ValueNotOfForm;
            value = value * 16 + static_cast<DWORD>(digit);
        }
        entry.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) {
            if (!AddByte(contents, static_cast<BYTE>(value >> (8 * i)))) return ValueNoMemory;
        }
        entry.size = 4;
    } else if (StartsWith(data, dataLength, L"hex:")) {
        entry.type = REG_BINARY;
        const ValueReading read = TakeHexBytes(reader, text, length, at + 4, contents, &entry.size);
        if (read != ValueRead) return read;
    } else if (StartsWith(data, dataLength, L"hex(")) {
        std::size_t i = 4;
        DWORD type = 0;
        for (; i < dataLength && i < 4 + 8 && HexDigit(data[i]) >= 0; ++i) type = type * 16 + HexDigit(data[i]);
        if (i == 4 || i + 2 > dataLength || data[i] != L')' || data[i + 1] != L':') return ValueNotOfForm;
        if (type == REG_LINK) return ValueRefused;
        entry.type = type;
        const ValueReading read = TakeHexBytes(reader, text, length, at + i + 2, contents, &entry.size);
        if (read != ValueRead) return read;
    } else {
        return ValueNotOfForm;
    }
    return AddEntry(contents, entry) ? ValueRead : ValueNoMemory;
}

std::size_t ParseLines(LineReader& reader, RegFileContents& contents) {
    const wchar_t* line = nullptr;
    std::size_t length = 0;
    bool cut = false;
    if (!TakeLine(reader, &line, &length, &cut) || length != std::wcslen(kHeader) ||
        std::wmemcmp(line, kHeader, length) != 0) {
        return 1;
    }
    bool inKey = false;
    while (TakeLine(reader, &line, &length, &cut)) {
        const std::size_t number = reader.number;
        if (length == 0) continue;
        // A comment, as a preferred decoder's backup records the key's owner
        // and permissions: the import passes it over, and so does a restore.
        if (line[0] == L';') continue;
        if (line[0] == L'[') {
            // "[name]" whole; "[-name]", which deletes a key, is no backup's.
            if (length < 3 || line[length - 1] != L']' || line[1] == L'-') return number;
            const RegFileEntry entry = {RegFileKey, number, AddName(contents, line + 1, length - 2), REG_NONE, 0, 0};
            if (contents.names.failed || !AddEntry(contents, entry)) {
                contents.failed = true;
                return number;
            }
            inKey = true;
            continue;
        }
        if (!inKey) return number;
        std::size_t at = 0;
        std::size_t name = 0;
        if (line[0] == L'@') {
            name = AddName(contents, L"", 0);
            at = 1;
        } else {
            name = contents.names.length;
            if (!TakeQuoted(line, length, &at, contents, false)) return number;
        }
        if (at >= length || line[at] != L'=') return number;
        if (IsLinkValueName(TextChars(contents.names) + name)) return number;
        const ValueReading read = TakeValueData(reader, line, length, at + 1, number, name, contents);
        if (read == ValueNoMemory) contents.failed = true;
        if (read == ValueTooLarge || read == ValueNoMemory || read == ValueRefused) return number;
        if (read == ValueNotOfForm) return reader.number;
    }
    return cut ? reader.number : 0;
}

}  // namespace

const RegFileEntry& RegFileEntryAt(const RegFileContents& contents, std::size_t index) {
    return reinterpret_cast<const RegFileEntry*>(contents.entries.Get())[index];
}

const wchar_t* RegFileEntryName(const RegFileContents& contents, const RegFileEntry& entry) {
    return TextChars(contents.names) + entry.name;
}

const BYTE* RegFileEntryData(const RegFileContents& contents, const RegFileEntry& entry) {
    return contents.data.Get() ? contents.data.Get() + entry.data : nullptr;
}

const RegFileEntry* RegFileValueOf(const RegFileContents& contents, std::size_t keyEntry, const wchar_t* name) {
    for (std::size_t i = keyEntry + 1; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        if (entry.kind == RegFileKey) break;
        if (entry.kind == RegFileSetValue &&
            CompareStringOrdinal(RegFileEntryName(contents, entry), -1, name, -1, TRUE) == CSTR_EQUAL) {
            return &entry;
        }
    }
    return nullptr;
}

bool RegFileValueText(const RegFileContents& contents, const RegFileEntry& entry, wchar_t* text, std::size_t capacity) {
    text[0] = L'\0';
    if (capacity == 0 || (entry.type != REG_SZ && entry.type != REG_EXPAND_SZ)) return false;
    const BYTE* data = RegFileEntryData(contents, entry);
    std::size_t length = 0;
    for (DWORD at = 0; at + 1 < entry.size && length + 1 < capacity; at += 2) {
        const wchar_t c = static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
        if (c == L'\0') break;
        text[length++] = c;
    }
    text[length] = L'\0';
    return true;
}

std::size_t ParseRegFile(const BYTE* bytes, std::size_t size, RegFileContents& contents) {
    if (size > kLargestBackupFile || size < 2 || size % 2 != 0 || bytes[0] != 0xFF || bytes[1] != 0xFE) return 1;
    // The text, little-endian whatever the machine, in a block of its own so
    // that it is aligned for its characters.
    const std::size_t length = size / 2 - 1;
    HeapBuffer text;
    if (!text.Reserve((length + 1) * sizeof(wchar_t))) {
        contents.failed = true;
        return 1;
    }
    auto* chars = reinterpret_cast<wchar_t*>(text.Get());
    for (std::size_t i = 0; i < length; ++i) chars[i] = static_cast<wchar_t>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
    chars[length] = L'\0';
    LineReader reader = {chars, length};
    return ParseLines(reader, contents);
}

bool ReadRegFile(const wchar_t* path, RegFileBytes& bytes, RegFileContents& contents, std::size_t* badLine,
                 DWORD* error) {
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) {
        *error = GetLastError();
        return false;
    }
    if (static_cast<ULONGLONG>(size.QuadPart) > kLargestBackupFile) {
        *badLine = 1;  // never read: the size alone refuses it
        return true;
    }
    const DWORD count = static_cast<DWORD>(size.QuadPart);
    DWORD read = 0;
    if (!bytes.data.Reserve(count + 1) || !ReadFile(file.Get(), bytes.data.Get(), count, &read, nullptr) ||
        read != count) {
        *error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_READ_FAULT;
        return false;
    }
    bytes.size = count;
    *badLine = ParseRegFile(bytes.data.Get(), count, contents);
    return true;
}
