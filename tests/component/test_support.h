// Shared ground of the component tests: a real main window (combobox and
// list) in this process, an observer that answers message boxes, and
// registry states made under fresh random class ids and removed afterwards.
#pragma once
#include "../../app/app_state.h"
#include "../common/test_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Creates the main window and its controls once per test process.
void EnsureMainWindow();

// Selects a category row without notifying anybody, as the scan does.
void SelectCategory(int row);

struct ShownMessage {
    HWND owner;
    std::wstring text;
    std::wstring caption;  // "(default)" when none was given
    UINT style;
};

// Records every message box instead of showing it, answering with `answer`.
class MessageRecorder {
public:
    explicit MessageRecorder(int answer = IDOK);
    ~MessageRecorder();
    const std::vector<ShownMessage>& Shown() const;
    std::wstring Texts() const;  // all texts, for failure messages
};

GUID GuidFromText(const std::wstring& text);

// Keys under HKEY_CLASSES_ROOT removed again when the owner goes.
class RegistryScratch {
public:
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


extern const wchar_t kLegacyCategoryText[];  // registry form, lower-case "d"
std::wstring LegacyInstancePath();            // CLSID\{...}\Instance\ (with the trailing separator)

// Registers a filter through the real filter mapper (so that the runtime writes
// a real FilterData) and removes it again in the destructor.
class MapperFilter {
public:
    MapperFilter(const std::wstring& name, DWORD merit, const GUID& category = CLSID_LegacyAmFilterCategory);
    ~MapperFilter();
    const std::wstring& ClassId() const { return classId_; }
    std::wstring InstancePath() const;
    bool Registered() const { return registered_; }

private:
    std::wstring classId_;
    GUID clsid_{};
    GUID category_;
    bool registered_ = false;
};
