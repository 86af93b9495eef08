// "Проверить загрузку" and "Проверить на файле.." of dialog 138: Explorer's
// handlers of a view loaded and made in the load check's child, as the load
// check (command 40045) checks them; or those Explorer uses for a file's
// extension driven with the file in that child. The load check makes it (it
// lies above this folder); the dialog only drives it.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>
#include <memory>

class ShellLoadCheck {
public:
    virtual ~ShellLoadCheck() = default;

    // Loads the view's handlers (0: the program's own). Each child that ends posts message to window.
    virtual void StartLoading(REGSAM view, HWND window, UINT message) = 0;
    // Drives each handler of the program's own view that Explorer uses for
    // the file's extension with the file; the thumbnails they make go to folder.
    virtual void StartFile(const wchar_t* file, const wchar_t* folder, HWND window, UINT message) = 0;
    // Takes what the child has done since; false once the check is over.
    virtual bool Poll() = 0;
    // "Проверено N из M" and the handler at work while the check runs; the summary once it is over.
    virtual void Progress(wchar_t* text, std::size_t capacity) const = 0;

    struct Result {
        const wchar_t* text;   // the check's result
        bool passed;
        bool made;             // what a handler driven with a file made:
        unsigned long thumbnailWidth, thumbnailHeight;  // its thumbnail (0 0: none)
        unsigned long propertyCount;                    // ULONG_MAX: not read
    };
    // The result of the handler's class, false where the check gave it none.
    virtual bool ResultOf(const GUID& classId, Result* result) const = 0;
};

using ShellCheckMaker = std::unique_ptr<ShellLoadCheck> (*)();

// Where a file's check saves the thumbnail of the handler's class in folder (kNameCapacity characters).
void ShellThumbnailPath(const wchar_t* folder, const wchar_t* classId, wchar_t* path);
