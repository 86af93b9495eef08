// Measurement 10: the codec report of the bench registry, built and written to
// a file, against the bare reads it has to make: the same list walks, the same
// keys and values in both registry views, the same file version reads and as
// much text written.
#include "bench_common.h"

#include "../base/growing_text.h"
#include "../catalogue/category_table.h"
#include "../report/codec_report.h"
#include "../report/report_file.h"
#include "bare_reads.h"

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
    int rows = 0, entries = 0, files = 0, versions = 0;
    std::size_t bytes = 0;
};

// A class key's two values in the view, and its server file's facts: found,
// size, version and company, read in that view's file system.
void ClassAndFile(HKEY classes, const std::wstring& classId, REGSAM view, std::wstring& out, BareCounts& counts) {
    HKEY key = OpenIn(classes, classId.c_str(), view);
    if (!key) return;
    out += BareValue(key, nullptr) + L"\r\n";
    std::wstring path;
    if (HKEY server = OpenIn(key, L"InprocServer32", view)) {
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
                   "preference keys and DMOs read bare, and as much UTF-8 text written";
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
                    "entries, %d server files found, %d version resources, %zu bytes written",
                    reportChars, reportBytes, error, counts.rows, counts.entries, counts.files, counts.versions,
                    counts.bytes);
    Progress("10 done: %s", row.note.c_str());
    DeleteFileW(programPath.c_str());
    DeleteFileW(barePath.c_str());
    rows.push_back(std::move(row));
    CoUninitialize();
}
