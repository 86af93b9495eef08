// The steps the child takes for a codec, in order. The child names each on
// its pipe before it begins it, so that a child that crashes or hangs is
// known to have done so at that step, and the result names it.
#pragma once
#include "../base/win_headers.h"
#include "codec_kinds.h"

#include <cstddef>

enum LoadStep {
    StepLoadLibrary,     // LoadLibraryEx of the file; fails with a system error
    StepFindEntry,       // GetProcAddress of DllGetClassObject (a driver's DriverProc); fails with a system error
    StepClassObject,     // DllGetClassObject for the class id and IClassFactory; fails with an HRESULT
    StepCreateObject,    // IClassFactory::CreateInstance for IUnknown; fails with an HRESULT
    StepQueryInterface,  // QueryInterface for a kind's interface; fails with an HRESULT
    // An Explorer handler driven with a file (LoadShellFile), each with an HRESULT.
    StepInitialize,      // initialised with the file
    StepThumbnail,       // GetThumbnail of IThumbnailProvider, or IExtractImage's GetLocation and Extract
    StepProperties,      // GetCount, each GetAt and GetValue of IPropertyStore
    StepRelease,         // the object and the factory released; cannot fail
    // A multimedia driver's steps, as the system takes them when it opens one.
    StepDriverLoad,      // DRV_LOAD and DRV_ENABLE; fails with the message the driver refused
    StepDriverOpen,      // DRV_OPEN with the open description; fails with the error the driver set there, or 0
    StepDriverInfo,      // ICM_GETINFO or ACMDM_DRIVER_DETAILS; fails with what the driver answered
    StepDriverClose,     // DRV_CLOSE, DRV_DISABLE, DRV_FREE; cannot fail
    kLoadStepCount
};

// "при загрузке", "при создании объекта", ...: where a child crashed or hung.
// kind names the interface of StepQueryInterface, and the entry and the
// details a codec of its kind answers.
void NameStepPhrase(LoadStep step, LoadKind kind, wchar_t* text, std::size_t capacity);

// "<the system's own text> (ошибка 126)", else "ошибка 126".
void DescribeSystemError(DWORD code, wchar_t* text, std::size_t capacity);

// What a failed step says: "не загружается: <the system's text> (ошибка 126)",
// "фабрика класса не получена: ...", "объект не поддерживает интерфейс IBaseFilter".
void DescribeStepFailure(LoadStep step, LoadKind kind, DWORD code, wchar_t* text, std::size_t capacity);
