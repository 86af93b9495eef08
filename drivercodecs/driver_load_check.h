// "Проверить загрузку" of dialog 136: the chosen codecs of a view checked as
// the load check (command 40045) checks them, their files read as data and
// those that pass opened in the load check's child process. The load check
// makes it (it lies above this folder); the dialog only drives it.
#pragma once
#include "driver_codecs.h"

#include <memory>

class DriverLoadCheck {
public:
    virtual ~DriverLoadCheck() = default;

    struct Codec {
        DriverKind kind;
        const wchar_t* name;  // the value's name as the registry holds it
    };
    // Starts checking the view's codecs given (count of them; all where count
    // is 0). Each child that ends posts message to window.
    virtual void Start(REGSAM view, const Codec* codecs, std::size_t count, HWND window, UINT message) = 0;
    // Takes what the child has done since; false once the check is over.
    virtual bool Poll() = 0;
    // "Проверено N из M" and the codec at work while the check runs; the
    // check's summary once it is over.
    virtual void Progress(wchar_t* text, std::size_t capacity) const = 0;
    // The result of the codec, or null where the check gave it none.
    virtual const wchar_t* ResultOf(DriverKind kind, const wchar_t* name) const = 0;
};

using DriverCheckMaker = std::unique_ptr<DriverLoadCheck> (*)();
