#include "view_registry.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "registry_link.h"
#include "registry_text.h"
#include "server_path.h"
#include "string_value.h"

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

bool ReadReportText(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity, bool* cut) {
    return ReadStringValue(key, valueName, text, capacity, cut);
}

bool ReadClassFacts(REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                    std::size_t capacity, wchar_t* judgedServerPath, DWORD* serverType) {
    if (serverType) *serverType = REG_NONE;
    RegKey classes;
    if (!OpenReportKey(classes, HKEY_CLASSES_ROOT, L"CLSID", view)) {
        CopyText(objectName, capacity, L"");
        CopyText(serverPath, capacity, L"");
        if (judgedServerPath) CopyText(judgedServerPath, kNameCapacity, L"");
        return false;
    }
    return ReadClassFactsIn(classes.Get(), view, classId, objectName, serverPath, capacity, judgedServerPath,
                            serverType);
}

bool ReadClassFactsIn(HKEY classes, REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                      std::size_t capacity, wchar_t* judgedServerPath, DWORD* serverType) {
    if (serverType) *serverType = REG_NONE;
    if (objectName) CopyText(objectName, capacity, L"");
    CopyText(serverPath, capacity, L"");
    if (judgedServerPath) CopyText(judgedServerPath, kNameCapacity, L"");
    if (!IsUsableClassId(classId)) return false;
    RegKey classKey;
    if (!OpenReportKey(classKey, classes, classId, view)) return false;
    if (objectName) ReadReportText(classKey.Get(), nullptr, objectName, capacity);
    RegKey server;
    if (OpenReportKey(server, classKey.Get(), L"InprocServer32", view)) {
        if (serverType) *serverType = ServerPathType(server.Get());
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
