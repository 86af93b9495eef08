#include "report_saving.h"

const wchar_t kSaveTitle[] = L"Сохранить отчет";
const wchar_t kSavedCaption[] = L"Отчет сохранен";

namespace {

constexpr int kFileNameCombo = 0x47C;  // the save dialog's file name field (cmb13)
constexpr int kFileNameEdit = 0x480;   // the same in the older template (edt1)

}  // namespace

SaveOutcome SaveReport(ProgramUnderTest& program, const std::wstring& path, int answer, const wchar_t* look) {
    return SaveReportThrough(program, [&] { program.PostCommand(IDM_SAVE_REPORT); }, path, answer, look);
}

SaveOutcome SaveReportThrough(ProgramUnderTest& program, const std::function<void()>& open, const std::wstring& path,
                              int answer, const wchar_t* look) {
    SaveOutcome outcome;
    open();
    HWND dialog = program.WaitForDialog(kSaveTitle);
    if (!dialog) return outcome;
    outcome.dialogSeen = true;
    const int field = GetDlgItem(dialog, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
    outcome.defaultName = ControlText(dialog, field);
    if (look) LookPoint((std::wstring(look) + L"-dialog").c_str());
    SetDlgItemTextW(dialog, field, path.c_str());
    PressButton(dialog, IDOK);
    HWND box = nullptr;
    const bool answered = WaitUntil([&] {
        for (HWND shown : program.VisibleDialogs()) {
            if (shown == dialog || !GetDlgItem(shown, kMessageBoxTextId)) continue;
            if (IsWindowVisible(dialog)) {
                // The dialog's own question whether to replace the file.
                PressButton(shown, IDYES);
                return false;
            }
            box = shown;
            return true;
        }
        return false;
    }, 60000);
    if (!answered) return outcome;
    outcome.caption = WindowText(box);
    outcome.text = MessageBoxText(box);
    if (look) LookPoint((std::wstring(look) + L"-box").c_str());
    PressButton(box, GetDlgItem(box, answer) ? answer : IDOK);
    program.WaitDialogGone(box);
    return outcome;
}

std::wstring Describe(const SaveOutcome& outcome) {
    return L"dialog " + std::wstring(outcome.dialogSeen ? L"seen" : L"not seen") + L", [" + outcome.caption + L": " +
           outcome.text + L"]";
}

