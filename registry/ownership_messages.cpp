#include "ownership_messages.h"

#include "../base/bounded_text.h"
#include "../base/growing_text.h"
#include "../base/message_box.h"

#include <cstddef>
#include <cwchar>

const wchar_t kTakeOwnershipQuestion[] =
    L"Раздел реестра принадлежит системе (TrustedInstaller). Временно стать его владельцем, чтобы изменить "
    L"запись? Владелец и права раздела будут восстановлены.";

namespace {

const wchar_t kConfirmCaption[] = L"Подтвердите действие";
constexpr std::size_t kSystemTextCapacity = 256;

}  // namespace

bool AskToTakeOwnership(HWND owner) {
    return ShowMessageBox(owner, kTakeOwnershipQuestion, kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
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
