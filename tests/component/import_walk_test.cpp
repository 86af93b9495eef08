// A DLL's file read as data (its header and import tables) and the walk of
// its imports as the loader would look for them, over DLL images made here:
// sound ones, a delay-loaded import, a loop of imports, and every cut and
// corruption of a sound image, which must give a result and never a fault.
#include "../../modules/import_walk.h"
#include "../../modules/pe_image.h"
#include "test_support.h"

#include <cstring>

namespace {

constexpr DWORD kSectionRva = 0x1000;
constexpr DWORD kSectionOffset = 0x200;
constexpr DWORD kImportsAt = 0x00;        // in the section: the import descriptors
constexpr DWORD kDelayedAt = 0x80;        // the delay-load descriptors
constexpr DWORD kNamesAt = 0x100;         // the DLLs' names

void Put(std::vector<BYTE>& bytes, std::size_t at, const void* data, std::size_t size) {
    std::memcpy(bytes.data() + at, data, size);
}
template <typename T>
void PutValue(std::vector<BYTE>& bytes, std::size_t at, T value) {
    Put(bytes, at, &value, sizeof(value));
}

// A DLL image of the program's width (or the other's) that imports the DLLs
// named at load time and delay-loads the others; nothing else is in it.
std::vector<BYTE> DllImage(const std::vector<std::string>& imports, const std::vector<std::string>& delayed = {},
                           WORD machine = OwnMachine()) {
    std::vector<BYTE> bytes(kSectionOffset + 0x400, 0);
    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = 0x40;
    PutValue(bytes, 0, dos);
    PutValue<DWORD>(bytes, 0x40, IMAGE_NT_SIGNATURE);
    const bool wide = machine == IMAGE_FILE_MACHINE_AMD64;
    IMAGE_FILE_HEADER file = {};
    file.Machine = machine;
    file.NumberOfSections = 1;
    file.SizeOfOptionalHeader =
        static_cast<WORD>(wide ? sizeof(IMAGE_OPTIONAL_HEADER64) : sizeof(IMAGE_OPTIONAL_HEADER32));
    file.Characteristics = IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE;
    PutValue(bytes, 0x44, file);
    const std::size_t optional = 0x44 + sizeof(IMAGE_FILE_HEADER);
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    directories[IMAGE_DIRECTORY_ENTRY_IMPORT] = {kSectionRva + kImportsAt, 0x80};
    if (!delayed.empty()) directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT] = {kSectionRva + kDelayedAt, 0x80};
    if (wide) {
        IMAGE_OPTIONAL_HEADER64 header = {};
        header.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        header.SizeOfHeaders = kSectionOffset;
        header.ImageBase = 0x180000000ull;
        header.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        std::memcpy(header.DataDirectory, directories, sizeof(directories));
        PutValue(bytes, optional, header);
    } else {
        IMAGE_OPTIONAL_HEADER32 header = {};
        header.Magic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
        header.SizeOfHeaders = kSectionOffset;
        header.ImageBase = 0x10000000;
        header.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        std::memcpy(header.DataDirectory, directories, sizeof(directories));
        PutValue(bytes, optional, header);
    }
    IMAGE_SECTION_HEADER section = {};
    std::memcpy(section.Name, ".idata", 6);
    section.Misc.VirtualSize = 0x400;
    section.VirtualAddress = kSectionRva;
    section.SizeOfRawData = 0x400;
    section.PointerToRawData = kSectionOffset;
    PutValue(bytes, optional + file.SizeOfOptionalHeader, section);
    DWORD name = kNamesAt;
    for (std::size_t i = 0; i < imports.size(); ++i) {
        IMAGE_IMPORT_DESCRIPTOR descriptor = {};
        descriptor.Name = kSectionRva + name;
        PutValue(bytes, kSectionOffset + kImportsAt + i * sizeof(descriptor), descriptor);
        Put(bytes, kSectionOffset + name, imports[i].c_str(), imports[i].size() + 1);
        name += static_cast<DWORD>(imports[i].size() + 1);
    }
    for (std::size_t i = 0; i < delayed.size(); ++i) {
        const DWORD descriptor[8] = {1, kSectionRva + name, 0, 0, 0, 0, 0, 0};  // attributes 1: addresses are offsets
        Put(bytes, kSectionOffset + kDelayedAt + i * sizeof(descriptor), descriptor, sizeof(descriptor));
        Put(bytes, kSectionOffset + name, delayed[i].c_str(), delayed[i].size() + 1);
        name += static_cast<DWORD>(delayed[i].size() + 1);
    }
    return bytes;
}

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
        {"import name past the end", kSectionOffset + kImportsAt + 12, 0xFFFFFFF0, ImageRead, true},
        {"section data past the end", optional + (OwnMachine() == IMAGE_FILE_MACHINE_AMD64 ? 240 : 224) + 20,
         0xFFFFFFF0, ImageRead, true},
    };
    for (const Damage& damage : damages) {
        std::vector<BYTE> bytes = sound;
        // Fields of two bytes keep their neighbour.
        const bool word = damage.at == 0x44 + 18 || damage.at == 0x44 + 2;
        if (word) PutValue<WORD>(bytes, damage.at, static_cast<WORD>(damage.value));
        else PutValue<DWORD>(bytes, damage.at, damage.value);
        files.Write(L"damaged.dll", bytes);
        ImageFacts facts;
        ReadImage(files.Path(L"damaged.dll").c_str(), facts);
        EXPECT_EQ(facts.reading, damage.reading) << damage.what;
        EXPECT_EQ(facts.importsCut, damage.cut) << damage.what << ": " << Utf8(ImportsText(facts));
    }

    // Names that run to the end of the file, or hold what no file name holds.
    std::vector<BYTE> endless = sound;
    std::memset(endless.data() + kSectionOffset + kNamesAt, 'a', endless.size() - kSectionOffset - kNamesAt);
    files.Write(L"endless.dll", endless);
    ImageFacts facts;
    ReadImage(files.Path(L"endless.dll").c_str(), facts);
    EXPECT_EQ(facts.reading, ImageRead);
    EXPECT_TRUE(facts.importsCut);
    EXPECT_EQ(facts.imports.Count(), 0u) << Utf8(ImportsText(facts));

    ReadImage(files.Path(L"no such.dll").c_str(), facts);
    EXPECT_EQ(facts.reading, ImageNotFound);
}
