#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../catalogue/playback_preferences.h"
#include "../transforms/transform_categories.h"
#include "../transforms/transform_list.h"
#include "report_sections.h"
#include "report_text.h"

namespace {

constexpr wchar_t kRowIndent[] = L"       ";

// "{id}  name", the name as the view's transform or class key gives it.
void AppendTransformByClassId(GrowingText& text, REGSAM view, const wchar_t* classId) {
    AppendField(text, classId);
    AppendString(text, L"  ");
    wchar_t name[kNameCapacity];
    AppendField(text, ReadTransformName(view, classId, name, kNameCapacity) ? name : L"не зарегистрирован");
    AppendLine(text);
}

void AppendRow(GrowingText& text, ReportProblems& problems, const TransformRow& row, unsigned number) {
    AppendNumberedName(text, number, row.name);
    AppendLine(text);
    AppendLabelled(text, kRowIndent, L"Класс:", row.classId[0] ? row.classId : L"(не указан)");
    if (row.type[0] != L'\0') AppendLabelled(text, kRowIndent, L"Тип:", row.type);
    AppendLabelled(text, kRowIndent, L"Входные:", row.inputs[0] ? row.inputs : L"(нет)");
    AppendLabelled(text, kRowIndent, L"Выходные:", row.outputs[0] ? row.outputs : L"(нет)");
    if (row.file[0] != L'\0') AppendLabelled(text, kRowIndent, L"Файл:", row.file);
    if (row.note[0] != L'\0') AppendLabelled(text, kRowIndent, L"Примечание:", row.note);
    AppendStatus(text, problems, row.name, row.status);
}

}  // namespace

void AppendMediaFoundationTransforms(GrowingText& text, ReportProblems& problems, const ReportView& view) {
    AppendLine(text, L"Кодеки Media Foundation (HKCR\\MediaFoundation\\Transforms):");
    AppendLine(text);
    // The view is read once, as dialog 133 reads it; each category then shows its rows in their order.
    TransformList rows;
    ReadViewTransforms(view.flag, rows);
    if (rows.failed) text.failed = true;
    for (int category = 0; category < kTransformCategoryCount; ++category) {
        wchar_t where[kShortTextCapacity];
        FormatText(where, kShortTextCapacity, L"Media Foundation, %s", kTransformCategories[category].title);
        problems.where = where;
        AppendString(text, kTransformCategories[category].title);
        AppendLine(text, L":");
        unsigned number = 0;
        for (std::size_t i = 0; i < rows.count; ++i) {
            const TransformRow& row = TransformAt(rows, i);
            if (row.category == category) AppendRow(text, problems, row, ++number);
        }
        if (number == 0) AppendLine(text, L"  (нет)");
        AppendLine(text);
    }
    problems.where = L"";

    AppendLine(text, L"Предпочтительные кодеки Media Foundation (HKLM\\SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred):");
    unsigned count = 0;
    KeyOpening opening = ForEachPreferredTransform(view.flag, [&](const wchar_t* subtypeText, const wchar_t* classId) {
        ++count;
        AppendPreferredSubtype(text, subtypeText);
        AppendTransformByClassId(text, view.flag, classId);
    });
    if (opening == KeyIsLink) {
        AppendString(text, L"  ");
        AppendLine(text, kLinkNotOpenedStatus);
    } else if (count == 0) {
        AppendLine(text, L"  (нет)");
    }
    AppendLine(text);

    AppendLine(text, L"Отключенные кодеки Media Foundation (HKLM\\SOFTWARE\\Classes\\MediaFoundation\\Transforms\\DoNotUse):");
    count = 0;
    opening = ForEachBlockedTransform(view.flag, [&](const wchar_t* classId) {
        ++count;
        AppendString(text, L"  ");
        AppendTransformByClassId(text, view.flag, classId);
    });
    if (opening == KeyIsLink) {
        AppendString(text, L"  ");
        AppendLine(text, kLinkNotOpenedStatus);
    } else if (count == 0) {
        AppendLine(text, L"  (нет)");
    }
    AppendLine(text);
}
