// The codec report saved through the program's own save dialog, and values
// planted under HKEY_LOCAL_MACHINE for a scenario.
#pragma once
#include "driver.h"

#include <string>

extern const wchar_t kSaveTitle[];     // "Сохранить отчет"
extern const wchar_t kSavedCaption[];  // "Отчет сохранен"

struct SaveOutcome {
    std::wstring caption, text;  // the message box that followed the dialog
    std::wstring defaultName;    // what the dialog offered as the file name
    bool dialogSeen = false;
};

// Chooses the save command, types path into the save dialog, presses Save,
// answers the overwrite question Yes, and reads the box that follows (its
// answer `answer`). With `look`, a person looks at the dialog and the box.
SaveOutcome SaveReport(ProgramUnderTest& program, const std::wstring& path, int answer = IDNO,
                       const wchar_t* look = nullptr);
// The same for a save dialog that `open` opens (a dialog's button, say).
SaveOutcome SaveReportThrough(ProgramUnderTest& program, const std::function<void()>& open, const std::wstring& path,
                              int answer = IDNO, const wchar_t* look = nullptr);
std::wstring Describe(const SaveOutcome& outcome);

// A value planted under HKEY_LOCAL_MACHINE for one scenario; removed at the
// end, with its key where the scenario made that key.
class PlantedValue {
public:
    PlantedValue(const std::wstring& keyPath, const std::wstring& name, const std::wstring& data, DWORD type = REG_SZ)
        : keyPath_(keyPath), name_(name) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition) != ERROR_SUCCESS) {
            CheckFailed(__FILE__, __LINE__, "key made", keyPath);
            return;
        }
        madeKey_ = disposition == REG_CREATED_NEW_KEY;
        RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~PlantedValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath_.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        RegDeleteValueW(key, name_.c_str());
        RegCloseKey(key);
        if (madeKey_) RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath_.c_str());
    }
    PlantedValue(const PlantedValue&) = delete;
    PlantedValue& operator=(const PlantedValue&) = delete;

private:
    std::wstring keyPath_, name_;
    bool madeKey_ = false;
};

