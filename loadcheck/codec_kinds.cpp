#include "codec_kinds.h"

#include "../base/bounded_text.h"

#include <dmo.h>
#include <mftransform.h>
#include <strmif.h>

const LoadKindInfo kLoadKinds[kLoadKindCount] = {
    {L"фильтр DirectShow", LoadComClass, &IID_IBaseFilter, L"IBaseFilter"},
    {L"DMO", LoadComClass, &IID_IMediaObject, L"IMediaObject"},
    {L"Media Foundation", LoadComClass, &IID_IMFTransform, L"IMFTransform"},
    {L"кодек VfW", LoadDriver, nullptr, L""},
    {L"кодек ACM", LoadDriver, nullptr, L""},
};

void NameKinds(LoadKinds kinds, wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, L"");
    for (int kind = 0; kind < kLoadKindCount; ++kind) {
        if ((kinds & KindBit(static_cast<LoadKind>(kind))) == 0) continue;
        if (text[0] != L'\0') AppendText(text, capacity, L", ");
        AppendText(text, capacity, kLoadKinds[kind].title);
    }
}
