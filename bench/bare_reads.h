// The bare forms of the reads and calls that the program's operations make,
// written straight against the platform with none of the program's own code:
// the baselines of the benchmark, in the benchmark's own process
// (measurements 1 and 3) and in the bare window program (5, 7 and 8).
#pragma once
#include "../base/win_headers.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

// The device enumerator's walk of one category, reading each moniker's
// FriendlyName; with a list, each name is added to it. Returns the names read.
// A text value whole (empty when it cannot be read).
std::wstring BareValue(HKEY key, const wchar_t* name);
// A report list view's columns, 100 pixels wide, inserted straight with LVM_INSERTCOLUMNW.
void BareInsertColumns(HWND list, const wchar_t* const* headings, int count);

// Each column of a report list view sized by the list itself to the longest
// of its heading and its rows' texts (cell(row, column) of rows rows), and
// a margin, as the bare dialogs size theirs.
template <typename Cell>
void BareFitColumns(HWND list, const wchar_t* const* headings, int count, std::size_t rows, Cell&& cell) {
    for (int column = 0; column < count; ++column) {
        const wchar_t* longest = headings[column];
        std::size_t longestLength = std::wcslen(longest);
        for (std::size_t row = 0; row < rows; ++row) {
            const wchar_t* text = cell(row, column);
            const std::size_t length = std::wcslen(text);
            if (length > longestLength) {
                longest = text;
                longestLength = length;
            }
        }
        const LRESULT width = SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(longest));
        SendMessageW(list, LVM_SETCOLUMNWIDTH, column, width + 24);
    }
}

// A key itself in the view, never one a link there points to, and null for a
// link: the two calls (an open with REG_OPTION_OPEN_LINK, a look at
// SymbolicLinkValue) that every key the Media Foundation dialog reads takes.
HKEY BareOpenUnlessLink(HKEY parent, const wchar_t* path, REGSAM view = 0);

int BareDeviceWalk(const GUID& category, HWND list = nullptr);

// The filter mapper's enumeration (flags 0, inexact, merit at least 1, no
// pins) walked until a filter's FriendlyName equals `name` (letter case
// counts); that filter's FilterData is read and parsed by the mapper. Returns
// its merit, 0 when there is none. `walked` (optional) gets the number of
// filters looked at.
std::uint32_t BareMeritRead(const wchar_t* name, int* walked = nullptr);

// The Instance key at instancePath walked until an entry's FriendlyName equals
// `name` without regard to case (each entry opened below the open Instance
// key); the entry is left open in *entry. False when none matches.
bool BareFindInstanceEntry(const wchar_t* instancePath, const wchar_t* name, HKEY* entry);

// BareFindInstanceEntry, then the entry's CLSID value.
bool BareInstanceLookup(const wchar_t* instancePath, const wchar_t* name, std::wstring* classId);

// HKCR\CLSID walked until a class key's default value equals `name` without
// regard to case (each key opened below the open CLSID key); its key name goes
// to classId. `walked` (optional) gets the number of class keys looked at.
bool BareClassLookup(const wchar_t* name, std::wstring* classId, int* walked = nullptr);

// CLSID\<classId>: its default value, and its InprocServer32 subkey's default value.
bool BareClassRead(const std::wstring& classId, std::wstring* objectName, std::wstring* serverPath);

// A key name and a text value read from it.
using NamedText = std::pair<std::wstring, std::wstring>;

// The Instance key at instancePath read once, in enumeration order: each
// entry's FriendlyName with its CLSID value (its key name when that cannot be
// read); entries without a readable FriendlyName are left out.
void BareReadInstanceEntries(const wchar_t* instancePath, std::vector<NamedText>* entries);

// HKCR\CLSID read once, in enumeration order: each class key's name with its
// default value (keys without a readable one are left out).
void BareReadClassKeys(std::vector<NamedText>* classes);

// BareFindInstanceEntry, then the entry's FilterData read and written back with
// `merit` in bytes 4 to 7.
bool BareMeritWrite(const wchar_t* instancePath, const wchar_t* name, std::uint32_t merit);
