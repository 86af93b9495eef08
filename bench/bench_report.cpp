// Measurement 10: the codec report of the bench registry, built and written to
// a file, against the bare reads it has to make: the same list walks, the same
// keys and values in both registry views, the same file version reads and as
// much text written. Measurement 14: dialog 133 shown on the category of the
// bench's 500 transforms, against the bare reads of the same keys and files.
#include "bench_common.h"

#include "../base/growing_text.h"
#include "../catalogue/category_table.h"
#include "../report/codec_report.h"
#include "../report/report_file.h"
#include "../resources/resource.h"
#include "../transforms/transform_list.h"
#include "../transforms/transforms_dialog.h"
#include "bare_reads.h"

#include <mfapi.h>
#include <mftransform.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

HKEY OpenIn(HKEY parent, const wchar_t* path, REGSAM view) {
    HKEY key = nullptr;
    return RegOpenKeyExW(parent, path, 0, KEY_READ | view, &key) == ERROR_SUCCESS ? key : nullptr;
}

struct BareCounts {
    int rows = 0, entries = 0, files = 0, versions = 0, transforms = 0;
    std::size_t bytes = 0;
};

// A class key's two values in the view, and its server file's facts: found,
// size, version and company, read in that view's file system.
void ClassAndFile(HKEY classes, const std::wstring& classId, REGSAM view, std::wstring& out, BareCounts& counts,
                  HKEY (*open)(HKEY, const wchar_t*, REGSAM) = OpenIn) {
    HKEY key = open(classes, classId.c_str(), view);
    if (!key) return;
    out += BareValue(key, nullptr) + L"\r\n";
    std::wstring path;
    if (HKEY server = open(key, L"InprocServer32", view)) {
        path = BareValue(server, nullptr);
        RegCloseKey(server);
    }
    RegCloseKey(key);
    wchar_t expanded[500];
    if (ExpandEnvironmentStringsW(path.c_str(), expanded, 500) == 0) return;
    std::wstring file = expanded;
    if (view == KEY_WOW64_32KEY && _wcsnicmp(file.c_str(), L"C:\\windows\\system32", 19) == 0) {
        file = L"C:\\windows\\syswow64" + file.substr(19);
    }
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &attributes)) return;
    ++counts.files;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return;
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, info.data())) return;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), L"\\", &value, &length)) ++counts.versions;
    DWORD language = 0x04B00409;
    if (VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        std::memcpy(&language, value, 4);
    }
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\CompanyName", LOWORD(language), HIWORD(language));
    if (VerQueryValueW(info.data(), query, &value, &length) && value) out += static_cast<const wchar_t*>(value);
    out += L"\r\n";
}

// The ten categories of transforms, by their keys' names.
const wchar_t* const kTransformCategoryKeys[] = {
    L"d6c02d4b-6833-45b4-971a-05a4b04bab91", L"9ea73fb4-ef7a-4559-8d5d-719d8f0426c7",
    L"f79eac7d-e545-4387-bdee-d647d7bde42a", L"91c64bd0-f91e-4d8c-9276-db248279d975",
    L"12e17c21-532c-4a6e-8a1c-40825a736397", L"302ea3fc-aa5f-47f9-9f7a-c2188bb16302",
    L"11064c48-3648-4ed0-932e-05ce8ac811b7", L"a8700a7a-939b-44c5-99d7-76226b23b3f1",
    L"059c561e-05ae-4b61-b69d-55b61ee54a7b", L"90175d57-b7ea-4901-aeb3-933a8747756f",
};

// The bare reads of one category's transforms in a view: each entry's
// transform key (name, both type lists, flags), its class key and server
// file, each key opened as a link is never gone through; the view's Preferred
// and DoNotUse values; in the program's own view the platform's enumeration
// with each object's class id.
void BareTransforms(HKEY classes, int category, REGSAM view, std::wstring& out, BareCounts& counts) {
    HKEY transforms = OpenIn(HKEY_CLASSES_ROOT, L"MediaFoundation\\Transforms", view);
    if (!transforms) return;
    if (HKEY entries = OpenIn(transforms, (std::wstring(L"Categories\\") + kTransformCategoryKeys[category]).c_str(),
                              view)) {
        ForEachSubkey(entries, [&](const wchar_t* name) {
            ++counts.transforms;
            if (HKEY key = BareOpenUnlessLink(transforms, name, view)) {
                out += BareValue(key, nullptr) + L"\r\n";
                BYTE types[512];
                for (const wchar_t* value : {L"InputTypes", L"OutputTypes", L"MFTFlags"}) {
                    DWORD bytes = sizeof(types);
                    RegQueryValueExW(key, value, nullptr, nullptr, types, &bytes);
                }
                RegCloseKey(key);
            }
            ClassAndFile(classes, std::wstring(L"{") + name + L"}", view, out, counts, BareOpenUnlessLink);
        });
        RegCloseKey(entries);
    }
    RegCloseKey(transforms);
    for (const wchar_t* keyPath : {L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred",
                                   L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\DoNotUse"}) {
        if (HKEY key = OpenIn(HKEY_LOCAL_MACHINE, keyPath, view)) RegCloseKey(key);
    }
    if (view != 0) return;
    GUID id;
    wchar_t braced[40] = {};
    std::swprintf(braced, 40, L"{%ls}", kTransformCategoryKeys[category]);
    IIDFromString(braced, &id);
    MFStartup(MF_VERSION, MFSTARTUP_LITE);
    IMFActivate** objects = nullptr;
    UINT32 count = 0;
    if (SUCCEEDED(MFTEnumEx(id, MFT_ENUM_FLAG_ALL, nullptr, nullptr, &objects, &count))) {
        for (UINT32 i = 0; i < count; ++i) {
            GUID classId;
            objects[i]->GetGUID(MFT_TRANSFORM_CLSID_Attribute, &classId);
            objects[i]->Release();
        }
        CoTaskMemFree(objects);
    }
    MFShutdown();
}

// The bare report: per view, each distinct Instance key's entries (their
// name, class id and FilterData), for the program's own view the list walks
// into a hidden sorted list with each row found among the entries (the class
// keys' values read once for rows not found there), each entry's class key
// and file, the preference keys and the DMOs; then the text written as UTF-8.
BareCounts BareReport(const wchar_t* path, std::size_t reportBytes) {
    BareCounts counts;
    std::wstring out;
    const REGSAM views[2] = {0, KEY_WOW64_32KEY};
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    for (const REGSAM view : views) {
        HKEY classes = OpenIn(HKEY_CLASSES_ROOT, L"CLSID", view);
        if (!classes) continue;
        std::vector<std::wstring> seenKeys;
        std::vector<NamedText> classValues;
        bool classValuesRead = false;
        for (const CategoryEntry& category : CategoryTable) {
            std::vector<NamedText> entries;
            if (HKEY instance = OpenIn(classes, (std::wstring(category.registryCategory) + L"\\Instance").c_str(), view)) {
                ForEachSubkey(instance, [&](const wchar_t* name) {
                    HKEY entry = OpenIn(instance, name, view);
                    if (!entry) return;
                    std::wstring classId = BareValue(entry, L"CLSID");
                    if (classId.empty()) classId = name;
                    BYTE data[64];
                    DWORD bytes = sizeof(data);
                    RegQueryValueExW(entry, L"FilterData", nullptr, nullptr, data, &bytes);
                    entries.push_back({BareValue(entry, L"FriendlyName"), classId});
                    RegCloseKey(entry);
                });
                RegCloseKey(instance);
            }
            if (view == 0) {
                SendMessageW(list, LB_RESETCONTENT, 0, 0);
                BareDeviceWalk(*category.enumCategory, list);
                const int rows = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
                for (int row = 0; row < rows; ++row) {
                    wchar_t name[500];
                    if (SendMessageW(list, LB_GETTEXTLEN, row, 0) >= 500) continue;
                    SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(name));
                    ++counts.rows;
                    out += name;
                    out += L"\r\n";
                    const NamedText* match = nullptr;
                    for (const NamedText& entry : entries) {
                        if (lstrcmpiW(entry.first.c_str(), name) == 0) {
                            match = &entry;
                            break;
                        }
                    }
                    if (match) {
                        ClassAndFile(classes, match->second, view, out, counts);
                        continue;
                    }
                    if (!classValuesRead) BareReadClassKeys(&classValues);
                    classValuesRead = true;
                    for (const NamedText& value : classValues) {
                        if (lstrcmpiW(value.second.c_str(), name) == 0) {
                            ClassAndFile(classes, value.first, view, out, counts);
                            break;
                        }
                    }
                }
            }
            bool seen = false;
            for (const std::wstring& key : seenKeys) seen = seen || lstrcmpiW(key.c_str(), category.registryCategory) == 0;
            if (seen) continue;
            seenKeys.push_back(category.registryCategory);
            // Every entry is looked at in the other view; in the own view
            // the report shows those no row stands for, here all of them.
            for (const NamedText& entry : entries) {
                ++counts.entries;
                out += entry.first + L"\t" + entry.second + L"\r\n";
                if (view != 0) ClassAndFile(classes, entry.second, view, out, counts);
            }
        }
        // The preference keys and the DMOs.
        for (const wchar_t* keyPath : {L"SOFTWARE\\Microsoft\\DirectShow\\Preferred", L"SOFTWARE\\Microsoft\\DirectShow\\DoNotUse"}) {
            if (HKEY key = OpenIn(HKEY_LOCAL_MACHINE, keyPath, view)) {
                for (DWORD index = 0;; ++index) {
                    wchar_t name[256];
                    DWORD count = 256;
                    if (RegEnumValueW(key, index, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
                    const std::wstring classId = BareValue(key, name);
                    ClassAndFile(classes, classId.empty() ? name : classId, view, out, counts);
                }
                RegCloseKey(key);
            }
        }
        if (HKEY extensions = OpenIn(HKEY_CLASSES_ROOT, L"Media Type\\Extensions", view)) {
            ForEachSubkey(extensions, [&](const wchar_t* name) {
                if (HKEY extension = OpenIn(extensions, name, view)) {
                    out += BareValue(extension, L"Source Filter") + L"\r\n";
                    RegCloseKey(extension);
                }
            });
            RegCloseKey(extensions);
        }
        for (int category = 0; category < 10; ++category) BareTransforms(classes, category, view, out, counts);
        if (HKEY objects = OpenIn(HKEY_CLASSES_ROOT, L"DirectShow\\MediaObjects", view)) {
            ForEachSubkey(objects, [&](const wchar_t* name) {
                if (lstrcmpiW(name, L"Categories") == 0) return;
                if (HKEY object = OpenIn(objects, name, view)) {
                    out += BareValue(object, nullptr) + L"\r\n";
                    RegCloseKey(object);
                }
                ClassAndFile(classes, std::wstring(L"{") + name + L"}", view, out, counts);
            });
            RegCloseKey(objects);
        }
        RegCloseKey(classes);
    }
    DestroyWindow(list);
    int bytes = WideCharToMultiByte(CP_UTF8, 0, out.c_str(), static_cast<int>(out.size()), nullptr, 0, nullptr, nullptr);
    // Filled up to the size of the program's file, so that both write as much.
    if (static_cast<std::size_t>(bytes) < reportBytes) {
        out.append(reportBytes - static_cast<std::size_t>(bytes), L'x');
        bytes = static_cast<int>(reportBytes);
    }
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, out.c_str(), static_cast<int>(out.size()), utf8.data(), bytes, nullptr, nullptr);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
    counts.bytes = utf8.size();
    return counts;
}

}  // namespace

void RunReportMeasurement(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("10")) return;
    CoInitialize(nullptr);
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring programPath = std::wstring(folder) + L"bench report.txt";
    const std::wstring barePath = std::wstring(folder) + L"bench bare report.txt";
    ResultRow row;
    row.id = "10";
    row.measurement = "codec report of both views, built and saved";
    row.baseline = "both views' list walks, Instance entries, class keys, server files with their version resources, "
                   "preference keys, DMOs and Media Foundation transforms read bare, and as much UTF-8 text written";
    row.unit = "ms";
    std::size_t reportBytes = 0;
    DWORD error = 0;
    BareCounts counts;
    std::size_t reportChars = 0;
    const auto program = [&] {
        GrowingText text;
        BuildCodecReport(text);
        error = WriteReportFile(programPath.c_str(), text);
        reportChars = text.length;
    };
    program();  // unmeasured rounds of both sides first
    WIN32_FILE_ATTRIBUTE_DATA saved = {};
    GetFileAttributesExW(programPath.c_str(), GetFileExInfoStandard, &saved);
    reportBytes = saved.nFileSizeLow;
    counts = BareReport(barePath.c_str(), reportBytes);
    for (int i = 0; i < 5 * scale; ++i) {
        row.program.Add(TimeMs(program));
        row.reference.Add(TimeMs([&] { counts = BareReport(barePath.c_str(), reportBytes); }));
    }
    row.note = Text("report of %zu characters, %zu bytes saved (error %lu); baseline: %d list rows, %d Instance "
                    "entries, %d transforms, %d server files found, %d version resources, %zu bytes written",
                    reportChars, reportBytes, error, counts.rows, counts.entries, counts.transforms, counts.files,
                    counts.versions, counts.bytes);
    Progress("10 done: %s", row.note.c_str());
    DeleteFileW(programPath.c_str());
    DeleteFileW(barePath.c_str());
    rows.push_back(std::move(row));
    CoUninitialize();
}

void RunTransformsMeasurement(std::vector<ResultRow>& rows, int scale) {
    if (!Selected("14")) return;
    CoInitialize(nullptr);
    ResultRow row;
    row.id = "14";
    row.measurement = "dialog 133 on 500 transforms of one category";
    row.baseline = "the category's entries, transform keys, class keys (each opened unless a link), server files with "
                   "their version resources, Preferred, DoNotUse and the platform's enumeration read bare";
    row.unit = "ms";
    int shown = 0;
    const auto program = [&] {
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TRANSFORMS), nullptr,
                                         TransformsDialog, 0);
        shown = dialog ? static_cast<int>(SendDlgItemMessageW(dialog, IDC_TRANSFORM_LIST, LVM_GETITEMCOUNT, 0, 0)) : -1;
        if (dialog) DestroyWindow(dialog);
    };
    BareCounts counts;
    const auto bare = [&] {
        counts = BareCounts{};
        std::wstring out;
        if (HKEY classes = OpenIn(HKEY_CLASSES_ROOT, L"CLSID", 0)) {
            BareTransforms(classes, 0, 0, out, counts);
            RegCloseKey(classes);
        }
    };
    program();  // unmeasured rounds of both sides first
    bare();
    Samples reading;
    for (int i = 0; i < 9 * scale; ++i) {
        row.program.Add(TimeMs(program));
        row.reference.Add(TimeMs(bare));
        // What the dialog spends reading its rows, apart from showing them.
        reading.Add(TimeMs([] {
            TransformList list;
            ReadTransformRows(0, 0, list);
        }));
    }
    row.note = Text("%d rows shown, of which read in %.1f ms (median); baseline: %d entries, %d server files found, "
                    "%d version resources",
                    shown, reading.Median(), counts.transforms, counts.files, counts.versions);
    Progress("14 done: %s", row.note.c_str());
    rows.push_back(std::move(row));
    CoUninitialize();
}
