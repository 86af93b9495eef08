// Registry reads in one registry view, for the codec report and the Media
// Foundation dialog: 0 for the program's own, KEY_WOW64_64KEY or
// KEY_WOW64_32KEY for the other width's. Read only; no
// registry link is ever gone through, and every text ends terminated inside
// its buffer, cut where the registry holds more.
#pragma once
#include "../base/scoped.h"

#include <cstddef>
#include <cstdint>

// One registry view of this machine.
struct RegistryView {
    REGSAM flag;  // 0 for the program's own view, otherwise KEY_WOW64_64KEY or KEY_WOW64_32KEY
    int width;    // 64 or 32
    // The view the program itself sees (its lists, the scan).
    bool Own() const { return flag == 0; }
};

// Whether Windows is 64-bit, whichever width the program is.
bool SystemIs64Bit();
// Fills views (room for two) with the machine's views, 64-bit first; returns their count.
int MachineRegistryViews(RegistryView (&views)[2]);

// Opens parent\name for reading in the view, unless it is a registry link.
bool OpenReportKey(RegKey& key, HKEY parent, const wchar_t* name, REGSAM view);

// Reads a string value as the report shows it (ReadStringValue: REG_SZ or
// REG_EXPAND_SZ only, cut to the buffer, never left out).
bool ReadReportText(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity, bool* cut = nullptr);

// What CLSID\<classId> holds in the view: its default value and its
// InprocServer32 default value, each as a field to show (ReadReportText).
// judgedServerPath (optional, kNameCapacity characters) receives the server
// path as the scan reads it (ReadRegistryText: any type, a value too long
// for it empty), for judging the file as the scan judges it; serverType
// (optional) the server path's value type (REG_NONE when there is none),
// which says whether COM expands its variables. False, with every text
// empty, when the class id names no single key or the key cannot be opened
// (a link counts as none).
bool ReadClassFacts(REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                    std::size_t capacity, wchar_t* judgedServerPath = nullptr, DWORD* serverType = nullptr);
// The same below an open CLSID key of the view, for a caller that reads many
// classes; objectName may be null when the caller needs no object name.
bool ReadClassFactsIn(HKEY classes, REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                      std::size_t capacity, wchar_t* judgedServerPath = nullptr, DWORD* serverType = nullptr);
