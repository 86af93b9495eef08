// What the program and a load check's child share in a section of memory the
// child inherits: the codecs the child takes, in order (written by the
// program, so that nothing goes to disk and no list has to fit a command
// line); and the child's lines (child_lines.h), appended to a journal that
// the program reads as it reads a child's pipe: each step named before it
// begins (so that a child that crashes or hangs is known to have done so at
// that codec and step), each codec's result, the list's end. Under Wine
// every write to a pipe costs a round trip to the system's server: naming
// each step and result through the pipe made the check take twice as long as
// the same loads in one process. The codecs run in the same process and can
// write here too: the program believes nothing it reads without checking it
// against the list it gave (load_run.h).
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"
#include "../drivercodecs/driver_codecs.h"

// The longest line the child writes, its line feed included.
constexpr std::size_t kLoadLineChars = 64;

struct LoadWorkItem {
    DWORD procedure;               // LoadProcedure
    DWORD kinds;                   // LoadKinds
    wchar_t classId[40];           // "{...}"
    wchar_t path[kNameCapacity];   // the server file, as the program found it
    wchar_t alias[kDriverNameCapacity];  // a driver's value name: its alias, and a video codec's FOURCC after "vidc."
    // An Explorer handler driven with a file (LoadShellFile): the file, and
    // where the child saves the thumbnail the handler made.
    wchar_t media[kNameCapacity];
    wchar_t thumbnail[kNameCapacity];
};

// The most lines the child writes for one codec: a line for each step it
// begins (the interface query once for each kind) and its result.
constexpr std::size_t kLoadLinesPerCodec = 16;

// The head of the section: the journal's count of bytes written in whole
// lines, and its room as the program made it. The journal follows, then the
// items.
struct LoadSectionHead {
    volatile LONG journalWritten;
    DWORD journalBytes;
};

// The program's side.
class LoadWorkList {
public:
    LoadWorkList() = default;
    ~LoadWorkList();
    LoadWorkList(const LoadWorkList&) = delete;
    LoadWorkList& operator=(const LoadWorkList&) = delete;

    // Makes the section, with room for capacity items and a line for each in
    // the journal; false when it cannot be made.
    bool Make(std::size_t capacity);
    std::size_t Capacity() const { return capacity_; }
    // The journal's room in bytes.
    SIZE_T JournalBytes() const { return journalBytes_; }
    // Empties the journal, for a new child (the one before has ended). A
    // section no child has had yet is all zeros as made: writing its 8 MB
    // over took 20 to 40 ms, before the first child could start.
    void ClearJournal();
    // The journal's bytes and how many of them the child has written whole
    // lines into; false when that count is out of the journal's bounds (a
    // codec wrote there), and the bytes up to the first empty character
    // are given instead, which the child wrote before.
    bool JournalWritten(const BYTE** bytes, SIZE_T* written) const;
    void Set(std::size_t index, const LoadWorkItem& item);
    // The section's handle, for the child to inherit.
    HANDLE Section() const { return section_.Get(); }

private:
    KernelHandle section_;
    BYTE* view_ = nullptr;  // mapped while the list lives
    std::size_t capacity_ = 0;
    SIZE_T journalBytes_ = 0;
    bool journalGiven_ = false;  // a child has had the section since it was made
};

// The child's side: the section it inherited, mapped. Open is false when the
// section is not there or holds fewer than count items.
class LoadWorkView {
public:
    LoadWorkView() = default;
    ~LoadWorkView();
    LoadWorkView(const LoadWorkView&) = delete;
    LoadWorkView& operator=(const LoadWorkView&) = delete;

    bool Open(HANDLE section, std::size_t count);
    // A copy of item `index`, its texts terminated inside their fields.
    LoadWorkItem Item(std::size_t index) const;
    // Appends a whole line (FormatChildLine) to the journal, where there is room.
    void Write(const wchar_t* line);

private:
    BYTE* view_ = nullptr;
    SIZE_T journalBytes_ = 0;
};
