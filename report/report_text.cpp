#include "report_text.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"

void AppendField(GrowingText& text, const wchar_t* field) {
    AppendSafeInLine(text, field, L'?');
}

void AppendLine(GrowingText& text, const wchar_t* line) {
    AppendString(text, line);
    AppendString(text, L"\r\n");
}

void AppendLabelled(GrowingText& text, const wchar_t* indent, const wchar_t* label, const wchar_t* field,
                    int labelWidth) {
    AppendString(text, indent);
    AppendString(text, label);
    for (int pad = lstrlenW(label); pad < labelWidth; ++pad) AppendChar(text, L' ');
    AppendField(text, field);
    AppendString(text, L"\r\n");
}

void AppendNumberedName(GrowingText& text, unsigned number, const wchar_t* name) {
    wchar_t numberText[32];
    FormatText(numberText, 32, L"%4u. ", number);
    AppendString(text, numberText);
    if (name[0] == L'\0') {
        AppendString(text, L"(имя не читается)");
    } else {
        AppendField(text, name);
    }
}
