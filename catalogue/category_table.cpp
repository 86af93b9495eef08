#include "category_table.h"

#include "../base/bounded_text.h"

namespace {
// The kernel-streaming VBI codec category; declared here because not every
// toolchain's import libraries carry it.
const GUID kVbiCodecCategory = {0x07DAD660, 0x22F1, 0x11D1, {0xA9, 0xF4, 0x00, 0xC0, 0x4F, 0xBB, 0xDE, 0x8F}};
}  // namespace

// Rows 1 and 4 list their own category but keep their registrations under the
// legacy filter category's Instance key. The texts are kept letter for letter
// (trailing blanks, the lower-case "d" in "11d0").
const CategoryEntry CategoryTable[kCategoryCount] = {
    {L"Audio Compressors ", &CLSID_AudioCompressorCategory, L"{33D9A761-90C8-11d0-BD43-00A0C911CE86}"},
    {L"Device Control Filters ", &CLSID_DeviceControlCategory, L"{083863F1-70DE-11d0-BD40-00A0C911CE86}"},
    {L"DirectShow Filters ", &CLSID_LegacyAmFilterCategory, L"{083863F1-70DE-11d0-BD40-00A0C911CE86}"},
    {L"Video Compressors ", &CLSID_VideoCompressorCategory, L"{33D9A760-90C8-11d0-BD43-00A0C911CE86}"},
    {L"WDM Streaming VBI Codecs", &kVbiCodecCategory, L"{083863F1-70DE-11d0-BD40-00A0C911CE86}"},
};

const wchar_t kDefaultRegistryCategory[] = L"{083863F1-70DE-11d0-BD40-00A0C911CE86}";

void BuildInstanceKeyPath(wchar_t* out, std::size_t capacity, const wchar_t* categoryText) {
    CopyText(out, capacity, L"CLSID\\");
    AppendText(out, capacity, categoryText);
    AppendText(out, capacity, L"\\Instance\\");
}

std::size_t FirstRowWithInstanceKey(std::size_t row) {
    for (std::size_t first = 0; first < row; ++first) {
        if (lstrcmpiW(CategoryTable[first].registryCategory, CategoryTable[row].registryCategory) == 0) return first;
    }
    return row;
}
