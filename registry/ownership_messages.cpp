#include "ownership_messages.h"

#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../base/line_safety.h"
#include "../base/message_box.h"

#include <cstddef>
#include <cwchar>

const wchar_t kTakeOwnershipQuestion[] =
    L"Раздел реестра принадлежит системе (TrustedInstaller). Временно стать его владельцем, чтобы изменить "
    L"запись? Владелец и права раздела будут восстановлены.";

namespace {

const wchar_t kConfirmCaption[] = L"Подтвердите действие";
constexpr std::size_t kSystemTextCapacity = 256;

// The programs that read the key: a key below Wow6432Node is the 32-bit
// programs' on 64-bit Windows, any other key the 64-bit programs' there; on
// 32-bit Windows every key is the 32-bit programs'.
const wchar_t* KeyViewText(const wchar_t* keyName) {
    bool wow = false;
    for (const wchar_t* at = keyName; *at != L'\0' && !wow;) {
        const wchar_t* end = std::wcschr(at, L'\\');
        const std::size_t length = end ? static_cast<std::size_t>(end - at) : std::wcslen(at);
        wow = CompareStringOrdinal(at, static_cast<int>(length), L"Wow6432Node", -1, TRUE) == CSTR_EQUAL;
        at = end ? end + 1 : at + length;
    }
    BOOL wow64 = FALSE;
    const bool sixtyFourBitWindows = sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    return wow || !sixtyFourBitWindows ? L"(32-разрядные программы)" : L"(64-разрядные программы)";
}

}  // namespace

bool AskToTakeOwnership(HWND owner, const wchar_t* keyName) {
    GrowingText text;
    AppendString(text, kTakeOwnershipQuestion);
    if (keyName) {
        AppendString(text, L"\n\n");
        AppendSafeInLine(text, keyName, L'?');
        AppendString(text, L"\n");
        AppendString(text, KeyViewText(keyName));
    }
    if (text.failed) return false;
    return ShowMessageBox(owner, TextChars(text), kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ShowOwnershipFailure(HWND owner, const wchar_t* lead, const OwnershipResult& result) {
    wchar_t system[kSystemTextCapacity] = {};
    if (result.error != ERROR_SUCCESS) {
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(result.error), 0, system, kSystemTextCapacity, nullptr);
        system[kSystemTextCapacity - 1] = L'\0';
        // The system's text ends with a line break of its own.
        for (std::size_t n = std::wcslen(system); n > 0 && (system[n - 1] == L'\n' || system[n - 1] == L'\r'); --n) {
            system[n - 1] = L'\0';
        }
    }
    GrowingText text;
    AppendString(text, lead);
    AppendString(text, L"\nНе удался шаг: ");
    AppendString(text, OwnershipStepText(result.failedStep));
    AppendString(text, L".");
    if (result.error != ERROR_SUCCESS) {
        wchar_t code[64];
        FormatText(code, 64, L" (ошибка %ld)", static_cast<long>(result.error));
        AppendString(text, L"\n");
        AppendString(text, system);
        AppendString(text, code);
    }
    if (result.securityLeftChanged) {
        AppendString(text, L"\nВладелец и права раздела не совпадают с прежними.\nБыли: ");
        AppendString(text, TextChars(result.before));
        AppendString(text, L"\nСейчас: ");
        AppendString(text, result.after.length ? TextChars(result.after) : L"?");
    } else if (result.failedStep > OwnershipTakeOwner) {
        AppendString(text, L"\nВладелец и права раздела восстановлены.");
    }
    ShowMessageBox(owner, TextChars(text), nullptr, MB_ICONERROR);
}
