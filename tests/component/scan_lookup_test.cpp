// The scan's findings from what it read of the registry, against the walk
// made for every row: the same prompts, with the same captions and texts, in
// the same order, on a registry made to tell the two apart.
#include "../../base/message_box.h"
#include "../../scan/scan.h"
#include "test_support.h"

#include <algorithm>

namespace {

const wchar_t kRemovalQuestion[] = L"Найден некорректно зарегистрированный кодек. Удалить его из реестра?";
const wchar_t kManageQuestion[] = L"Кодек, возможно, зарегистрирован некорректно. Активировать управление?";

struct Prompt {
    std::wstring caption, text;
    bool operator==(const Prompt&) const = default;
};

std::vector<Prompt> g_prompts;
// Captions whose first removal prompt is answered Yes (compared without
// regard to case, as twins may be listed in either spelling).
std::vector<std::wstring> g_removeOnce;

int AnswerPrompt(HWND, const wchar_t* text, const wchar_t* caption, UINT) {
    g_prompts.push_back({caption ? caption : L"(default)", text ? text : L""});
    if (std::wstring(text ? text : L"") != kRemovalQuestion) return IDNO;
    for (auto it = g_removeOnce.begin(); it != g_removeOnce.end(); ++it) {
        if (lstrcmpiW(it->c_str(), caption ? caption : L"") == 0) {
            g_removeOnce.erase(it);
            return IDYES;
        }
    }
    return IDNO;
}

// The prompts in order, each as its caption and question ("removal",
// "management", or any other text whole).
std::wstring Listed(const std::vector<Prompt>& prompts) {
    std::wstring all;
    for (const Prompt& p : prompts) {
        const std::wstring kind = p.text == kRemovalQuestion ? L"removal"
                                  : p.text == kManageQuestion ? L"management"
                                                              : p.text;
        all += L"[" + p.caption + L": " + kind + L"]";
    }
    return all;
}

std::size_t Count(const std::vector<Prompt>& prompts, const std::wstring& caption, const wchar_t* text) {
    return static_cast<std::size_t>(std::count(prompts.begin(), prompts.end(), Prompt{caption, text}));
}

// Under Wine only the legacy filter category and the video compressor
// category list anything, so everything is registered there. Entry key names
// fix the enumeration order (the registry enumerates subkeys sorted by name).
struct TellApartRegistry {
    const std::wstring tag = NewGuidText().substr(1, 8);
    const std::wstring twin = L"Vantrel Twin " + tag;
    const std::wstring twinVariant = L"vANTREL tWIN " + tag;
    const std::wstring orphan = L"Vantrel Orphan " + tag;
    const std::wstring sharedA = L"Vantrel Shared A " + tag;
    const std::wstring sharedB = L"Vantrel Shared B " + tag;
    const std::wstring videoMissing = L"Vantrel Video Missing " + tag;
    const std::wstring dmo = L"Vantrel DMO " + tag;
    const std::wstring missingServer = L"C:\\vantrel-missing-" + tag + L"\\codec.ax";
    const std::wstring orphanClass = NewGuidText(), twinClass = NewGuidText(), variantClass = NewGuidText(),
                       lonelyClass = NewGuidText(), sharedClass = NewGuidText(), videoClass = NewGuidText(),
                       dmoClass = NewGuidText();

    std::wstring Object(const std::wstring& classId) const { return L"Vantrel Object " + classId.substr(1, 8); }

    void Entry(RegistryScratch& keys, const wchar_t* instance, int order, const std::wstring& name,
               const std::wstring& classId) const {
        const std::wstring path = instance + (L"Vantrel " + tag + L" " + std::to_wstring(order));
        keys.Own(path);
        keys.SetText(path, L"FriendlyName", name);
        keys.SetText(path, L"CLSID", classId);
    }
    void Class(RegistryScratch& keys, const std::wstring& classId, const std::wstring& object) const {
        const std::wstring path = L"CLSID\\" + classId;
        keys.Own(path);
        keys.SetText(path, nullptr, object);
        keys.SetText(path + L"\\InprocServer32", nullptr, missingServer);
    }

    void Build(RegistryScratch& keys) const {
        // Twins and a case variant of one name: the first has no class key
        // (its removal is answered Yes), the second's server file is
        // missing, the variant is never found by its own entry.
        Entry(keys, kLegacyInstance, 1, twin, orphanClass);
        Entry(keys, kLegacyInstance, 2, twin, twinClass);
        Class(keys, twinClass, Object(twinClass));
        Entry(keys, kLegacyInstance, 3, twinVariant, variantClass);
        Class(keys, variantClass, Object(variantClass));
        Entry(keys, kLegacyInstance, 4, orphan, lonelyClass);
        // Two entries share one class id; B's entry is enumerated first, so
        // the removal of A (answered Yes) deletes B's entry, and B is then
        // found nowhere.
        Entry(keys, kVideoCompressorInstance, 5, sharedB, sharedClass);
        Entry(keys, kVideoCompressorInstance, 6, sharedA, sharedClass);
        Entry(keys, kVideoCompressorInstance, 7, videoMissing, videoClass);
        Class(keys, videoClass, Object(videoClass));
        // A DMO: listed by its name, which only its class key's default value
        // holds (in another spelling).
        const std::wstring dmoKey = L"DirectShow\\MediaObjects\\" + dmoClass.substr(1, 36);
        keys.Own(dmoKey);
        keys.SetText(dmoKey, nullptr, dmo);
        // Listed (as a video decoder) with the DMOs of the legacy filter category.
        const std::wstring dmoCategory =
            L"DirectShow\\MediaObjects\\Categories\\4A69B442-28BE-4991-969C-B500ADF5D8A8\\" + dmoClass.substr(1, 36);
        keys.Own(dmoCategory);
        keys.CreateKey(dmoCategory);
        Class(keys, dmoClass, L"vantrel dmo " + tag);
    }
};

// One whole scan on a freshly built registry; returns its prompts.
std::vector<Prompt> ScanOnce(const TellApartRegistry& registry, bool lookUpEachRow) {
    RegistryScratch keys;
    registry.Build(keys);
    g_prompts.clear();
    g_removeOnce = {registry.twin, registry.sharedA};
    SetScanLooksUpEachRow(lookUpEachRow);
    SetMessageBoxObserver(AnswerPrompt);
    int quitCode = 0;
    const ScanEnd end = ScanForBrokenCodecs(&quitCode);
    SetMessageBoxObserver(nullptr);
    SetScanLooksUpEachRow(false);
    EXPECT_EQ(ScanEndCompleted, end);
    return g_prompts;
}

TEST(ScanLookup, SameFindingsAsTheWalkForEveryRow) {
    EnsureMainWindow();
    const TellApartRegistry registry;
    const std::vector<Prompt> walked = ScanOnce(registry, true);
    const std::vector<Prompt> read = ScanOnce(registry, false);
    EXPECT_TEXT_EQ(Listed(walked), Listed(read));

    // The registry tells the two apart only when it is listed as meant.
    EXPECT_EQ(1u, Count(walked, registry.orphan, kRemovalQuestion)) << Utf8(Listed(walked));
    EXPECT_EQ(1u, Count(walked, registry.sharedA, kRemovalQuestion)) << Utf8(Listed(walked));
    EXPECT_EQ(0u, Count(walked, registry.sharedB, kRemovalQuestion)) << Utf8(Listed(walked));
    EXPECT_EQ(1u, Count(walked, registry.Object(registry.videoClass), kManageQuestion)) << Utf8(Listed(walked));
    EXPECT_EQ(2u, Count(walked, registry.Object(registry.twinClass), kManageQuestion)) << Utf8(Listed(walked));
    EXPECT_EQ(0u, Count(walked, registry.Object(registry.variantClass), kManageQuestion)) << Utf8(Listed(walked));
    EXPECT_EQ(1u, Count(walked, L"vantrel dmo " + registry.tag, kManageQuestion)) << Utf8(Listed(walked));
}

}  // namespace
