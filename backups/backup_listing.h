// The files of the backup folder as the backups dialog lists them: each
// file's date, action and codec read from its name, newest first.
#pragma once
#include "../base/scoped.h"

#include <cstddef>

struct BackupRow {
    wchar_t file[MAX_PATH];       // the file's name in the folder
    wchar_t date[24];             // "01.05.2024 14:30:05"
    wchar_t action[64];           // in the user's words: "Удаление кодека"
    wchar_t codec[MAX_PATH];      // the friendly name or class id the name ends with; "" when none
    ULONGLONG when = 0;           // the date and time shown, as a number: larger is newer
    ULONGLONG written = 0;        // when the file was last written, as a number
    unsigned copy = 1;            // n of a name that ends " (n)"; 1 otherwise
};

// Reads a backup file's name "<date> <time> <action> - <codec>[ (n)].reg"
// into row. A name without the date and time, or with one later than the
// file was last written (a name can say anything), takes the file's own time
// (last written, local); a name of no known action keeps its words as they
// are; the ASCII action words are given in the user's language.
void DescribeBackupFile(const WIN32_FIND_DATAW& found, BackupRow& row);

struct BackupListing {
    HeapBuffer rows;     // in the order found
    HeapBuffer order;    // indexes into rows, newest first
    std::size_t count = 0;
    bool failed = false;  // memory ran out: not every file is listed
};

// Lists the ".reg" files of folder, newest first (the same date and time:
// the higher copy number first). A folder that is not there lists nothing.
void ListBackupFiles(const wchar_t* folder, BackupListing& listing);
const BackupRow& BackupRowAt(const BackupListing& listing, std::size_t index);

// Whether a codec text of a backup name is a class id ("{...}"), which the
// ASCII name of a further backup may carry.
bool LooksLikeClassId(const wchar_t* text);
