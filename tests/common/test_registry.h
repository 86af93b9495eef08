// Registry helpers shared by the component tests and the end-to-end driver:
// states made under HKEY_CLASSES_ROOT and read back, in the caller's own
// registry view unless another one is named.
#pragma once
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <string>
#include <vector>

// The legacy filter category's Instance key, with its trailing separator.
extern const wchar_t kLegacyInstance[];

std::wstring NewGuidText();
// view: 0 (the caller's own), KEY_WOW64_64KEY or KEY_WOW64_32KEY.
bool KeyExists(const std::wstring& path, REGSAM view = 0);
bool CreateKeyPath(const std::wstring& path);
bool WriteValue(const std::wstring& keyPath, const wchar_t* valueName, DWORD type, const void* data, DWORD size);
bool WriteText(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& value, DWORD type = REG_SZ);
std::vector<BYTE> ReadBytes(const std::wstring& keyPath, const wchar_t* valueName);
std::vector<std::wstring> SubkeyNames(const std::wstring& path);
void DeleteTree(const std::wstring& path, REGSAM view = 0);
// A registry link at path whose target key does not exist: enumerated, but it
// cannot be opened. Removed only by DeleteLink.
bool CreateBrokenLink(const std::wstring& path);
bool DeleteLink(const std::wstring& path);

// One key, or one value of a key, as stored: the key's path below the
// snapshot's root ("" for the root), the value's name, type and data bytes.
struct RegistryItem {
    std::wstring key;
    bool isValue = false;
    std::wstring name;
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const RegistryItem&) const = default;
    bool operator<(const RegistryItem& other) const;
};
using RegistrySnapshot = std::vector<RegistryItem>;

// Every key of the tree at path (itself included) and every value, sorted;
// empty when the key does not exist.
RegistrySnapshot TreeSnapshot(const std::wstring& path, REGSAM view = 0);
// "" when both are equal; otherwise the first items that differ, with
// long data shown by its size and first bytes.
std::wstring SnapshotDifference(const RegistrySnapshot& before, const RegistrySnapshot& after);
std::wstring DescribeItem(const RegistryItem& item);
