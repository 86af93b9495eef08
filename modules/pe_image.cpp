#include "pe_image.h"

#include "../base/bounded_text.h"
#include "../base/hash_index.h"

#include <cstring>

namespace {

// More import descriptors than any real DLL has: a table that runs on is cut there.
constexpr DWORD kDescriptorsAtMost = 2048;
// More characters of import names than any real DLL has (a real one's names
// take a few hundred): a file whose names run on is cut there, so that
// reading and walking a file costs the same however long its names are.
constexpr std::size_t kImportCharsAtMost = 32 * 1024;

// The file's bytes with every read checked against their end.
class ImageBytes {
public:
    ImageBytes(const BYTE* bytes, SIZE_T size) : bytes_(bytes), size_(size) {}

    // Copies `length` bytes at offset into out; false when they are not all in the file.
    bool Read(unsigned long long offset, void* out, SIZE_T length) const {
        if (offset > size_ || length > size_ - offset) return false;
        std::memcpy(out, bytes_ + offset, length);
        return true;
    }
    template <typename T>
    bool ReadAt(unsigned long long offset, T* out) const {
        return Read(offset, out, sizeof(T));
    }
    // The ASCII name at offset, ended by a zero within the file and the
    // capacity, and its length; false for any other.
    bool ReadName(unsigned long long offset, wchar_t (&name)[kImportNameCapacity], std::size_t* length) const {
        for (std::size_t i = 0; i < kImportNameCapacity; ++i) {
            if (offset + i >= size_) return false;
            const BYTE c = bytes_[offset + i];
            if (c == 0) {
                name[i] = L'\0';
                *length = i;
                return i > 0;
            }
            // A DLL's name is printable ASCII: anything else names no file the loader looks for.
            if (c < 0x20 || c > 0x7E) return false;
            name[i] = static_cast<wchar_t>(c);
        }
        return false;
    }

private:
    const BYTE* bytes_;
    SIZE_T size_;
};

struct Section {
    DWORD address, virtualSize, fileOffset, fileSize;
};

// What the headers say: where each section of the image lies in the file.
struct ImageLayout {
    const ImageBytes& bytes;
    unsigned long long sectionTable = 0;
    WORD sectionCount = 0;
    DWORD headersSize = 0;
    unsigned long long imageBase = 0;

    // The file offset of an address of the loaded image; false when no
    // section holds it in the file.
    bool OffsetOf(DWORD rva, unsigned long long* offset) const {
        if (rva < headersSize) {
            *offset = rva;
            return true;
        }
        for (WORD i = 0; i < sectionCount; ++i) {
            IMAGE_SECTION_HEADER header;
            if (!bytes.ReadAt(sectionTable + i * sizeof(IMAGE_SECTION_HEADER), &header)) return false;
            const DWORD start = header.VirtualAddress;
            const DWORD extent = header.Misc.VirtualSize > header.SizeOfRawData ? header.Misc.VirtualSize
                                                                                  : header.SizeOfRawData;
            if (rva < start || rva - start >= extent) continue;
            if (rva - start >= header.SizeOfRawData) return false;  // not in the file: zeros when loaded
            *offset = static_cast<unsigned long long>(header.PointerToRawData) + (rva - start);
            return true;
        }
        return false;
    }
};

// The imports read so far: each name once, found by its hash; and the
// characters of the names read, bounded.
struct ImportReading {
    ImageFacts& facts;
    HashIndex index;
    std::size_t chars = 0;

    // Adds the name at offset, unless it is there already; false once the
    // names read run over their bound (the file's imports are cut there).
    bool Add(const ImageBytes& bytes, unsigned long long offset, bool delayed) {
        wchar_t name[kImportNameCapacity];
        std::size_t length = 0;
        if (!bytes.ReadName(offset, name, &length)) {
            facts.importsCut = true;
            return true;
        }
        chars += length;
        if (chars > kImportCharsAtMost) {
            facts.importsCut = true;
            return false;
        }
        const DWORD hash = HashTextIgnoringCase(name);
        const auto same = [&](SIZE_T item) {
            return CompareStringOrdinal(facts.imports[item].name, -1, name, -1, TRUE) == CSTR_EQUAL;
        };
        if (index.Find(hash, same) >= 0) return true;
        ImportName entry;
        std::memcpy(entry.name, name, sizeof(entry.name));
        entry.delayed = delayed;
        if (!facts.imports.Append(entry) || !index.Add(hash, facts.imports.Count() - 1)) facts.importsCut = true;
        return true;
    }
};

void ReadImports(const ImageLayout& layout, const IMAGE_DATA_DIRECTORY& directory, ImportReading& reading) {
    ImageFacts& facts = reading.facts;
    if (directory.VirtualAddress == 0 || directory.Size == 0) return;
    unsigned long long offset = 0;
    if (!layout.OffsetOf(directory.VirtualAddress, &offset)) {
        facts.importsCut = true;
        return;
    }
    for (DWORD i = 0;; ++i) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (i == kDescriptorsAtMost || !layout.bytes.ReadAt(offset + i * sizeof(descriptor), &descriptor)) {
            facts.importsCut = true;
            return;
        }
        if (descriptor.Name == 0) return;  // the table's end
        unsigned long long nameOffset = 0;
        if (!layout.OffsetOf(descriptor.Name, &nameOffset)) {
            facts.importsCut = true;
        } else if (!reading.Add(layout.bytes, nameOffset, false)) {
            return;
        }
    }
}

void ReadDelayImports(const ImageLayout& layout, const IMAGE_DATA_DIRECTORY& directory, ImportReading& reading) {
    ImageFacts& facts = reading.facts;
    if (directory.VirtualAddress == 0 || directory.Size == 0) return;
    unsigned long long offset = 0;
    if (!layout.OffsetOf(directory.VirtualAddress, &offset)) {
        facts.importsCut = true;
        return;
    }
    // Each descriptor: attributes, then the name's address, then six more addresses and a stamp.
    struct DelayDescriptor {
        DWORD attributes, name, module, addresses, names, bound, unload, stamp;
    };
    for (DWORD i = 0;; ++i) {
        DelayDescriptor descriptor;
        if (i == kDescriptorsAtMost || !layout.bytes.ReadAt(offset + i * sizeof(descriptor), &descriptor)) {
            facts.importsCut = true;
            return;
        }
        if (descriptor.name == 0) return;
        // Old linkers wrote addresses of the loaded image rather than offsets in it.
        unsigned long long rva = descriptor.name;
        if ((descriptor.attributes & 1) == 0) rva = rva >= layout.imageBase ? rva - layout.imageBase : ~0ull;
        unsigned long long nameOffset = 0;
        if (rva > 0xFFFFFFFFull || !layout.OffsetOf(static_cast<DWORD>(rva), &nameOffset)) {
            facts.importsCut = true;
        } else if (!reading.Add(layout.bytes, nameOffset, true)) {
            return;
        }
    }
}

// The optional header of either width (Header: IMAGE_OPTIONAL_HEADER32 or
// 64): where the headers end, the image's base, and the data directories it has.
template <typename Header>
bool ReadOptionalHeader(const ImageBytes& bytes, unsigned long long at, const IMAGE_FILE_HEADER& file,
                        ImageLayout& layout, IMAGE_DATA_DIRECTORY (&directories)[IMAGE_NUMBEROF_DIRECTORY_ENTRIES],
                        DWORD* directoryCount) {
    Header header;
    if (file.SizeOfOptionalHeader < offsetof(Header, DataDirectory) ||
        !bytes.Read(at, &header, offsetof(Header, DataDirectory))) {
        return false;
    }
    layout.headersSize = header.SizeOfHeaders;
    layout.imageBase = header.ImageBase;
    *directoryCount = header.NumberOfRvaAndSizes < IMAGE_NUMBEROF_DIRECTORY_ENTRIES ? header.NumberOfRvaAndSizes
                                                                                     : IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
    // Directories past the file's end stay empty.
    bytes.Read(at + offsetof(Header, DataDirectory), directories, *directoryCount * sizeof(IMAGE_DATA_DIRECTORY));
    return true;
}

void ReadHeaders(const ImageBytes& bytes, ImageFacts& facts, bool imports) {
    facts.reading = ImageNotPe;
    IMAGE_DOS_HEADER dos;
    if (!bytes.ReadAt(0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0) return;
    const unsigned long long ntOffset = static_cast<unsigned long long>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER file;
    WORD magic = 0;
    const unsigned long long optionalOffset = ntOffset + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    if (!bytes.ReadAt(ntOffset, &signature) || signature != IMAGE_NT_SIGNATURE ||
        !bytes.ReadAt(ntOffset + sizeof(DWORD), &file) || !bytes.ReadAt(optionalOffset, &magic)) {
        return;
    }
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    DWORD directoryCount = 0;
    ImageLayout layout{bytes};
    const bool read = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                          ? ReadOptionalHeader<IMAGE_OPTIONAL_HEADER64>(bytes, optionalOffset, file, layout, directories,
                                                                        &directoryCount)
                      : magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC
                          ? ReadOptionalHeader<IMAGE_OPTIONAL_HEADER32>(bytes, optionalOffset, file, layout, directories,
                                                                        &directoryCount)
                          : false;
    if (!read) return;
    facts.machine = file.Machine;
    facts.reading = (file.Characteristics & IMAGE_FILE_DLL) != 0 ? ImageRead : ImageNotDll;
    if (facts.reading != ImageRead || !imports) return;
    layout.sectionTable = optionalOffset + file.SizeOfOptionalHeader;
    layout.sectionCount = file.NumberOfSections;
    ImportReading reading{facts, {}};
    if (directoryCount > IMAGE_DIRECTORY_ENTRY_IMPORT) {
        ReadImports(layout, directories[IMAGE_DIRECTORY_ENTRY_IMPORT], reading);
    }
    if (directoryCount > IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT && reading.chars <= kImportCharsAtMost) {
        ReadDelayImports(layout, directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT], reading);
    }
}

}  // namespace

void ReadImage(const wchar_t* path, ImageFacts& facts, bool imports) {
    facts.reading = ImageNotFound;
    facts.openError = 0;
    facts.machine = 0;
    facts.imports.Clear();
    facts.importsCut = false;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        const DWORD error = GetLastError();
        if (attributes == INVALID_FILE_ATTRIBUTES && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
            error != ERROR_INVALID_NAME && error != ERROR_BAD_NETPATH && error != ERROR_INVALID_DRIVE) {
            facts.reading = ImageNotOpened;
            facts.openError = error;
        }
        return;
    }
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        facts.reading = ImageNotOpened;
        facts.openError = GetLastError();
        return;
    }
    MappedFile mapped;
    if (!mapped.Map(file.Get())) {
        const DWORD error = GetLastError();
        LARGE_INTEGER size = {};
        // An empty file is no image; one that cannot be mapped is not opened.
        if (GetFileSizeEx(file.Get(), &size) && size.QuadPart == 0) {
            facts.reading = ImageNotPe;
        } else {
            facts.reading = ImageNotOpened;
            facts.openError = error;
        }
        return;
    }
    ReadHeaders(ImageBytes(mapped.Bytes(), mapped.Size()), facts, imports);
}

WORD OwnMachine() { return sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386; }
WORD OtherWidthMachine() { return sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64; }

void NameImageMachine(WORD machine, wchar_t* text, std::size_t capacity) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386: CopyText(text, capacity, L"32-разрядный файл"); return;
    case IMAGE_FILE_MACHINE_AMD64: CopyText(text, capacity, L"64-разрядный файл"); return;
    case IMAGE_FILE_MACHINE_ARM64: CopyText(text, capacity, L"файл для ARM64"); return;
    case IMAGE_FILE_MACHINE_ARM:
    case IMAGE_FILE_MACHINE_ARMNT: CopyText(text, capacity, L"файл для ARM"); return;
    default: FormatText(text, capacity, L"файл для другого процессора (0x%04X)", machine); return;
    }
}
