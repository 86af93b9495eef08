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
