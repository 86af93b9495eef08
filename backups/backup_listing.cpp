#include "backup_listing.h"

#include "../base/bounded_text.h"
#include "registry_backup.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace {

constexpr wchar_t kStampForm[] = L"0000-00-00 00-00-00 ";  // each 0 a digit
constexpr std::size_t kStampLength = 20;

// The date and time a name starts with, into time; false when it has none.
bool ReadStamp(const wchar_t* name, SYSTEMTIME& time) {
    for (std::size_t i = 0; i < kStampLength; ++i) {
        const bool digit = name[i] >= L'0' && name[i] <= L'9';
        if (kStampForm[i] == L'0' ? !digit : name[i] != kStampForm[i]) return false;
    }
    const auto number = [&](std::size_t at, std::size_t digits) {
        WORD value = 0;
        for (std::size_t i = 0; i < digits; ++i) value = static_cast<WORD>(value * 10 + (name[at + i] - L'0'));
        return value;
    };
    time = {};
    time.wYear = number(0, 4);
    time.wMonth = number(5, 2);
    time.wDay = number(8, 2);
    time.wHour = number(11, 2);
    time.wMinute = number(14, 2);
    time.wSecond = number(17, 2);
    FILETIME asNumber;
    return SystemTimeToFileTime(&time, &asNumber) != FALSE;  // a real date and time only
}

ULONGLONG AsNumber(const SYSTEMTIME& time) {
    FILETIME file = {};
    SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// The local time of a file's time, with the daylight saving of its own date
// (as the name was stamped then), whatever the season now.
bool LocalTimeOf(const FILETIME& fileTime, SYSTEMTIME& local) {
    SYSTEMTIME universal;
    return FileTimeToSystemTime(&fileTime, &universal) &&
           SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
}

// How much later than its file's write time a name's date may be: the
// name is stamped just after the file is written, in whole seconds, and some
// file systems keep write times in steps of two seconds.
constexpr ULONGLONG kNameAheadAtMost = 2 * 10000000ull;

// Cuts " (n)" off the end of text, n a number from 2 on, and gives n (else 1).
unsigned CutCopyNumber(wchar_t* text) {
    std::size_t length = std::wcslen(text);
    if (length < 4 || text[length - 1] != L')') return 1;
    std::size_t open = length - 1;
    while (open > 0 && text[open - 1] >= L'0' && text[open - 1] <= L'9') --open;
    if (open == length - 1 || open < 2 || text[open - 1] != L'(' || text[open - 2] != L' ') return 1;
    unsigned copy = 0;
    for (std::size_t i = open; i < length - 1 && copy < 100000; ++i) copy = copy * 10 + (text[i] - L'0');
    if (copy < 2) return 1;
    text[open - 2] = L'\0';
    return copy;
}

// The action's words in the user's language where they are one of the
// actions' ASCII names.
void NameAction(wchar_t* action, std::size_t capacity) {
    for (int i = 0; i < kBackupActionCount; ++i) {
        const auto known = static_cast<BackupAction>(i);
        if (lstrcmpiW(action, BackupActionAsciiName(known)) == 0) {
            CopyText(action, capacity, BackupActionName(known));
            return;
        }
    }
}

}  // namespace

void DescribeBackupFile(const WIN32_FIND_DATAW& found, BackupRow& row) {
    CopyText(row.file, MAX_PATH, found.cFileName);
    row.action[0] = L'\0';
    row.codec[0] = L'\0';
    row.copy = 1;
    row.written = (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
    SYSTEMTIME written = {};
    const bool writtenKnown = LocalTimeOf(found.ftLastWriteTime, written);
    SYSTEMTIME time = written;
    SYSTEMTIME stamp;
    if (ReadStamp(found.cFileName, stamp)) {
        time = stamp;
        wchar_t rest[MAX_PATH];
        CopyText(rest, MAX_PATH, found.cFileName + kStampLength);
        const std::size_t length = std::wcslen(rest);
        if (length >= 4 && lstrcmpiW(rest + length - 4, L".reg") == 0) rest[length - 4] = L'\0';
        wchar_t* dash = std::wcsstr(rest, L" - ");
        if (dash) {
            *dash = L'\0';
            CopyText(row.codec, MAX_PATH, dash + 3);
            row.copy = CutCopyNumber(row.codec);
        } else {
            row.copy = CutCopyNumber(rest);
        }
        CopyText(row.action, std::size(row.action), rest);
        NameAction(row.action, std::size(row.action));
        // A name can say anything: a date later than the file was written
        // is not when the backup was taken, and the file goes by its own time.
        if (writtenKnown && AsNumber(time) > AsNumber(written) + kNameAheadAtMost) time = written;
    }
    row.when = AsNumber(time);
    FormatText(row.date, std::size(row.date), L"%02u.%02u.%04u %02u:%02u:%02u", time.wDay, time.wMonth, time.wYear,
               time.wHour, time.wMinute, time.wSecond);
}

void ListBackupFiles(const wchar_t* folder, BackupListing& listing) {
    listing.count = 0;
    listing.failed = false;
    wchar_t pattern[MAX_PATH];
    if (!JoinText(pattern, MAX_PATH, folder, L"\\", L"*.reg")) return;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(pattern, &found));
    if (!search.Found()) return;
    auto* rows = reinterpret_cast<BackupRow*>(listing.rows.Get());
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::size_t needed = (listing.count + 1) * sizeof(BackupRow);
        if (needed > listing.rows.Size() && !listing.rows.Reserve(needed < 64 * sizeof(BackupRow) ? 64 * sizeof(BackupRow)
                                                                                                   : 2 * needed)) {
            listing.failed = true;
            break;
        }
        rows = reinterpret_cast<BackupRow*>(listing.rows.Get());
        DescribeBackupFile(found, rows[listing.count++]);
    } while (FindNextFileW(search.Get(), &found));
    if (!listing.order.Reserve((listing.count + 1) * sizeof(std::size_t))) {
        listing.failed = true;
        listing.count = 0;
        return;
    }
    auto* order = reinterpret_cast<std::size_t*>(listing.order.Get());
    for (std::size_t i = 0; i < listing.count; ++i) order[i] = i;
    std::sort(order, order + listing.count, [rows](std::size_t a, std::size_t b) {
        if (rows[a].when != rows[b].when) return rows[a].when > rows[b].when;
        // Within one second, the file written last first.
        if (rows[a].written != rows[b].written) return rows[a].written > rows[b].written;
        if (rows[a].copy != rows[b].copy) return rows[a].copy > rows[b].copy;
        return lstrcmpW(rows[a].file, rows[b].file) > 0;
    });
}

const BackupRow& BackupRowAt(const BackupListing& listing, std::size_t index) {
    const auto* order = reinterpret_cast<const std::size_t*>(listing.order.Get());
    return reinterpret_cast<const BackupRow*>(listing.rows.Get())[order[index]];
}

bool LooksLikeClassId(const wchar_t* text) {
    const std::size_t length = std::wcslen(text);
    return length > 2 && text[0] == L'{' && text[length - 1] == L'}';
}
