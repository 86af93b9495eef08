// Registry helpers of the component tests, the end-to-end driver and the
// benchmark: states made under HKEY_CLASSES_ROOT and read back, in the
// caller's own registry view unless another one is named; snapshots of the
// keys a codec can own; the merit word of a FilterData value.
#pragma once
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <strmif.h>

#include <cstdint>
#include <string>
#include <vector>

// The Instance keys of the legacy filter category and the video compressor
// category, with their trailing separator.
extern const wchar_t kLegacyInstance[];
extern const wchar_t kVideoCompressorInstance[];
// The same form for any category: CLSID\{category}\Instance\ .
std::wstring InstancePathOf(const GUID& category);

std::wstring NewGuidText();
std::wstring GuidText(const GUID& guid);
GUID GuidFromText(const std::wstring& text);

// view: 0 (the caller's own), KEY_WOW64_64KEY or KEY_WOW64_32KEY.
bool KeyExists(const std::wstring& path, REGSAM view = 0);
bool CreateKeyPath(const std::wstring& path);
// Writes a value, creating its key (and the keys above it) when missing.
bool WriteValue(const std::wstring& keyPath, const wchar_t* valueName, DWORD type, const void* data, DWORD size);
bool WriteText(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& value, DWORD type = REG_SZ);
std::vector<BYTE> ReadBytes(const std::wstring& keyPath, const wchar_t* valueName);
std::vector<std::wstring> SubkeyNames(const std::wstring& path);
void DeleteTree(const std::wstring& path, REGSAM view = 0);
// A registry link at path to the key target (a path under HKEY_CLASSES_ROOT,
// in the caller's own view); a link whose target does not exist is
// enumerated, but it cannot be opened. Removed only by DeleteLink.
bool CreateLink(const std::wstring& path, const std::wstring& target);
bool CreateBrokenLink(const std::wstring& path);
bool DeleteLink(const std::wstring& path);

// A link made for one scenario and removed (the link alone) when it ends,
// before the keys it lies in are cleaned up.
struct ScratchLink {
    std::wstring path;
    bool made;
    ScratchLink(const std::wstring& at, const std::wstring& target) : path(at), made(CreateLink(at, target)) {}
    ~ScratchLink() {
        if (made) DeleteLink(path);
    }
};

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

// Keys removed again, with their subtrees, when the owner goes (last owned first).
class RegistryScratch {
public:
    RegistryScratch() = default;
    RegistryScratch(const RegistryScratch&) = delete;
    RegistryScratch& operator=(const RegistryScratch&) = delete;
    ~RegistryScratch();
    // Remembers a key path to delete (with its subtree) at the end.
    void Own(const std::wstring& path);
    bool SetText(const std::wstring& keyPath, const wchar_t* valueName, const std::wstring& value,
                 DWORD type = REG_SZ);
    bool SetBytes(const std::wstring& keyPath, const wchar_t* valueName, const void* data, DWORD size,
                  DWORD type = REG_BINARY);
    bool CreateKey(const std::wstring& keyPath);

private:
    std::vector<std::wstring> owned_;
};

// Every key a codec can own, as full paths, sorted: the class keys, the
// Instance entries of the legacy and video compressor categories, and the DMO
// registrations.
std::vector<std::wstring> CodecKeySnapshot();
// The paths of `before` that `after` no longer holds.
std::vector<std::wstring> MissingKeys(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after);
// What changed between two snapshots, for failure messages: "gone [..]; new [..]".
std::wstring SnapshotChange(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after);

// The merit word (bytes 4 to 7) of a FilterData value, written as the program
// writes merits ("0x00600000"); a value too short to hold one gives what was
// read instead ("(5 bytes)").
std::wstring MeritWordText(const std::vector<BYTE>& filterData);
// The same for the FilterData value of an Instance entry.
std::wstring FilterDataMerit(const std::wstring& instancePath);

// The FilterData record the runtime's filter mapper serialises for filter
// (IAMFilterData::CreateFilterData); empty when the runtime cannot make it.
std::vector<BYTE> MapperFilterData(const REGFILTER2& filter);
