// What the system consults besides the merits when it builds a graph for a
// file: the preferred decoder of a media subtype, the filters it must not
// use, and the source filter tied to a file extension. Read only.
//
// Each reader takes the registry view to read (0 for the program's own,
// KEY_WOW64_64KEY or KEY_WOW64_32KEY for the other width's) and calls its
// visitor for each entry in enumeration order. Texts reach the visitor
// terminated inside their buffers, cut to at most 255 characters where the
// registry holds more, never left out; a value that is not a string
// (ReadStringValue) reads as the empty text.
#pragma once
#include "../base/win_headers.h"
#include "registry_link.h"

#include <functional>

// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\DirectShow\Preferred: one value per
// subtype, named by the subtype's GUID text, holding the filter's class id.
constexpr wchar_t kPreferredFiltersPath[] = L"SOFTWARE\\Microsoft\\DirectShow\\Preferred";
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\DirectShow\DoNotUse: the class ids of
// blocked filters, as value names or subkey names.
constexpr wchar_t kBlockedFiltersPath[] = L"SOFTWARE\\Microsoft\\DirectShow\\DoNotUse";
// The same two for Media Foundation's transforms (read by Windows only, never
// by Wine): Preferred names a transform's class id for a subtype, DoNotUse
// lists class ids.
constexpr wchar_t kPreferredTransformsPath[] = L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred";
constexpr wchar_t kBlockedTransformsPath[] = L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\DoNotUse";
// HKEY_CLASSES_ROOT\Media Type\Extensions\.<ext>: "Source Filter" names the
// source filter's class id for files of that extension.
constexpr wchar_t kExtensionSourcesPath[] = L"Media Type\\Extensions";

// Opens one of the keys above (path under HKEY_LOCAL_MACHINE) in the view
// (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY) with access, never through a
// registry link: neither the key nor a key on the way to it is gone through
// when it is one (KeyIsLink). Every reader and writer of these keys opens them so.
KeyOpening OpenPreferencesKey(RegKey& key, const wchar_t* path, REGSAM view, REGSAM access, LONG* status = nullptr);

// visit(subtypeText, filterClassIdText). Each reader of Preferred and
// DoNotUse gives KeyIsLink, having visited nothing, for a key that is a link.
KeyOpening ForEachPreferredFilter(REGSAM view, const std::function<void(const wchar_t*, const wchar_t*)>& visit);
// visit(classIdText)
KeyOpening ForEachBlockedFilter(REGSAM view, const std::function<void(const wchar_t*)>& visit);
// The same readers over the Media Foundation keys.
KeyOpening ForEachPreferredTransform(REGSAM view, const std::function<void(const wchar_t*, const wchar_t*)>& visit);
KeyOpening ForEachBlockedTransform(REGSAM view, const std::function<void(const wchar_t*)>& visit);
// visit(extension with its dot, sourceFilterClassIdText); only extensions
// with a "Source Filter" value. Registry links are not entered.
void ForEachExtensionSource(REGSAM view, const std::function<void(const wchar_t*, const wchar_t*)>& visit);

// The class id named for subtype in the Preferred key of the view, into
// classId (256 characters); false when none is named, or the value is not a
// class id's text (Windows passes over such a value).
bool FindPreferredFilter(REGSAM view, const GUID& subtype, wchar_t (&classId)[256]);
// Whether the DoNotUse key of the view lists classId (letter case aside).
bool IsBlockedFilter(REGSAM view, const wchar_t* classId);
