#include "test_images.h"

#include <algorithm>
#include <cstring>

void PutImageBytes(std::vector<BYTE>& bytes, std::size_t at, const void* data, std::size_t size) {
    std::memcpy(bytes.data() + at, data, size);
}

namespace {

DWORD RoundUp(std::size_t size, DWORD unit) { return static_cast<DWORD>((size + unit - 1) / unit * unit); }

}  // namespace

WORD TestOwnMachine() { return sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386; }

std::vector<BYTE> DllImage(const std::vector<std::string>& imports, const std::vector<std::string>& delayed,
                           WORD machine) {
    if (machine == 0) machine = TestOwnMachine();
    constexpr DWORD kDelayDescriptorSize = 8 * sizeof(DWORD);
    const DWORD delayedAt = RoundUp(
        std::max<std::size_t>(kImageDelayedAt, (imports.size() + 1) * sizeof(IMAGE_IMPORT_DESCRIPTOR)), 0x10);
    const DWORD namesAt =
        RoundUp(std::max<std::size_t>(kImageNamesAt, delayedAt + (delayed.size() + 1) * kDelayDescriptorSize), 0x10);
    std::size_t namesSize = 0;
    for (const std::string& name : imports) namesSize += name.size() + 1;
    for (const std::string& name : delayed) namesSize += name.size() + 1;
    const DWORD sectionSize = RoundUp(std::max<std::size_t>(0x400, namesAt + namesSize), 0x200);

    std::vector<BYTE> bytes(kImageSectionOffset + sectionSize, 0);
    IMAGE_DOS_HEADER dos = {};
    dos.e_magic = IMAGE_DOS_SIGNATURE;
    dos.e_lfanew = 0x40;
    PutImageValue(bytes, 0, dos);
    PutImageValue<DWORD>(bytes, 0x40, IMAGE_NT_SIGNATURE);
    const bool wide = machine == IMAGE_FILE_MACHINE_AMD64;
    IMAGE_FILE_HEADER file = {};
    file.Machine = machine;
    file.NumberOfSections = 1;
    file.SizeOfOptionalHeader =
        static_cast<WORD>(wide ? sizeof(IMAGE_OPTIONAL_HEADER64) : sizeof(IMAGE_OPTIONAL_HEADER32));
    file.Characteristics = IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE;
    PutImageValue(bytes, 0x44, file);
    const std::size_t optional = 0x44 + sizeof(IMAGE_FILE_HEADER);
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    directories[IMAGE_DIRECTORY_ENTRY_IMPORT] = {kImageSectionRva + kImageImportsAt, delayedAt - kImageImportsAt};
    if (!delayed.empty()) directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT] = {kImageSectionRva + delayedAt, namesAt - delayedAt};
    if (wide) {
        IMAGE_OPTIONAL_HEADER64 header = {};
        header.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        header.SizeOfHeaders = kImageSectionOffset;
        header.ImageBase = 0x180000000ull;
        header.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        std::memcpy(header.DataDirectory, directories, sizeof(directories));
        PutImageValue(bytes, optional, header);
    } else {
        IMAGE_OPTIONAL_HEADER32 header = {};
        header.Magic = IMAGE_NT_OPTIONAL_HDR32_MAGIC;
        header.SizeOfHeaders = kImageSectionOffset;
        header.ImageBase = 0x10000000;
        header.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        std::memcpy(header.DataDirectory, directories, sizeof(directories));
        PutImageValue(bytes, optional, header);
    }
    IMAGE_SECTION_HEADER section = {};
    std::memcpy(section.Name, ".idata", 6);
    section.Misc.VirtualSize = sectionSize;
    section.VirtualAddress = kImageSectionRva;
    section.SizeOfRawData = sectionSize;
    section.PointerToRawData = kImageSectionOffset;
    PutImageValue(bytes, optional + file.SizeOfOptionalHeader, section);
    DWORD name = namesAt;
    for (std::size_t i = 0; i < imports.size(); ++i) {
        IMAGE_IMPORT_DESCRIPTOR descriptor = {};
        descriptor.Name = kImageSectionRva + name;
        PutImageValue(bytes, kImageSectionOffset + kImageImportsAt + i * sizeof(descriptor), descriptor);
        PutImageBytes(bytes, kImageSectionOffset + name, imports[i].c_str(), imports[i].size() + 1);
        name += static_cast<DWORD>(imports[i].size() + 1);
    }
    for (std::size_t i = 0; i < delayed.size(); ++i) {
        const DWORD descriptor[8] = {1, kImageSectionRva + name, 0, 0, 0, 0, 0, 0};  // attributes 1: addresses are offsets
        PutImageBytes(bytes, kImageSectionOffset + delayedAt + i * sizeof(descriptor), descriptor, sizeof(descriptor));
        PutImageBytes(bytes, kImageSectionOffset + name, delayed[i].c_str(), delayed[i].size() + 1);
        name += static_cast<DWORD>(delayed[i].size() + 1);
    }
    return bytes;
}

bool WriteImageFile(const std::wstring& path, const std::vector<BYTE>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return wrote && written == bytes.size();
}
