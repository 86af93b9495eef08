#include "report_registry.h"

#include "../base/bounded_text.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"

namespace {

// A value larger than this is not read at all: no name, path or FilterData
// of a codec comes near it.
constexpr DWORD kLargestValue = 1u << 20;

}  // namespace

bool OpenReportKey(RegKey& key, HKEY parent, const wchar_t* name, REGSAM view) {
    return OpenKeyUnlessLink(key, parent, name, KEY_READ | view) == KeyOpened;
}

bool ReadReportText(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity, bool* cut) {
    if (cut) *cut = false;
    CopyText(text, capacity, L"");
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes > kLargestValue) return false;
    HeapBuffer data;
    if (!data.Reserve(bytes + 2 * sizeof(wchar_t))) return false;
    DWORD read = bytes;
    if (RegQueryValueExW(key, valueName, nullptr, &type, data.Get(), &read) != ERROR_SUCCESS || read > bytes ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    // The characters read, up to the first zero; a value stored without its
    // terminator ends after its last whole character.
    const auto* chars = reinterpret_cast<const wchar_t*>(data.Get());
    const std::size_t units = read / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && chars[length] != L'\0') ++length;
    const std::size_t kept = length < capacity ? length : capacity - 1;
    for (std::size_t i = 0; i < kept; ++i) text[i] = chars[i];
    text[kept] = L'\0';
    if (cut) *cut = kept < length;
    return true;
}

std::uint32_t ReadEntryMerit(HKEY entry) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return 0;
    if (type != REG_BINARY || bytes < 8 || bytes > kLargestValue) return 0;
    HeapBuffer data;
    if (!data.Reserve(bytes)) return 0;
    DWORD read = bytes;
    if (RegQueryValueExW(entry, L"FilterData", nullptr, &type, data.Get(), &read) != ERROR_SUCCESS ||
        type != REG_BINARY || read < 8 || read > bytes) {
        return 0;
    }
    const BYTE* b = data.Get();
    return static_cast<std::uint32_t>(b[4]) | (static_cast<std::uint32_t>(b[5]) << 8) |
           (static_cast<std::uint32_t>(b[6]) << 16) | (static_cast<std::uint32_t>(b[7]) << 24);
}

bool ReadClassFacts(REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                    std::size_t capacity) {
    CopyText(objectName, capacity, L"");
    CopyText(serverPath, capacity, L"");
    if (!IsUsableClassId(classId)) return false;
    RegKey classes;
    if (!OpenReportKey(classes, HKEY_CLASSES_ROOT, L"CLSID", view)) return false;
    RegKey classKey;
    if (!OpenReportKey(classKey, classes.Get(), classId, view)) return false;
    ReadReportText(classKey.Get(), nullptr, objectName, capacity);
    RegKey server;
    if (OpenReportKey(server, classKey.Get(), L"InprocServer32", view)) {
        ReadReportText(server.Get(), nullptr, serverPath, capacity);
    }
    return true;
}
