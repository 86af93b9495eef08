#include "codec_kinds.h"

#include "../base/bounded_text.h"

#include "../shellhandlers/shell_handlers.h"

#include <dmo.h>
#include <mftransform.h>
#include <strmif.h>

const LoadKindInfo kLoadKinds[kLoadKindCount] = {
    {L"фильтр DirectShow", LoadComClass, &IID_IBaseFilter, L"IBaseFilter"},
    {L"DMO", LoadComClass, &IID_IMediaObject, L"IMediaObject"},
    {L"Media Foundation", LoadComClass, &IID_IMFTransform, L"IMFTransform"},
    {L"кодек VfW", LoadDriver, nullptr, L""},
    {L"кодек ACM", LoadDriver, nullptr, L""},
    {L"обработчик Проводника", LoadComClass, kShellKinds[ShellThumbnail].interfaceId, L"IThumbnailProvider"},
    {L"обработчик Проводника", LoadComClass, kShellKinds[ShellExtractImage].interfaceId, L"IExtractImage"},
    {L"обработчик Проводника", LoadComClass, kShellKinds[ShellPreview].interfaceId, L"IPreviewHandler"},
    {L"обработчик Проводника", LoadComClass, kShellKinds[ShellProperty].interfaceId, L"IPropertyStore"},
};

void NameKinds(LoadKinds kinds, wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, L"");
    for (int kind = 0; kind < kLoadKindCount; ++kind) {
        if ((kinds & KindBit(static_cast<LoadKind>(kind))) == 0) continue;
        // The kinds of Explorer's handlers share their title: named once.
        bool named = false;
        for (int before = 0; before < kind && !named; ++before) {
            named = (kinds & KindBit(static_cast<LoadKind>(before))) != 0 &&
                    lstrcmpW(kLoadKinds[before].title, kLoadKinds[kind].title) == 0;
        }
        if (named) continue;
        if (text[0] != L'\0') AppendText(text, capacity, L", ");
        AppendText(text, capacity, kLoadKinds[kind].title);
    }
}
