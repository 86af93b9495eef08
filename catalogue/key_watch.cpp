#include "key_watch.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"

#include <cwchar>

bool KeyWatch::Arm(HKEY root, const wchar_t* path) {
    Disarm();
    if (!changed_) {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!event) return false;
        *changed_.Put() = event;
    } else if (!ResetEvent(changed_.Get())) {
        return false;
    }
    wchar_t watched[kNameCapacity];
    CopyText(watched, kNameCapacity, path);
    bool whole = true;
    for (;;) {
        const LONG status = RegOpenKeyExW(root, watched, 0, KEY_NOTIFY, key_.Put());
        if (status == ERROR_SUCCESS) break;
        wchar_t* parent = std::wcsrchr(watched, L'\\');
        if (status != ERROR_FILE_NOT_FOUND || !parent) return false;
        *parent = L'\0';
        whole = false;
    }
    const DWORD filter = whole ? REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET : REG_NOTIFY_CHANGE_NAME;
    armed_ = RegNotifyChangeKeyValue(key_.Get(), whole ? TRUE : FALSE, filter, changed_.Get(), TRUE) == ERROR_SUCCESS;
    if (!armed_) key_.Close();
    return armed_;
}

bool KeyWatch::Fired() const { return !armed_ || WaitForSingleObject(changed_.Get(), 0) != WAIT_TIMEOUT; }

void KeyWatch::Disarm() {
    armed_ = false;
    key_.Close();
}
