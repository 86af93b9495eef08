// A DLL's file read as data (its header and import tables) and the walk of
// its imports as the loader would look for them, over DLL images made here:
// sound ones, a delay-loaded import, a loop of imports, and every cut and
// corruption of a sound image, which must give a result and never a fault.
#include "../../modules/import_walk.h"
#include "../../modules/pe_image.h"
#include "../common/test_images.h"
#include "test_support.h"

#include <algorithm>

namespace {

struct ScratchFiles {
    std::wstring folder;
    ScratchFiles() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"vantrel imports " + NewGuidText().substr(1, 8);
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    ~ScratchFiles() {
        for (const std::wstring& name : written) DeleteFileW(Path(name).c_str());
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring Path(const std::wstring& name) const { return folder + L"\\" + name; }
    void Write(const std::wstring& name, const std::vector<BYTE>& bytes) {
        HANDLE file = CreateFileW(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        this->written.push_back(name);
    }
    std::vector<std::wstring> written;
};

std::wstring ImportsText(const ImageFacts& facts) {
    std::wstring text;
    for (SIZE_T i = 0; i < facts.imports.Count(); ++i) {
        text += std::wstring(L"[") + facts.imports[i].name + (facts.imports[i].delayed ? L" delayed]" : L"]");
    }
    return text;
}

std::wstring WalkText(const ImportWalk& walk) {
    std::wstring text = walk.missingFound ? L"missing " + std::wstring(walk.missing) : L"nothing missing";
    for (int i = 0; i < walk.chainCount; ++i) text += std::wstring(L" <- ") + walk.chain[i];
    for (int i = 0; i < walk.delayedMissingCount; ++i) text += std::wstring(L"; later ") + walk.delayedMissing[i];
    return text;
}

}  // namespace

// The tables of a sound image of each width, and the walk over real files:
// a DLL found beside the codec is walked in turn (a loop of two is walked
// once), the system's DLLs and API sets are present, the first missing DLL
// is named with the chain that needs it, and a missing delay-loaded DLL is
// only noted.
TEST(ImportWalk, FollowsTheLoaderThroughRealFiles) {
    ScratchFiles files;
    files.Write(L"codec.dll", DllImage({"KERNEL32.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "helper.dll"},
                                      {"vantrel_later.dll"}));
    files.Write(L"helper.dll", DllImage({"ole32.dll", "loop.dll"}));
    files.Write(L"loop.dll", DllImage({"helper.dll"}));
    ImageFacts facts;
    ReadImage(files.Path(L"codec.dll").c_str(), facts);
    ASSERT_EQ(facts.reading, ImageRead);
    EXPECT_EQ(facts.machine, OwnMachine());
    EXPECT_TEXT_EQ(L"[KERNEL32.dll][api-ms-win-crt-runtime-l1-1-0.dll][helper.dll][vantrel_later.dll delayed]",
                   ImportsText(facts));
    EXPECT_FALSE(facts.importsCut);

    const DllSearch search(0);
    ImportWalk walk;
    WalkImports(search, files.Path(L"codec.dll").c_str(), facts, walk);
    EXPECT_TEXT_EQ(L"nothing missing; later vantrel_later.dll", WalkText(walk));

    files.Write(L"loop.dll", DllImage({"helper.dll", "vantrel_gone.dll"}));
    WalkImports(search, files.Path(L"codec.dll").c_str(), facts, walk);
    EXPECT_TEXT_EQ(L"missing vantrel_gone.dll <- loop.dll <- helper.dll <- codec.dll", WalkText(walk));
    // A path written with forward slashes, in part or whole, is parted as the
    // loader parts it: the DLLs beside the codec are found, the chain names its file.
    std::wstring slashed = files.folder + L"/codec.dll";
    for (int spelling = 0; spelling < 2; ++spelling) {
        WalkImports(search, slashed.c_str(), facts, walk);
        EXPECT_TEXT_EQ(L"missing vantrel_gone.dll <- loop.dll <- helper.dll <- codec.dll", WalkText(walk))
            << Utf8(slashed);
        std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    }

    // The other width's image reads as such.
    files.Write(L"other.dll", DllImage({"helper.dll"}, {}, OtherWidthMachine()));
    ReadImage(files.Path(L"other.dll").c_str(), facts);
    EXPECT_EQ(facts.reading, ImageRead);
    EXPECT_EQ(facts.machine, OtherWidthMachine());
    EXPECT_TEXT_EQ(L"[helper.dll]", ImportsText(facts));
}

// Every cut of a sound image, and images whose offsets, counts and names
// point anywhere: each read gives a result (the process would end on a
// fault), a cut never names an import the whole image does not have, and
// an image that is not one says so.
TEST(ImportWalk, ReadsDamagedImagesAsData) {
    ScratchFiles files;
    const std::vector<BYTE> sound = DllImage({"KERNEL32.dll", "helper.dll"}, {"vantrel_later.dll"});
    for (std::size_t length = 0; length <= sound.size(); length += 7) {
        files.Write(L"cut.dll", std::vector<BYTE>(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(length)));
        ImageFacts facts;
        ReadImage(files.Path(L"cut.dll").c_str(), facts);
        if (length < 0x40) {
            EXPECT_EQ(facts.reading, ImageNotPe) << length;
        }
        for (SIZE_T i = 0; i < facts.imports.Count(); ++i) {
            const std::wstring name = facts.imports[i].name;
            EXPECT_TRUE(name == L"KERNEL32.dll" || name == L"helper.dll" || name == L"vantrel_later.dll")
                << length << ": " << Utf8(name);
        }
    }

    struct Damage {
        const char* what;
        std::size_t at;
        DWORD value;
        ImageReading reading;
        bool cut;  // imports left out
    };
    const std::size_t optional = 0x44 + sizeof(IMAGE_FILE_HEADER);
    const std::size_t directories =
        optional + (OwnMachine() == IMAGE_FILE_MACHINE_AMD64 ? offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)
                                                              : offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
    const Damage damages[] = {
        {"header offset past the end", 0x3C, 0x7FFFFFF0, ImageNotPe, false},
        {"negative header offset", 0x3C, 0x80000000, ImageNotPe, false},
        {"no PE signature", 0x40, 0x4551, ImageNotPe, false},
        {"not a DLL", 0x44 + 18, IMAGE_FILE_EXECUTABLE_IMAGE, ImageNotDll, false},
        {"65535 sections", 0x44 + 2, 0xFFFF, ImageRead, false},
        {"import table past the end", directories + 8, 0xFFFFFF00, ImageRead, true},
        {"import name past the end", kImageSectionOffset + kImageImportsAt + 12, 0xFFFFFFF0, ImageRead, true},
        {"section data past the end", optional + (OwnMachine() == IMAGE_FILE_MACHINE_AMD64 ? 240 : 224) + 20,
         0xFFFFFFF0, ImageRead, true},
    };
    for (const Damage& damage : damages) {
        std::vector<BYTE> bytes = sound;
        // Fields of two bytes keep their neighbour.
        const bool word = damage.at == 0x44 + 18 || damage.at == 0x44 + 2;
        if (word) PutImageValue<WORD>(bytes, damage.at, static_cast<WORD>(damage.value));
        else PutImageValue<DWORD>(bytes, damage.at, damage.value);
        files.Write(L"damaged.dll", bytes);
        ImageFacts facts;
        ReadImage(files.Path(L"damaged.dll").c_str(), facts);
        EXPECT_EQ(facts.reading, damage.reading) << damage.what;
        EXPECT_EQ(facts.importsCut, damage.cut) << damage.what << ": " << Utf8(ImportsText(facts));
    }

    // Names that run to the end of the file, or hold what no file name holds.
    std::vector<BYTE> endless = sound;
    std::memset(endless.data() + kImageSectionOffset + kImageNamesAt, 'a', endless.size() - kImageSectionOffset - kImageNamesAt);
    files.Write(L"endless.dll", endless);
    ImageFacts facts;
    ReadImage(files.Path(L"endless.dll").c_str(), facts);
    EXPECT_EQ(facts.reading, ImageRead);
    EXPECT_TRUE(facts.importsCut);
    EXPECT_EQ(facts.imports.Count(), 0u) << Utf8(ImportsText(facts));

    ReadImage(files.Path(L"no such.dll").c_str(), facts);
    EXPECT_EQ(facts.reading, ImageNotFound);
}
