// DLL images made as bytes, for the tests of a DLL's file read as data: the
// headers of a DLL of one width and one section holding its import tables
// and their names, nothing else. Shared by the component tests of the reading
// (which damage such images at the offsets below) and the end-to-end tests
// of the load check (which plant hostile ones as codecs).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Where a small image (up to five imports and three delay-loaded ones) holds
// its tables: the section's address and file offset, and the offsets in it
// of the import descriptors, the delay-load descriptors and the names. A
// larger image's tables lie in the same order, each after the one before.
constexpr DWORD kImageSectionRva = 0x1000;
constexpr DWORD kImageSectionOffset = 0x200;
constexpr DWORD kImageImportsAt = 0x00;
constexpr DWORD kImageDelayedAt = 0x80;
constexpr DWORD kImageNamesAt = 0x100;

// The machine of the tests' own width.
WORD TestOwnMachine();

// Writes size bytes of data into an image at offset at (within its size).
void PutImageBytes(std::vector<BYTE>& bytes, std::size_t at, const void* data, std::size_t size);
template <typename T>
void PutImageValue(std::vector<BYTE>& bytes, std::size_t at, T value) {
    PutImageBytes(bytes, at, &value, sizeof(value));
}

// A DLL image of the machine (0: the tests' own width) that imports the DLLs
// named at load time and delay-loads the others.
std::vector<BYTE> DllImage(const std::vector<std::string>& imports, const std::vector<std::string>& delayed = {},
                           WORD machine = 0);

// Writes the bytes as the whole file at path; false when it cannot.
bool WriteImageFile(const std::wstring& path, const std::vector<BYTE>& bytes);
