#include "view_registry.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "registry_link.h"
#include "registry_text.h"

namespace {

// A value larger than this is not read at all: no name, path or FilterData
// of a codec comes near it.
constexpr DWORD kLargestValue = 1u << 20;

}  // namespace

bool SystemIs64Bit() {
    if (sizeof(void*) == 8) return true;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

int MachineRegistryViews(RegistryView (&views)[2]) {
    const int own = sizeof(void*) == 8 ? 64 : 32;
    if (!SystemIs64Bit()) {
        views[0] = {0, 32};
        return 1;
    }
    views[0] = {own == 64 ? 0u : static_cast<REGSAM>(KEY_WOW64_64KEY), 64};
    views[1] = {own == 32 ? 0u : static_cast<REGSAM>(KEY_WOW64_32KEY), 32};
    return 2;
}

bool OpenReportKey(RegKey& key, HKEY parent, const wchar_t* name, REGSAM view) {
    return OpenKeyUnlessLink(key, parent, name, KEY_READ | view) == KeyOpened;
}

namespace {

// Reads a value's type and bytes: into `room` where they fit (one call, as
// for almost every value), otherwise into `heap`. False when the value cannot
// be read or is larger than kLargestValue.
bool QueryValue(HKEY key, const wchar_t* valueName, BYTE* room, DWORD roomBytes, HeapBuffer& heap, DWORD* type,
                const BYTE** data, DWORD* bytes) {
    DWORD size = roomBytes;
    LONG status = RegQueryValueExW(key, valueName, nullptr, type, room, &size);
    if (status == ERROR_SUCCESS) {
        *data = room;
        *bytes = size;
        return size <= roomBytes;
    }
    if (status != ERROR_MORE_DATA || size > kLargestValue || !heap.Reserve(size)) return false;
    DWORD read = size;
    status = RegQueryValueExW(key, valueName, nullptr, type, heap.Get(), &read);
    if (status != ERROR_SUCCESS || read > size) return false;
    *data = heap.Get();
    *bytes = read;
    return true;
}

}  // namespace

bool ReadReportText(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity, bool* cut) {
    if (cut) *cut = false;
    CopyText(text, capacity, L"");
    wchar_t room[512];
    HeapBuffer heap;
    DWORD type = REG_NONE;
    const BYTE* data = nullptr;
    DWORD bytes = 0;
    if (!QueryValue(key, valueName, reinterpret_cast<BYTE*>(room), sizeof(room), heap, &type, &data, &bytes) ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    // The characters read, up to the first zero; a value stored without its
    // terminator ends after its last whole character.
    const auto* chars = reinterpret_cast<const wchar_t*>(data);
    const std::size_t units = bytes / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && chars[length] != L'\0') ++length;
    const std::size_t kept = length < capacity ? length : capacity - 1;
    for (std::size_t i = 0; i < kept; ++i) text[i] = chars[i];
    text[kept] = L'\0';
    if (cut) *cut = kept < length;
    return true;
}

bool ReadClassFacts(REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                    std::size_t capacity, wchar_t* judgedServerPath) {
    RegKey classes;
    if (!OpenReportKey(classes, HKEY_CLASSES_ROOT, L"CLSID", view)) {
        CopyText(objectName, capacity, L"");
        CopyText(serverPath, capacity, L"");
        if (judgedServerPath) CopyText(judgedServerPath, kNameCapacity, L"");
        return false;
    }
    return ReadClassFactsIn(classes.Get(), view, classId, objectName, serverPath, capacity, judgedServerPath);
}

bool ReadClassFactsIn(HKEY classes, REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                      std::size_t capacity, wchar_t* judgedServerPath) {
    if (objectName) CopyText(objectName, capacity, L"");
    CopyText(serverPath, capacity, L"");
    if (judgedServerPath) CopyText(judgedServerPath, kNameCapacity, L"");
    if (!IsUsableClassId(classId)) return false;
    RegKey classKey;
    if (!OpenReportKey(classKey, classes, classId, view)) return false;
    if (objectName) ReadReportText(classKey.Get(), nullptr, objectName, capacity);
    RegKey server;
    if (OpenReportKey(server, classKey.Get(), L"InprocServer32", view)) {
        bool cut = false;
        const bool text = ReadReportText(server.Get(), nullptr, serverPath, capacity, &cut);
        // A text that fits whole reads the same both ways: it is read once.
        if (judgedServerPath && text && !cut && capacity == kNameCapacity) {
            CopyText(judgedServerPath, kNameCapacity, serverPath);
        } else if (judgedServerPath) {
            ReadRegistryText(server.Get(), nullptr, judgedServerPath, kNameCapacity);
        }
    }
    return true;
}
