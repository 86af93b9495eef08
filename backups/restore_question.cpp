#include "restore_question.h"

#include "../base/line_safety.h"
#include "../base/message_box.h"
#include "../registry/removal_report.h"
#include "../resources/resource.h"

#include <cwchar>

namespace {

const wchar_t kQuestion[] = L"Восстановить записи реестра из резервной копии?";
const wchar_t kConfirmCaption[] = L"Подтвердите действие";
const wchar_t kKeysStayEmpty[] =
    L"Разделы, которых нет в реестре, будут созданы. Если потом восстановить резервную копию этого восстановления, "
    L"записанные в них значения будут удалены, а сами разделы останутся (пустыми).";
constexpr int kTextMargin = 8;  // pixels beside the widest row of the list

// The question's words above its lines: the question, and whether keys are made.
void AppendHeading(GrowingText& text, const RestoreQuestion& question) {
    AppendString(text, kQuestion);
    if (question.createsKeys) {
        AppendChar(text, L'\n');
        AppendString(text, kKeysStayEmpty);
    }
}

template <typename Visitor>
void ForEachLine(const RestoreQuestion& question, Visitor&& visit) {
    const wchar_t* line = TextChars(question.lines);
    for (std::size_t i = 0; i < question.count; ++i) {
        visit(line);
        line += std::wcslen(line) + 1;
    }
}

void FillList(HWND dialog, const RestoreQuestion& question) {
    HWND list = GetDlgItem(dialog, IDC_RESTORE_QUESTION_LIST);
    HDC context = GetDC(list);
    const HGDIOBJ previous = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    ForEachLine(question, [&](const wchar_t* line) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
        SIZE size = {};
        if (GetTextExtentPoint32W(context, line, static_cast<int>(std::wcslen(line)), &size) && size.cx > widest) {
            widest = size.cx;
        }
    });
    SelectObject(context, previous);
    ReleaseDC(list, context);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + kTextMargin), 0);
    // Whole rows only, so that no row shows cut at the bottom: the list is
    // made as much lower as its last partly shown row takes.
    RECT outer = {};
    RECT inner = {};
    const LRESULT rowHeight = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    if (rowHeight > 0 && GetWindowRect(list, &outer) && GetClientRect(list, &inner)) {
        const LONG cut = (inner.bottom - inner.top) % static_cast<LONG>(rowHeight);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&outer), 2);
        SetWindowPos(list, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top - cut,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace

void AddQuestionLine(RestoreQuestion& question, const wchar_t* line) {
    AppendSafeInLine(question.lines, line, L'?');
    AppendChar(question.lines, L'\0');
    ++question.count;
}

INT_PTR CALLBACK RestoreQuestionDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto& question = *reinterpret_cast<const RestoreQuestion*>(lParam);
        GrowingText heading;
        AppendHeading(heading, question);
        SetDlgItemTextW(dialog, IDC_RESTORE_QUESTION_TEXT, TextChars(heading));
        SendDlgItemMessageW(dialog, IDC_RESTORE_QUESTION_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
        FillList(dialog, question);
        SetFocus(GetDlgItem(dialog, IDYES));  // the default button, as in a message box
        return FALSE;
    }
    case WM_CLOSE:
        EndDialog(dialog, IDNO);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES: EndDialog(dialog, IDYES); break;
        case IDNO:
        case IDCANCEL: EndDialog(dialog, IDNO); break;
        default: break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

bool AskToRestore(HWND owner, const RestoreQuestion& question) {
    if (question.lines.failed) return false;
    if (question.count <= kListedKeysAtMost) {
        GrowingText text;
        AppendHeading(text, question);
        AppendChar(text, L'\n');  // a blank line between the question and its keys
        ForEachLine(question, [&](const wchar_t* line) {
            AppendChar(text, L'\n');
            AppendString(text, line);
        });
        if (text.failed) return false;
        return ShowMessageBox(owner, TextChars(text), kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_RESTORE_QUESTION), owner,
                           RestoreQuestionDialog, reinterpret_cast<LPARAM>(&question)) == IDYES;
}
