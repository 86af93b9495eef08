// Reading a registry editor file of the kind the program's backups are
// (reg_file_text.h writes them): UTF-16LE with a byte order mark, the
// "Windows Registry Editor Version 5.00" header, CRLF lines, key lines and
// value lines in exactly the forms the writer produces, and its comment lines
// ("; ..."), which are passed over. Nothing else is accepted: a line of any
// other form stops the reading at its number, and so does a value named
// "SymbolicLinkValue" or of type REG_LINK (hex(6)), which only a registry
// link holds.
#pragma once
#include "../base/growing_text.h"
#include "../base/scoped.h"

#include <cstddef>

// The largest value data and the largest whole file a restore reads.
constexpr DWORD kLargestRestoredValue = 1u << 20;
constexpr ULONGLONG kLargestBackupFile = 16ull << 20;

enum RegFileEntryKind {
    RegFileKey,          // "[name]": the values that follow belong to this key
    RegFileSetValue,     // a value with its type and bytes
    RegFileRemoveValue,  // "name"=-: the value is removed
};

struct RegFileEntry {
    RegFileEntryKind kind;
    std::size_t line;  // the line it starts on, counted from 1
    std::size_t name;  // where its terminated name starts in RegFileContents::names ("" for the default value)
    DWORD type;
    std::size_t data;  // where its bytes start in RegFileContents::data
    DWORD size;
};

// What a file holds, in the file's order.
struct RegFileContents {
    HeapBuffer entries;
    std::size_t count = 0;
    GrowingText names;
    HeapBuffer data;
    std::size_t dataLength = 0;
    bool failed = false;  // memory ran out: the contents are not whole
};

const RegFileEntry& RegFileEntryAt(const RegFileContents& contents, std::size_t index);
const wchar_t* RegFileEntryName(const RegFileContents& contents, const RegFileEntry& entry);
const BYTE* RegFileEntryData(const RegFileContents& contents, const RegFileEntry& entry);

// The value entry named name (letter case aside) among the values of the key
// whose line is the entry keyEntry; null where the file does not set it there.
const RegFileEntry* RegFileValueOf(const RegFileContents& contents, std::size_t keyEntry, const wchar_t* name);

// A string value's text (REG_SZ or REG_EXPAND_SZ) up to its first zero
// character, cut to capacity - 1 characters; false, text empty, for another type.
bool RegFileValueText(const RegFileContents& contents, const RegFileEntry& entry, wchar_t* text, std::size_t capacity);

// Parses a whole file's bytes into contents. Returns 0 when every line is of
// the backups' form; otherwise the number of the first line that is not (1
// for bytes that are not UTF-16LE text with a byte order mark, or more than
// kLargestBackupFile of them; the line a value larger than
// kLargestRestoredValue starts on; the last line of a file cut in the middle
// of a line or a continued value). The entries before that line are kept.
std::size_t ParseRegFile(const BYTE* bytes, std::size_t size, RegFileContents& contents);

// A whole file's bytes as read, before they are parsed.
struct RegFileBytes {
    HeapBuffer data;
    std::size_t size = 0;  // 0 for a file over kLargestBackupFile, which is never read
};

// Reads the file at path into bytes and parses them as ParseRegFile does.
// False, with *error set to the system's code, when the file cannot be read
// at all.
bool ReadRegFile(const wchar_t* path, RegFileBytes& bytes, RegFileContents& contents, std::size_t* badLine,
                 DWORD* error);
