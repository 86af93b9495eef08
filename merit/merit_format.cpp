#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "merit.h"

namespace {

struct MeritName {
    std::uint32_t value;
    const wchar_t* text;
};

const MeritName kMeritNames[] = {
    {0x00800000, L"Высокий (MERIT_PREFERRED)"},
    {0x00600000, L"Средний (MERIT_NORMAL)"},
    {0x00400000, L"Низкий (MERIT_UNLIKELY)"},
    {0x00200000, L"Отключен (MERIT_DO_NOT_USE)"},
    {0x00100050, L"Отключен (MERIT_HW_COMPRESSOR)"},
    {0x00100000, L"Отключен (MERIT_SW_COMPRESSOR)"},
    {0x00000000, L"Не определен"},
};

}  // namespace

void FormatMeritValue(std::uint32_t merit, wchar_t* destination) {
    if (!destination) return;
    CopyText(destination, kNameCapacity, L"");
    for (const MeritName& name : kMeritNames) {
        if (name.value == merit) {
            CopyText(destination, kNameCapacity, name.text);
            return;
        }
    }
    FormatText(destination, kNameCapacity, L"0x%08x", merit);
}

void FormatMerit(wchar_t* destination) { FormatMeritValue(g_app.currentMerit, destination); }
