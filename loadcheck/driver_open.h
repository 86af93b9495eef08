// A multimedia driver (an ACM or a Video for Windows codec) opened as the
// system opens it, through its own DriverProc, each step named before it
// begins: by the load check's child for each driver it checks, and by the
// child that walks a compressor category for each driver before the walk.
#pragma once
#include "load_steps.h"

// Where the steps are named and the result goes.
class DriverSteps {
public:
    virtual ~DriverSteps() = default;
    // The step begins; kind is the codec's kind (codec_kinds.h), or -1.
    virtual void Begin(LoadStep step, int kind) = 0;
    // The step begun last failed with code; the driver is done.
    virtual void Fail(DWORD code) = 0;
    // Every step passed.
    virtual void Pass() = 0;
};

// Opens the driver file at path as the value alias ("msacm.x", "vidc.xxxx")
// of Drivers32, as an audio codec or a video codec. The DLL stays loaded.
void OpenDriverAsSystem(DriverSteps& steps, const wchar_t* path, const wchar_t* alias, bool audio);
