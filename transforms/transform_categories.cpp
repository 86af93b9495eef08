#include "transform_categories.h"

#include "../base/bounded_text.h"
#include "../catalogue/registry_text.h"

#include <mfapi.h>

const TransformCategory kTransformCategories[kTransformCategoryCount] = {
    {L"Видеодекодеры", &MFT_CATEGORY_VIDEO_DECODER},   {L"Аудиодекодеры", &MFT_CATEGORY_AUDIO_DECODER},
    {L"Видеокодировщики", &MFT_CATEGORY_VIDEO_ENCODER}, {L"Аудиокодировщики", &MFT_CATEGORY_AUDIO_ENCODER},
    {L"Видеоэффекты", &MFT_CATEGORY_VIDEO_EFFECT},     {L"Обработка видео", &MFT_CATEGORY_VIDEO_PROCESSOR},
    {L"Аудиоэффекты", &MFT_CATEGORY_AUDIO_EFFECT},     {L"Демультиплексоры", &MFT_CATEGORY_DEMULTIPLEXER},
    {L"Мультиплексоры", &MFT_CATEGORY_MULTIPLEXER},    {L"Прочие", &MFT_CATEGORY_OTHER},
};

void TransformKeyName(const GUID& id, wchar_t (&name)[40]) {
    FormatText(name, 40, L"%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(id.Data1),
               id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
               id.Data4[6], id.Data4[7]);
}

bool ParseTransformKeyName(const wchar_t* name, GUID* id) { return ParseClassIdText(name, id); }
