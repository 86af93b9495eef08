// A DLL's file read as data, never loaded: which processor its image is for,
// whether it is a DLL, and the names of the DLLs it imports, at load time and
// delay-loaded. Every offset, count and name in the file is checked against
// its size, so a damaged or hostile file gives a result, never a fault.
#pragma once
#include "../base/scoped.h"

#include <cstddef>

enum ImageReading {
    ImageRead,       // a DLL's image: its machine and imports are read
    ImageNotFound,   // no file at the path
    ImageNotOpened,  // the file is there but could not be opened or mapped (openError)
    ImageNotPe,      // no program image at all
    ImageNotDll,     // a program image that is not a DLL
};

// The longest import name kept; a longer one is no DLL the loader finds.
constexpr std::size_t kImportNameCapacity = 256;

struct ImportName {
    wchar_t name[kImportNameCapacity];
    bool delayed;  // delay-loaded: loaded at its first call, if ever
};

struct ImageFacts {
    ImageReading reading = ImageNotFound;
    DWORD openError = 0;
    WORD machine = 0;  // IMAGE_FILE_MACHINE_*
    HeapArray<ImportName> imports;  // each DLL once, in the file's order; load-time ones first
    bool importsCut = false;         // more than the reader takes, or a table running out of the file
};

// Reads the file at path (as this process reaches it). With imports false
// only the headers are looked at.
void ReadImage(const wchar_t* path, ImageFacts& facts, bool imports = true);

// The machine of the program's own width: IMAGE_FILE_MACHINE_AMD64 or _I386;
// of the other width's, the other.
WORD OwnMachine();
WORD OtherWidthMachine();

// What a file of the machine is called: "32-разрядный файл", "64-разрядный
// файл", "файл для ARM64", "файл для ARM", else "файл для другого процессора (0x....)".
void NameImageMachine(WORD machine, wchar_t* text, std::size_t capacity);
