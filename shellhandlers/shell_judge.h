// A handler judged as the load check judges a codec, nothing loaded: its
// class key (the user's classes over the machine's, in the view), its server
// file expanded and located as the scan does, the file's width and the DLLs
// it needs as the loader would look for them; and whether the shell leaves it
// alone: its class id under Blocked (the machine's or the user's), or, where
// the policy EnforceShellExtensionSecurity is 1, not under Approved. Each
// class is judged once per reading.
#pragma once
#include "../modules/import_walk.h"
#include "shell_handlers.h"

class ShellJudge {
public:
    explicit ShellJudge(REGSAM view);

    // Fills the row's name, file and state from its class id.
    void Judge(ShellHandlerRow& row);
    // The class key's name of the class id, else the class id itself.
    const wchar_t* NameOf(const wchar_t* classId);

private:
    struct Judged {
        GUID guid;
        wchar_t name[kNameCapacity];
        bool classKeyFound;
        wchar_t file[kNameCapacity];
        bool loadable;
        wchar_t result[kNameCapacity];
        wchar_t note[kNameCapacity];
        bool blocked;
        bool blockedByMachine;
        bool approved;
    };
    const Judged& Of(const wchar_t* classId, const GUID& guid);
    void JudgeClass(const wchar_t* classId, Judged& judged);
    void JudgeFile(const wchar_t* path, Judged& judged);

    REGSAM view_;
    DllSearch search_;
    ImportWalkMemory walked_;
    RegKey classes_[2];  // CLSID of the user's classes and of the machine's
    RegKey blocked_[2];  // Blocked of the machine and of the user
    RegKey approved_;
    bool enforced_ = false;
    HeapArray<Judged> judged_;
    Judged unkept_;
};
