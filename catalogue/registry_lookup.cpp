#include "registry_lookup.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "category_combo.h"
#include "category_table.h"
#include "instance_entries.h"
#include "registry_text.h"
#include "server_path.h"

#include <cwchar>

namespace {

// Calls found(entry, entryName) for the first entry under instancePath whose
// FriendlyName equals friendlyName without regard to case.
template <typename Found>
bool FindEntryByFriendlyName(const wchar_t* instancePath, const wchar_t* friendlyName, Found&& found) {
    return ForEachInstanceEntry(instancePath, [&](HKEY entry, const wchar_t* entryName) {
               wchar_t value[kNameCapacity];
               if (!ReadRegistryText(entry, L"FriendlyName", value, kNameCapacity)) return false;
               if (lstrcmpiW(value, friendlyName) != 0) return false;
               found(entry, entryName);
               return true;
           }) == InstanceWalkStopped;
}

// The Instance search: the first entry whose FriendlyName matches gives its
// CLSID value, or its own key name when that value cannot be read.
bool FindInInstanceKey(const wchar_t* instancePath, const wchar_t* friendlyName, wchar_t* classIdOut,
                       bool* classIdCut) {
    return FindEntryByFriendlyName(instancePath, friendlyName, [&](HKEY entry, const wchar_t* entryName) {
        wchar_t value[kNameCapacity];
        ReadEntryClassId(entry, entryName, value);
        TakeClassId(classIdOut, value, classIdCut);
    });
}

}  // namespace

void ReadEntryClassId(HKEY entry, const wchar_t* entryName, wchar_t* value) {
    if (!ReadRegistryText(entry, L"CLSID", value, kNameCapacity)) CopyText(value, kNameCapacity, entryName);
}

void TakeClassId(wchar_t* classIdOut, const wchar_t* value, bool* classIdCut) {
    const bool cut = CopyText(classIdOut, kClassIdCapacity, value) != kTextOk;
    if (classIdCut) *classIdCut = cut;
}

bool ReadClassDefaultValue(const wchar_t* className, wchar_t* value) {
    value[0] = L'\0';
    RegKey classKey;
    if (OpenClassesChild(classKey, L"CLSID\\", className) != ERROR_SUCCESS) return false;
    return ReadRegistryText(classKey.Get(), nullptr, value, kNameCapacity);
}

bool FindClassKeyByName(const wchar_t* friendlyName, wchar_t* classIdOut) {
    RegKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, L"CLSID") != ERROR_SUCCESS) return false;
    return ForEachSubkeyName(classes.Get(), [&](const wchar_t* className) {
        wchar_t value[kNameCapacity];
        if (!ReadClassDefaultValue(className, value)) return false;
        if (lstrcmpiW(value, friendlyName) != 0) return false;
        CopyText(classIdOut, kClassIdCapacity, className);
        return true;
    });
}

LookupKind FindFilterRegistration(wchar_t* classIdOut, const wchar_t* friendlyName, bool* classIdCut) {
    if (classIdCut) *classIdCut = false;
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    if (FindInInstanceKey(instancePath, friendlyName, classIdOut, classIdCut)) return LookupInstanceKey;
    // Key names have at most 255 characters: a class key's name always fits.
    if (FindClassKeyByName(friendlyName, classIdOut)) return LookupClassKey;
    return LookupNone;
}

int ReadClassInfo(const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath, DWORD* serverType) {
    if (serverType) *serverType = REG_NONE;
    if (!IsUsableClassId(classId)) return 0;
    wchar_t path[kNameCapacity];
    CopyText(path, kNameCapacity, L"CLSID\\");
    AppendText(path, kNameCapacity, classId);
    wchar_t value[kNameCapacity];
    {
        RegKey classKey;
        if (classKey.Open(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return 0;
        if (ReadRegistryText(classKey.Get(), nullptr, value, kNameCapacity)) CopyText(objectName, kNameCapacity, value);
    }
    AppendText(path, kNameCapacity, L"\\InprocServer32");
    RegKey server;
    if (server.Open(HKEY_CLASSES_ROOT, path) != ERROR_SUCCESS) return 1;
    if (ReadRegistryText(server.Get(), nullptr, value, kNameCapacity)) CopyText(serverPath, kNameCapacity, value);
    if (serverType) *serverType = ServerPathType(server.Get());
    return 1;
}

int FindInstanceKeyByClsid(const wchar_t* instanceKeyPath, const wchar_t* classId, wchar_t* keyPathOut) {
    CopyText(keyPathOut, kNameCapacity, L"");
    const InstanceWalkEnd end = ForEachInstanceEntry(instanceKeyPath, [&](HKEY entry, const wchar_t* entryName) {
        wchar_t value[kNameCapacity];
        if (!ReadRegistryText(entry, L"CLSID", value, kNameCapacity)) return false;
        if (lstrcmpiW(value, classId) != 0) return false;
        CopyText(keyPathOut, kNameCapacity, instanceKeyPath);
        AppendText(keyPathOut, kNameCapacity, entryName);
        return true;
    });
    return end == InstanceWalkStopped ? 1 : 0;
}

int FindInstanceKeyByName(const wchar_t* instanceKeyPath, const wchar_t* friendlyName, wchar_t* keyPathOut) {
    CopyText(keyPathOut, kNameCapacity, L"");
    bool whole = false;
    FindEntryByFriendlyName(instanceKeyPath, friendlyName, [&](HKEY, const wchar_t* entryName) {
        // A path cut to capacity would name another key: none is given then.
        whole = JoinText(keyPathOut, kNameCapacity, instanceKeyPath, L"", entryName);
    });
    if (!whole) CopyText(keyPathOut, kNameCapacity, L"");
    return whole ? 1 : 0;
}

bool FindSelectedCategoryEntryOfClass(const wchar_t* classId, wchar_t* entryPath) {
    CopyText(entryPath, kNameCapacity, L"");
    // A class id cut to fit, or one naming no single key, names no entry.
    if (!IsUsableClassId(classId) || std::wcslen(classId) >= kClassIdCapacity) return false;
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    return FindInstanceKeyByClsid(instancePath, classId, entryPath) != 0;
}

bool FindSelectedEntry(wchar_t* entryPath) {
    if (g_app.selectedByClassId) return FindSelectedCategoryEntryOfClass(g_app.selectedClsid, entryPath);
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    return FindInstanceKeyByName(instancePath, g_app.selectedName, entryPath) != 0;
}
