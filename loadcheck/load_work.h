// The codecs a load check's child takes, in order: written by the program
// into a section of memory that the child inherits and reads, so that nothing
// goes to disk and no list has to fit a command line.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"

struct LoadWorkItem {
    DWORD procedure;               // LoadProcedure
    DWORD kinds;                   // LoadKinds
    wchar_t classId[40];           // "{...}"
    wchar_t path[kNameCapacity];   // the server file, as the program found it
};

// The program's side.
class LoadWorkList {
public:
    // Makes the section for count items; false when it cannot be made.
    bool Make(std::size_t count);
    void Set(std::size_t index, const LoadWorkItem& item);
    std::size_t Count() const { return count_; }
    // The section's handle, for the child to inherit.
    HANDLE Section() const { return section_.Get(); }

private:
    KernelHandle section_;
    LoadWorkItem* items_ = nullptr;  // mapped for writing while the list lives
    std::size_t count_ = 0;

public:
    LoadWorkList() = default;
    ~LoadWorkList();
    LoadWorkList(const LoadWorkList&) = delete;
    LoadWorkList& operator=(const LoadWorkList&) = delete;
};

// The child's side: the section it inherited, mapped for reading. Open is
// false when the section is not there or smaller than count items.
class LoadWorkView {
public:
    LoadWorkView() = default;
    ~LoadWorkView();
    LoadWorkView(const LoadWorkView&) = delete;
    LoadWorkView& operator=(const LoadWorkView&) = delete;

    bool Open(HANDLE section, std::size_t count);
    // A copy of item `index`, its texts terminated inside their fields.
    LoadWorkItem Item(std::size_t index) const;

private:
    const LoadWorkItem* items_ = nullptr;
};
