#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../catalogue/media_subtype_name.h"
#include "../catalogue/playback_preferences.h"
#include "../catalogue/registry_text.h"
#include "../catalogue/view_registry.h"
#include "report_sections.h"
#include "report_text.h"
#include "../catalogue/server_file_facts.h"

namespace {

constexpr wchar_t kIndent[] = L"  ";

// "(нет)" for a key without entries; a key that is a registry link is said to be one.
void AppendNoneIfEmpty(GrowingText& text, unsigned count, KeyOpening opening = KeyOpened) {
    if (opening == KeyIsLink) {
        AppendString(text, L"  ");
        AppendLine(text, kLinkNotOpenedStatus);
    } else if (count == 0) {
        AppendLine(text, L"  (нет)");
    }
    AppendLine(text);
}

}  // namespace

void AppendFilterByClassId(GrowingText& text, REGSAM view, const wchar_t* classId) {
    AppendField(text, classId);
    wchar_t objectName[kNameCapacity];
    wchar_t serverPath[kNameCapacity];
    AppendString(text, L"  ");
    if (!ReadClassFacts(view, classId, objectName, serverPath, kNameCapacity)) {
        AppendString(text, L"не зарегистрирован");
    } else if (objectName[0] == L'\0') {
        AppendString(text, L"(без имени)");
    } else {
        AppendField(text, objectName);
    }
    AppendLine(text);
}

void AppendPreferredSubtype(GrowingText& text, const wchar_t* subtypeText) {
    wchar_t subtype[kShortTextCapacity];
    NameMediaSubtypeText(subtypeText, subtype, kShortTextCapacity);
    AppendString(text, kIndent);
    AppendField(text, subtype);
    AppendString(text, L":  ");
}

void AppendPlaybackPreferences(GrowingText& text, const ReportView& view) {
    AppendLine(text, L"Предпочтительные фильтры (HKLM\\SOFTWARE\\Microsoft\\DirectShow\\Preferred):");
    unsigned count = 0;
    KeyOpening opening = ForEachPreferredFilter(view.flag, [&](const wchar_t* subtypeText, const wchar_t* classId) {
        ++count;
        AppendPreferredSubtype(text, subtypeText);
        AppendFilterByClassId(text, view.flag, classId);
    });
    AppendNoneIfEmpty(text, count, opening);

    AppendLine(text, L"Запрещенные фильтры (HKLM\\SOFTWARE\\Microsoft\\DirectShow\\DoNotUse):");
    count = 0;
    opening = ForEachBlockedFilter(view.flag, [&](const wchar_t* classId) {
        ++count;
        AppendString(text, kIndent);
        AppendFilterByClassId(text, view.flag, classId);
    });
    AppendNoneIfEmpty(text, count, opening);

    AppendLine(text, L"Фильтры-источники по расширениям (HKCR\\Media Type\\Extensions):");
    count = 0;
    ForEachExtensionSource(view.flag, [&](const wchar_t* extension, const wchar_t* classId) {
        ++count;
        AppendString(text, kIndent);
        AppendField(text, extension);
        AppendString(text, L":  ");
        AppendFilterByClassId(text, view.flag, classId);
    });
    AppendNoneIfEmpty(text, count);
}

void AppendMediaObjects(GrowingText& text, const ReportView& view) {
    AppendLine(text, L"Кодеки DMO (HKCR\\DirectShow\\MediaObjects):");
    AppendLine(text);
    unsigned count = 0;
    RegKey directShow;
    RegKey objects;
    if (OpenReportKey(directShow, HKEY_CLASSES_ROOT, L"DirectShow", view.flag) &&
        OpenReportKey(objects, directShow.Get(), L"MediaObjects", view.flag)) {
        ForEachSubkeyName(objects.Get(), [&](const wchar_t* id) {
            // "Categories" lists the DMOs by kind; every other subkey is one DMO.
            if (lstrcmpiW(id, L"Categories") == 0) return false;
            ++count;
            wchar_t name[kNameCapacity] = {};
            RegKey object;
            if (OpenReportKey(object, objects.Get(), id, view.flag)) ReadReportText(object.Get(), nullptr, name, kNameCapacity);
            AppendNumberedName(text, count, name);
            AppendLine(text);
            wchar_t classId[kShortTextCapacity + 2];
            FormatText(classId, kShortTextCapacity + 2, L"{%s}", id);
            AppendLabelled(text, L"       ", L"Класс:", classId);
            wchar_t objectName[kNameCapacity];
            wchar_t serverPath[kNameCapacity];
            DWORD serverType = REG_NONE;
            if (ReadClassFacts(view.flag, classId, objectName, serverPath, kNameCapacity, nullptr, &serverType)) {
                AppendLabelled(text, L"       ", L"Файл:", serverPath[0] ? serverPath : L"(не указан)");
                wchar_t facts[kNameCapacity];
                DescribeServerFile(view.flag, serverPath, serverType, facts, kNameCapacity);
                AppendLabelled(text, L"       ", L"", facts);
            } else {
                AppendLabelled(text, L"       ", L"Файл:", L"нет раздела класса");
            }
            AppendLine(text);
            return false;
        });
    }
    if (count == 0) AppendNoneIfEmpty(text, count);
}
