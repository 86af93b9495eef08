#include "registry_lookup.h"

#include "../app/bounded_text.h"
#include "../app/scoped.h"
#include "category_table.h"
#include "registry_text.h"

namespace {

// Opens "<parentPath><name>" under HKEY_CLASSES_ROOT.
LONG OpenChild(RegKey& key, const wchar_t* parentPath, const wchar_t* name) {
    wchar_t path[kNameCapacity];
    CopyText(path, kNameCapacity, parentPath);
    AppendText(path, kNameCapacity, name);
    return key.Open(HKEY_CLASSES_ROOT, path);
}

// The first entry under instancePath whose FriendlyName equals friendlyName
// without regard to case: left open in entry, its name copied to entryName.
bool FindEntryByFriendlyName(const wchar_t* instancePath, const wchar_t* friendlyName, RegKey& entry,
                             wchar_t (&entryName)[256]) {
    RegKey instance;
    if (instance.Open(HKEY_CLASSES_ROOT, instancePath) != ERROR_SUCCESS) return false;
    return ForEachSubkeyName(instance.Get(), [&](const wchar_t* name) {
        if (OpenChild(entry, instancePath, name) != ERROR_SUCCESS) return false;
        wchar_t value[kNameCapacity];
        if (!ReadRegistryText(entry.Get(), L"FriendlyName", value, kNameCapacity)) return false;
        if (lstrcmpiW(value, friendlyName) != 0) return false;
        CopyText(entryName, 256, name);
        return true;
    });
}

// The Instance search: the first entry whose FriendlyName matches gives its
// CLSID value, or its own key name when that value cannot be read.
bool FindInInstanceKey(const wchar_t* instancePath, const wchar_t* friendlyName, wchar_t* classIdOut) {
    RegKey entry;
    wchar_t entryName[256];
    if (!FindEntryByFriendlyName(instancePath, friendlyName, entry, entryName)) return false;
    wchar_t value[kNameCapacity];
    if (!ReadRegistryText(entry.Get(), L"CLSID", value, kNameCapacity)) CopyText(value, kNameCapacity, entryName);
    CopyText(classIdOut, kClassIdCapacity, value);
    return true;
}

// The class search: the first subkey of CLSID whose default value matches gives its name.
bool FindInClassKeys(const wchar_t* friendlyName, wchar_t* classIdOut) {
    RegKey classes;
    if (classes.Open(HKEY_CLASSES_ROOT, L"CLSID") != ERROR_SUCCESS) return false;
    return ForEachSubkeyName(classes.Get(), [&](const wchar_t* className) {
        RegKey classKey;
        if (OpenChild(classKey, L"CLSID\\", className) != ERROR_SUCCESS) return false;
        wchar_t value[kNameCapacity];
        if (!ReadRegistryText(classKey.Get(), nullptr, value, kNameCapacity)) return false;
        if (lstrcmpiW(value, friendlyName) != 0) return false;
        CopyText(classIdOut, kClassIdCapacity, className);
        return true;
    });
}

}  // namespace

LookupKind FindFilterRegistration(wchar_t* classIdOut, const wchar_t* friendlyName) {
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    if (FindInInstanceKey(instancePath, friendlyName, classIdOut)) return LookupInstanceKey;
    if (FindInClassKeys(friendlyName, classIdOut)) return LookupClassKey;
    return LookupNone;
}

int ReadClassInfo(const wchar_t* classId, wchar_t* objectName, wchar_t* serverPath) {
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
    return 1;
}

int FindInstanceKeyByClsid(const wchar_t* instanceKeyPath, const wchar_t* classId, wchar_t* keyPathOut) {
    CopyText(keyPathOut, kNameCapacity, L"");
    RegKey instance;
    if (instance.Open(HKEY_CLASSES_ROOT, instanceKeyPath) != ERROR_SUCCESS) return 0;
    const bool found = ForEachSubkeyName(instance.Get(), [&](const wchar_t* entryName) {
        RegKey entry;
        if (OpenChild(entry, instanceKeyPath, entryName) != ERROR_SUCCESS) return false;
        wchar_t value[kNameCapacity];
        if (!ReadRegistryText(entry.Get(), L"CLSID", value, kNameCapacity)) return false;
        if (lstrcmpiW(value, classId) != 0) return false;
        CopyText(keyPathOut, kNameCapacity, instanceKeyPath);
        AppendText(keyPathOut, kNameCapacity, entryName);
        return true;
    });
    return found ? 1 : 0;
}

int FindInstanceKeyByName(const wchar_t* instanceKeyPath, const wchar_t* friendlyName, wchar_t* keyPathOut) {
    CopyText(keyPathOut, kNameCapacity, L"");
    RegKey entry;
    wchar_t entryName[256];
    if (!FindEntryByFriendlyName(instanceKeyPath, friendlyName, entry, entryName)) return 0;
    CopyText(keyPathOut, kNameCapacity, instanceKeyPath);
    // A path cut to capacity would name another key: none is given then.
    if (AppendText(keyPathOut, kNameCapacity, entryName) != kTextOk) {
        CopyText(keyPathOut, kNameCapacity, L"");
        return 0;
    }
    return 1;
}
