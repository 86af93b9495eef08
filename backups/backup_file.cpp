#include "backup_file.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/whole_file.h"

#include <shlobj.h>

#include <cwchar>

namespace {

constexpr std::size_t kPathCapacity = MAX_PATH;  // the whole path, terminator included
constexpr unsigned kMostCopies = 10000;          // " (2)" to " (9999)"
constexpr std::size_t kMostNameCharacters = 255; // one file name, without its folder

// Makes the folder unless it is there; false when it cannot be made or
// something other than a folder has its name.
bool EnsureFolder(const wchar_t* path) {
    if (CreateDirectoryW(path, nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// %LOCALAPPDATA%\Pelmora Vantrel into appFolder; false when the system
// does not tell where that is.
bool FindAppFolder(wchar_t* appFolder) {
    wchar_t localAppData[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData))) return false;
    CopyText(appFolder, kPathCapacity, localAppData);
    return AppendText(appFolder, kPathCapacity, L"\\Pelmora Vantrel") == kTextOk;
}

// %LOCALAPPDATA%\Pelmora Vantrel (made if missing) into appFolder, and its
// Backups folder (made if missing) into backupFolder.
bool PrepareFolders(wchar_t* appFolder, wchar_t* backupFolder) {
    return FindAppFolder(appFolder) && FindBackupFolder(backupFolder) && EnsureFolder(appFolder) &&
           EnsureFolder(backupFolder);
}

// One form of the file's name: the action word, and the text after " - ",
// with only printable ASCII characters where the form asks for it.
struct NameForm {
    const wchar_t* action;
    const wchar_t* detail;
    bool asciiOnly;
};

bool IsForbiddenInFileName(wchar_t c, bool asciiOnly) {
    if (asciiOnly && c > 0x7E) return true;
    return c < 0x20 || std::wcschr(L"<>:\"/\\|?*", c) != nullptr;
}

// The detail as a piece of a file name: forbidden characters become "_", and
// it is cut to at most `room` characters, never between the two halves of a
// surrogate pair.
void FileNamePiece(const NameForm& form, std::size_t room, wchar_t* piece) {
    CopyText(piece, kNameCapacity, form.detail);
    for (wchar_t* c = piece; *c != L'\0'; ++c) {
        if (IsForbiddenInFileName(*c, form.asciiOnly)) *c = L'_';
    }
    if (room < std::wcslen(piece)) {
        if (room > 0 && piece[room - 1] >= 0xD800 && piece[room - 1] <= 0xDBFF) --room;
        piece[room] = L'\0';
    }
}

// The full path for copy number `copy` (1 has no number) with at most
// pieceLimit characters of the detail, cut further so that the path stays
// within MAX_PATH and the file's own name within the 255 characters a name
// may have; *pieceLength tells how many it took. False when even an empty
// detail would not fit.
bool BuildBackupPath(const wchar_t* backupFolder, const SYSTEMTIME& time, const NameForm& form, unsigned copy,
                     std::size_t pieceLimit, wchar_t* path, std::size_t* pieceLength) {
    wchar_t stem[kPathCapacity];
    if (FormatText(stem, kPathCapacity, L"%ls\\%04u-%02u-%02u %02u-%02u-%02u %ls", backupFolder, time.wYear,
                   time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, form.action) != kTextOk) {
        return false;
    }
    wchar_t ending[32];
    if (copy > 1) {
        FormatText(ending, 32, L" (%u).reg", copy);
    } else {
        CopyText(ending, 32, L".reg");
    }
    const std::size_t fixed = std::wcslen(stem) + std::wcslen(L" - ") + std::wcslen(ending);
    const std::size_t fixedInName = fixed - std::wcslen(backupFolder) - 1;
    if (fixed >= kPathCapacity || fixedInName >= kMostNameCharacters) return false;
    std::size_t room = kPathCapacity - 1 - fixed;
    if (room > kMostNameCharacters - fixedInName) room = kMostNameCharacters - fixedInName;
    if (room > pieceLimit) room = pieceLimit;
    wchar_t piece[kNameCapacity];
    FileNamePiece(form, room, piece);
    *pieceLength = std::wcslen(piece);
    CopyText(path, kPathCapacity, stem);
    if (piece[0] != L'\0') {
        AppendText(path, kPathCapacity, L" - ");
        AppendText(path, kPathCapacity, piece);
    }
    return AppendText(path, kPathCapacity, ending) == kTextOk;
}

// Writes the whole text to the file and flushes it to the disk.
bool WriteWhole(const wchar_t* path, const GrowingText& text) {
    return WriteWholeFile(path, reinterpret_cast<const BYTE*>(TextChars(text)), text.length * sizeof(wchar_t)) ==
           ERROR_SUCCESS;
}

// Moves the written file into the backup folder under a name of the given
// form; false when the folder's file system refuses every such name.
bool MoveIntoFolder(const wchar_t* temporary, const wchar_t* backupFolder, const SYSTEMTIME& time,
                    const NameForm& form, wchar_t* written) {
    std::size_t pieceLimit = kNameCapacity;
    for (unsigned copy = 1; copy < kMostCopies;) {
        wchar_t path[kPathCapacity];
        std::size_t pieceLength = 0;
        if (!BuildBackupPath(backupFolder, time, form, copy, pieceLimit, path, &pieceLength)) return false;
        // Without MOVEFILE_REPLACE_EXISTING an existing backup is never replaced.
        if (MoveFileExW(temporary, path, MOVEFILE_WRITE_THROUGH)) {
            if (written) CopyText(written, kPathCapacity, path);
            return true;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            ++copy;
            continue;
        }
        // Some file systems count a name's length in bytes (Linux under Wine,
        // where a Cyrillic letter takes two): a refused name is tried again
        // with half as much of the detail, down to none of it.
        if (pieceLength == 0) return false;
        pieceLimit = pieceLength / 2;
    }
    return false;
}

}  // namespace

bool FindBackupFolder(wchar_t* folder) {
    return FindAppFolder(folder) && AppendText(folder, kPathCapacity, L"\\Backups") == kTextOk;
}

bool WriteBackupFile(const GrowingText& text, const BackupFileName& name, wchar_t* written) {
    if (text.failed) return false;
    wchar_t appFolder[kPathCapacity];
    wchar_t backupFolder[kPathCapacity];
    if (!PrepareFolders(appFolder, backupFolder)) return false;

    // The file is written whole under a temporary name beside the backup
    // folder, on the same volume, and only then moved into it: the folder
    // never shows a half-written backup, and a failed write leaves nothing
    // there to remove.
    wchar_t temporary[kPathCapacity];
    if (GetTempFileNameW(appFolder, L"pvb", 0, temporary) == 0) return false;
    if (!WriteWhole(temporary, text)) {
        DeleteFileW(temporary);
        return false;
    }
    SYSTEMTIME time;
    GetLocalTime(&time);
    // The name the user reads comes first. A file system that cannot hold
    // its letters at all (Wine where the system's character set is ASCII)
    // still takes a name of ASCII characters only.
    const NameForm friendly = {name.action, name.friendlyName, false};
    const NameForm ascii = {name.asciiAction, name.classId, true};
    if (MoveIntoFolder(temporary, backupFolder, time, friendly, written)) return true;
    if (MoveIntoFolder(temporary, backupFolder, time, ascii, written)) return true;
    DeleteFileW(temporary);
    return false;
}
