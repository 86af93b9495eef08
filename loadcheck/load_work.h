// What the program and a load check's child share in a section of memory the
// child inherits: the codecs the child takes, in order (written by the
// program, so that nothing goes to disk and no list has to fit a command
// line); the step the child is at (written by the child before it begins
// each step, so that a child that crashes or hangs is known to have done so
// at that codec and step); and the child's lines (child_lines.h), appended
// to a journal that the program reads as it reads a child's pipe. Under Wine
// every write to a pipe costs a round trip to the system's server: naming
// each step and result through the pipe made the check take twice as long as
// the same loads in one process.
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
};

// The child's step. It writes item, step and kind, then counts the step
// begun; whatever the child may scribble here, the program bounds it.
struct LoadProgress {
    volatile LONG steps;  // steps begun so far
    volatile LONG item;
    volatile LONG step;   // LoadStep
    volatile LONG kind;   // LoadKind of a QueryInterface step
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
    // Empties the journal, for a new child (the one before has ended).
    void ClearJournal();
    // The journal's bytes and how many of them the child has written whole
    // lines into; false when that count is out of the journal's bounds (a
    // codec wrote there).
    bool JournalWritten(const BYTE** bytes, SIZE_T* written) const;
    void Set(std::size_t index, const LoadWorkItem& item);
    // The section's handle, for the child to inherit.
    HANDLE Section() const { return section_.Get(); }
    // The child's step as it last wrote it: the count of steps begun, and the
    // step itself; read twice over so that the parts belong together.
    LONG Progress(LONG* item, LONG* step, LONG* kind) const;

private:
    KernelHandle section_;
    BYTE* view_ = nullptr;  // mapped while the list lives
    std::size_t capacity_ = 0;
    SIZE_T journalBytes_ = 0;
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
    // Names the step the child begins now.
    void Begin(std::size_t item, int step, int kind);
    // Appends a whole line (FormatChildLine) to the journal, where there is room.
    void Write(const wchar_t* line);

private:
    BYTE* view_ = nullptr;
    SIZE_T journalBytes_ = 0;
};
