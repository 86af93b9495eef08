// Shared ground of the component tests: a real main window (combobox and
// list) in this process, an observer that answers message boxes, and filters
// registered through the real filter mapper. Registry states and texts come
// from tests/common.
#pragma once
#include "../../base/app_state.h"
#include "../common/test_registry.h"
#include "../common/test_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// Two texts compared as UTF-8, so that a failure shows both as readable text
// (GoogleTest prints wide texts as escapes).
#define EXPECT_TEXT_EQ(expected, actual) EXPECT_EQ(Utf8(expected), Utf8(actual))

// A LookupKind prints by its name in failure messages.
inline void PrintTo(LookupKind kind, std::ostream* out) {
    switch (kind) {
    case LookupNone: *out << "LookupNone"; break;
    case LookupInstanceKey: *out << "LookupInstanceKey"; break;
    case LookupClassKey: *out << "LookupClassKey"; break;
    default: *out << "LookupKind " << static_cast<int>(kind); break;
    }
}

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
