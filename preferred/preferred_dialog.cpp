#include "preferred_dialog.h"

#include "../backups/registry_backup.h"
#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/list_view.h"
#include "../base/message_box.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_text.h"
#include "../resources/resource.h"
#include "decoder_choice.h"
#include "decoder_source.h"

#include <algorithm>
#include <iterator>

namespace {

const wchar_t* const kColumns[] = {L"Формат", L"Фильтр", L"Файл фильтра", L"Класс"};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

// One value of the key, as the list shows it; or, for Media Foundation, one
// of its DoNotUse key, which the list shows and the program never writes.
struct PreferredRow {
    wchar_t valueName[kPreferenceTextCapacity];
    wchar_t format[kShortTextCapacity];
    wchar_t filter[kNameCapacity];
    wchar_t file[kNameCapacity];
    wchar_t classText[kPreferenceTextCapacity];
    bool blocked;
    bool link;  // the row of a key that is a registry link, never gone through
};

const wchar_t kBlockedFormat[] = L"отключен (DoNotUse)";

struct PreferredDialogState {
    const DecoderSource* source = &kDirectShowDecoders;
    REGSAM view = 0;
    HeapArray<PreferredRow> rows;
    bool keyIsLink = false;  // the chosen list's key is a registry link
};
PreferredDialogState g_preferred;

bool OnSixtyFourBitWindows() {
    if (sizeof(void*) == 8) return true;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

void DescribeRow(const DecoderSource& source, REGSAM view, const PreferenceValue& value, PreferredRow& row) {
    row = PreferredRow{};
    CopyText(row.valueName, kPreferenceTextCapacity, value.name);
    NamePreferenceFormat(value.name, row.format, kShortTextCapacity);
    CopyText(row.classText, kPreferenceTextCapacity, value.data);
    if (!value.usable) {
        CopyText(row.filter, kNameCapacity, L"запись не действует");
        return;
    }
    if (!source.nameHandler(view, value.data, row.filter)) CopyText(row.filter, kNameCapacity, L"не зарегистрирован");
    source.describeFile(view, value.data, row.file);
}

// Media Foundation's DoNotUse: its entries shown after the preferred ones.
// Its value format is not documented, so the program only reads it.
void AddBlockedTransforms() {
    const KeyOpening opening = ForEachBlockedTransform(g_preferred.view, [](const wchar_t* classId) {
        PreferredRow row = {};
        CopyText(row.format, kShortTextCapacity, kBlockedFormat);
        CopyText(row.classText, kPreferenceTextCapacity, classId);
        if (!kMediaFoundationDecoders.nameHandler(g_preferred.view, classId, row.filter)) {
            CopyText(row.filter, kNameCapacity, L"не зарегистрирован");
        }
        kMediaFoundationDecoders.describeFile(g_preferred.view, classId, row.file);
        row.blocked = true;
        g_preferred.rows.Append(row);
    });
    if (opening == KeyIsLink) {
        PreferredRow row = {};
        CopyText(row.format, kShortTextCapacity, kBlockedFormat);
        CopyText(row.filter, kNameCapacity, kLinkNotOpenedStatus);
        row.blocked = true;
        g_preferred.rows.Append(row);
    }
}

void FillRows(HWND dialog) {
    g_preferred.rows.Clear();
    const KeyOpening opening =
        ForEachPreferenceValue(SourceKey(*g_preferred.source, g_preferred.view), [](const PreferenceValue& value) {
            PreferredRow row;
            DescribeRow(*g_preferred.source, g_preferred.view, value, row);
            g_preferred.rows.Append(row);
        });
    // A key that is a link is shown as one, and nothing of what it points to.
    g_preferred.keyIsLink = opening == KeyIsLink;
    if (g_preferred.keyIsLink) {
        PreferredRow row = {};
        CopyText(row.format, kShortTextCapacity, kLinkNotOpenedStatus);
        row.link = true;
        g_preferred.rows.Append(row);
    }
    PreferredRow* rows = g_preferred.rows.Data();
    std::stable_sort(rows, rows + g_preferred.rows.Count(), [](const PreferredRow& a, const PreferredRow& b) {
        return lstrcmpiW(a.format, b.format) < 0;
    });
    if (g_preferred.source == &kMediaFoundationDecoders) AddBlockedTransforms();
    HWND list = GetDlgItem(dialog, IDC_PREFERRED_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    for (SIZE_T i = 0; i < g_preferred.rows.Count(); ++i) {
        const PreferredRow& row = g_preferred.rows[i];
        const wchar_t* cells[] = {row.format, row.filter, row.file, row.classText};
        AppendReportRow(list, cells, kColumnCount);
    }
    FitReportColumns(list, kColumns, kColumnCount);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// The lists 1311 offers: each framework's preferred decoders for 64-bit and
// for 32-bit programs, each read and written in its own registry view.
struct ViewChoice {
    const wchar_t* text;
    const DecoderSource* source;
    REGSAM view;
};
const ViewChoice kViewChoices[] = {
    {L"DirectShow, 64-разрядные программы", &kDirectShowDecoders, KEY_WOW64_64KEY},
    {L"DirectShow, 32-разрядные программы", &kDirectShowDecoders, KEY_WOW64_32KEY},
    {L"Media Foundation, 64-разрядные программы", &kMediaFoundationDecoders, KEY_WOW64_64KEY},
    {L"Media Foundation, 32-разрядные программы", &kMediaFoundationDecoders, KEY_WOW64_32KEY},
};

// The program's own width first within each framework; on 32-bit Windows,
// which has one registry view, only the 32-bit lists, read in the program's own view.
void SetUpViews(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_PREFERRED_VIEW);
    const bool both = OnSixtyFourBitWindows();
    const REGSAM own = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    for (const DecoderSource* source : {&kDirectShowDecoders, &kMediaFoundationDecoders}) {
        for (const bool ownWidth : {true, false}) {
            if (!ownWidth && !both) continue;
            for (int i = 0; i < static_cast<int>(std::size(kViewChoices)); ++i) {
                const ViewChoice& choice = kViewChoices[i];
                if (choice.source != source || (choice.view == own) != ownWidth) continue;
                const LRESULT at = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.text));
                SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));
            }
        }
    }
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    g_preferred.source = &kDirectShowDecoders;
    g_preferred.view = both ? own : 0;
}

void OnViewChosen(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_PREFERRED_VIEW);
    const LRESULT row = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (row == CB_ERR) return;
    const LRESULT choice = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(row), 0);
    if (choice < 0 || choice >= static_cast<LRESULT>(std::size(kViewChoices))) return;
    g_preferred.source = kViewChoices[choice].source;
    g_preferred.view = OnSixtyFourBitWindows() ? kViewChoices[choice].view : 0;
    FillRows(dialog);
}

// The row selected in the list, or null (having said so).
const PreferredRow* SelectedRow(HWND dialog) {
    const int row = SelectedReportRow(GetDlgItem(dialog, IDC_PREFERRED_LIST));
    if (row < 0 || static_cast<SIZE_T>(row) >= g_preferred.rows.Count()) {
        ShowMessageBox(dialog, L"Не выбран формат", nullptr, MB_OK);
        return nullptr;
    }
    return &g_preferred.rows[row];
}

// A DoNotUse row is shown and never written: its value format is not documented.
bool RefusedAsBlocked(HWND dialog, const PreferredRow& row) {
    if (!row.blocked) return false;
    ShowMessageBox(dialog, L"Список DoNotUse программа только показывает: его записи не изменяются.", nullptr,
                   MB_ICONINFORMATION);
    return true;
}

// Nothing is written through a link: the list's key, or the row's, is one.
bool RefusedAsLink(HWND dialog, bool link) {
    if (!link) return false;
    ShowMessageBox(dialog, kLinkNotWritten, nullptr, MB_ICONERROR);
    return true;
}

// The one way a preferred decoder changes: the backup is named after the
// format. Only a GUID's text is written, as the only data Windows takes.
PreferenceChangeEnd ChangeDecoderValue(HWND owner, const DecoderSource& source, REGSAM view, const wchar_t* valueName,
                                       const wchar_t* classId) {
    if (classId && !IsGuidText(classId)) {
        ShowMessageBox(owner, L"Не выбран кодек", nullptr, MB_OK);
        return PreferenceNotChanged;
    }
    wchar_t format[kShortTextCapacity];
    NamePreferenceFormat(valueName, format, kShortTextCapacity);
    // Named after the format, or the subtype's GUID where the file system refuses that name.
    const PreferenceBackUp backUp = [&](HKEY key, const wchar_t* name, const wchar_t* sddl) {
        return BackUpRegistryValue(owner, BackupPreferredChange, key, name, sddl, format, valueName);
    };
    return ChangePreferenceValue(owner, SourceKey(source, view), valueName, classId, backUp);
}

// Changes the value and shows the key again; a restart closes the dialog.
void Change(HWND dialog, const wchar_t* valueName, const wchar_t* classId) {
    const PreferenceChangeEnd end = ChangeDecoderValue(dialog, *g_preferred.source, g_preferred.view, valueName, classId);
    if (end == PreferenceClosing) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    FillRows(dialog);
}

void ChooseAndChange(HWND dialog, const GUID& subtype) {
    wchar_t classId[kPreferenceTextCapacity] = {};
    if (!ChooseDecoder(dialog, *g_preferred.source, g_preferred.view, subtype, classId)) return;
    wchar_t valueName[40] = {};
    StringFromGUID2(subtype, valueName, 40);
    Change(dialog, valueName, classId);
}

void OnChange(HWND dialog) {
    const PreferredRow* row = SelectedRow(dialog);
    if (!row || RefusedAsBlocked(dialog, *row) || RefusedAsLink(dialog, row->link)) return;
    GUID subtype;
    if (!IsGuidText(row->valueName) || FAILED(IIDFromString(row->valueName, &subtype))) {
        // Windows takes no format from this value's name; it can only be removed.
        ShowMessageBox(dialog, L"Имя записи не является GUID формата: запись можно только удалить.", nullptr,
                       MB_ICONWARNING);
        return;
    }
    ChooseAndChange(dialog, subtype);
}

void OnAdd(HWND dialog) {
    if (RefusedAsLink(dialog, g_preferred.keyIsLink)) return;
    GUID subtype = GUID_NULL;
    if (ChooseFormat(dialog, subtype)) ChooseAndChange(dialog, subtype);
}

void OnRemove(HWND dialog) {
    const PreferredRow* row = SelectedRow(dialog);
    if (!row || RefusedAsBlocked(dialog, *row) || RefusedAsLink(dialog, row->link)) return;
    wchar_t question[kNameCapacity];
    FormatText(question, kNameCapacity,
               L"Удалить предпочтительный декодер формата %ls? Windows будет выбирать декодер по приоритету.",
               row->format);
    if (ShowMessageBox(dialog, question, L"Подтвердите действие", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    wchar_t valueName[kPreferenceTextCapacity];
    CopyText(valueName, kPreferenceTextCapacity, row->valueName);
    Change(dialog, valueName, nullptr);
}

INT_PTR CALLBACK PreferredDecodersDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetUpReportColumns(GetDlgItem(dialog, IDC_PREFERRED_LIST), kColumns, kColumnCount);
        SetUpViews(dialog);
        FillRows(dialog);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PREFERRED_VIEW:
            if (HIWORD(wParam) == CBN_SELCHANGE) OnViewChosen(dialog);
            break;
        case IDC_PREFERRED_CHANGE: OnChange(dialog); break;
        case IDC_PREFERRED_ADD: OnAdd(dialog); break;
        case IDC_PREFERRED_REMOVE: OnRemove(dialog); break;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
        default: break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void OpenPreferredDecodersDialog() {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PREFERRED_DECODERS), g_app.mainWindow,
                    PreferredDecodersDialog, 0);
    g_preferred.rows.Clear();
}

PreferenceChangeEnd MakePreferredDecoder(HWND owner, const GUID& subtype, const wchar_t* classId) {
    wchar_t valueName[40] = {};
    StringFromGUID2(subtype, valueName, 40);
    return ChangeDecoderValue(owner, kDirectShowDecoders, 0, valueName, classId);
}

bool IsPreferredDecoder(const GUID& subtype, const wchar_t* classId) {
    wchar_t valueName[40] = {};
    StringFromGUID2(subtype, valueName, 40);
    bool preferred = false;
    ForEachPreferenceValue(SourceKey(kDirectShowDecoders, 0), [&](const PreferenceValue& value) {
        preferred = preferred || (value.usable && lstrcmpiW(value.name, valueName) == 0 &&
                                  lstrcmpiW(value.data, classId) == 0);
    });
    return preferred;
}
