#include "decoder_choice.h"

#include "../base/bounded_text.h"
#include "../base/list_view.h"
#include "../base/message_box.h"
#include "../catalogue/media_subtype_name.h"
#include "../catalogue/registry_text.h"
#include "../merit/merit.h"
#include "../resources/resource.h"

#include <cwchar>
#include <iterator>

namespace {

const wchar_t* const kCandidateColumns[] = {L"Фильтр", L"Приоритет", L"Файл фильтра", L"Класс"};
constexpr int kCandidateColumnCount = static_cast<int>(std::size(kCandidateColumns));

struct DecoderChoice {
    const DecoderSource* source;
    REGSAM view;
    GUID subtype;
    DecoderCandidates candidates;
    wchar_t* classId;  // kPreferenceTextCapacity characters
};

void FillCandidates(HWND dialog, DecoderChoice& choice) {
    HWND list = GetDlgItem(dialog, IDC_DECODER_LIST);
    SetUpReportColumns(list, kCandidateColumns, kCandidateColumnCount);
    choice.source->listCandidates(choice.view, choice.subtype, choice.candidates);
    for (SIZE_T i = 0; i < choice.candidates.Count(); ++i) {
        const DecoderCandidate& candidate = choice.candidates[i];
        wchar_t name[kNameCapacity];
        CopyText(name, kNameCapacity, candidate.name[0] ? candidate.name : L"(без имени)");
        if (candidate.anyFormat) AppendText(name, kNameCapacity, L" (любой формат)");
        wchar_t merit[kNameCapacity];
        FormatMeritValue(candidate.merit, merit);
        const wchar_t* cells[] = {name, merit, candidate.file, candidate.classId};
        AppendReportRow(list, cells, kCandidateColumnCount);
    }
    FitReportColumns(list, kCandidateColumns, kCandidateColumnCount);
    if (choice.candidates.Count() > 0) ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    wchar_t format[kShortTextCapacity];
    NameMediaSubtype(choice.subtype, format, kShortTextCapacity);
    wchar_t caption[kNameCapacity];
    FormatText(caption, kNameCapacity, L"Выбор декодера: %ls", format);
    SetWindowTextW(dialog, caption);
}

// What both choice dialogs do with their buttons: OK ends the dialog when
// accept takes the choice; Отмена and the close box end it without one.
INT_PTR EndChoice(HWND dialog, UINT message, WPARAM wParam, bool (*accept)(HWND dialog)) {
    const bool ok = message == WM_COMMAND && LOWORD(wParam) == IDOK;
    const bool cancel = (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE;
    if (ok && accept(dialog)) EndDialog(dialog, IDOK);
    if (cancel) EndDialog(dialog, IDCANCEL);
    return message == WM_COMMAND || message == WM_CLOSE;
}

bool AcceptCandidate(HWND dialog) {
    auto* choice = reinterpret_cast<DecoderChoice*>(GetWindowLongPtrW(dialog, DWLP_USER));
    const int row = SelectedReportRow(GetDlgItem(dialog, IDC_DECODER_LIST));
    if (!choice || row < 0 || static_cast<SIZE_T>(row) >= choice->candidates.Count()) {
        ShowMessageBox(dialog, L"Не выбран кодек", nullptr, MB_OK);
        return false;
    }
    CopyText(choice->classId, kPreferenceTextCapacity, choice->candidates[row].classId);
    return true;
}

INT_PTR CALLBACK DecoderChoiceDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        FillCandidates(dialog, *reinterpret_cast<DecoderChoice*>(lParam));
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_DECODER_LIST && header->code == NM_DBLCLK) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    default:
        return EndChoice(dialog, message, wParam, AcceptCandidate);
    }
}

// The combobox rows of dialog 139: "H.264  {34363248-0000-0010-8000-00AA00389B71}".
void AddNamedFormat(const GUID& subtype, const wchar_t* name, void* context) {
    wchar_t guid[40] = {};
    StringFromGUID2(subtype, guid, 40);
    wchar_t row[kNameCapacity];
    FormatText(row, kNameCapacity, L"%ls  %ls", name, guid);
    SendMessageW(static_cast<HWND>(context), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
}

// The subtype the text names: the first GUID in braces in it, else the
// first named subtype whose name is the whole text.
struct NameLookup {
    const wchar_t* text;
    GUID found;
    bool matched;
};

void MatchNamedFormat(const GUID& subtype, const wchar_t* name, void* context) {
    auto* lookup = static_cast<NameLookup*>(context);
    if (!lookup->matched && lstrcmpiW(name, lookup->text) == 0) {
        lookup->found = subtype;
        lookup->matched = true;
    }
}

bool ParseFormatText(wchar_t* text, GUID& subtype) {
    // Blanks around what was typed do not count.
    while (*text == L' ') ++text;
    for (std::size_t n = std::wcslen(text); n > 0 && text[n - 1] == L' '; --n) text[n - 1] = L'\0';
    const wchar_t* brace = std::wcschr(text, L'{');
    if (brace) {
        wchar_t guid[39];
        CopyText(guid, 39, brace);
        return IsGuidText(guid) && SUCCEEDED(IIDFromString(guid, &subtype));
    }
    NameLookup lookup = {text, GUID_NULL, false};
    ForEachNamedSubtype(MatchNamedFormat, &lookup);
    if (lookup.matched) subtype = lookup.found;
    return lookup.matched;
}

bool AcceptFormat(HWND dialog) {
    wchar_t text[kNameCapacity] = {};
    GetDlgItemTextW(dialog, IDC_FORMAT_TEXT, text, kNameCapacity);
    text[kNameCapacity - 1] = L'\0';
    auto* subtype = reinterpret_cast<GUID*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (ParseFormatText(text, *subtype)) return true;
    ShowMessageBox(dialog, L"Выберите формат из списка или введите GUID подтипа в фигурных скобках.", nullptr,
                   MB_ICONWARNING);
    return false;
}

INT_PTR CALLBACK FormatChoiceDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return EndChoice(dialog, message, wParam, AcceptFormat);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    ForEachNamedSubtype(AddNamedFormat, GetDlgItem(dialog, IDC_FORMAT_TEXT));
    return TRUE;
}

}  // namespace

bool ChooseDecoder(HWND owner, const DecoderSource& source, REGSAM view, const GUID& subtype,
                   wchar_t (&classId)[kPreferenceTextCapacity]) {
    DecoderChoice choice = {&source, view, subtype, {}, classId};
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_DECODER_CHOICE), owner, DecoderChoiceDialog,
                           reinterpret_cast<LPARAM>(&choice)) == IDOK;
}

bool ChooseFormat(HWND owner, GUID& subtype) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FORMAT_CHOICE), owner, FormatChoiceDialog,
                           reinterpret_cast<LPARAM>(&subtype)) == IDOK;
}

void NamePreferenceFormat(const wchar_t* valueName, wchar_t* text, std::size_t capacity) {
    GUID subtype;
    if (IsGuidText(valueName) && SUCCEEDED(IIDFromString(valueName, &subtype))) {
        NameMediaSubtype(subtype, text, capacity);
    } else {
        CopyText(text, capacity, valueName);
    }
}
