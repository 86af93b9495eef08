#include "report_registry.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/string_value.h"

bool OpenReportKey(RegKey& key, HKEY parent, const wchar_t* name, REGSAM view) {
    return OpenKeyUnlessLink(key, parent, name, KEY_READ | view) == KeyOpened;
}

bool ReadReportText(HKEY key, const wchar_t* valueName, wchar_t* text, std::size_t capacity, bool* cut) {
    return ReadStringValue(key, valueName, text, capacity, cut);
}

bool ReadClassFacts(REGSAM view, const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath,
                    std::size_t capacity, wchar_t* judgedServerPath) {
    CopyText(objectName, capacity, L"");
    CopyText(serverPath, capacity, L"");
    if (judgedServerPath) CopyText(judgedServerPath, kNameCapacity, L"");
    if (!IsUsableClassId(classId)) return false;
    RegKey classes;
    if (!OpenReportKey(classes, HKEY_CLASSES_ROOT, L"CLSID", view)) return false;
    RegKey classKey;
    if (!OpenReportKey(classKey, classes.Get(), classId, view)) return false;
    ReadReportText(classKey.Get(), nullptr, objectName, capacity);
    RegKey server;
    if (OpenReportKey(server, classKey.Get(), L"InprocServer32", view)) {
        ReadReportText(server.Get(), nullptr, serverPath, capacity);
        if (judgedServerPath) ReadRegistryText(server.Get(), nullptr, judgedServerPath, kNameCapacity);
    }
    return true;
}
