// The load check's child: a copy of the program started with a command line
// of its own, "<exe>" /vantrel-load-check <section> <count> <first>, that
// loads and creates the codecs of the work list (load_work.h) from item
// `first` on, and names each codec and step on its pipe before it begins it
// (child_lines.h; the numbers in hexadecimal):
//   H                                 ready: the next line begins a codec
//   S <index> <step> [<kind>]         begins a step (load_steps.h) of item index
//   E <index> <step> <code> [<kind>]  that step failed with a system error or
//                                     HRESULT; the codec is done
//   O <index>                         item index passed every step
//   D                                 the list is done; last line
// Codecs run here, never in the program: one that crashes or hangs takes only
// this child down, and the program goes on with a new child from the next item.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

extern const wchar_t kLoadCheckOption[];  // "/vantrel-load-check"

// The longest line the child writes, its line feed included.
constexpr std::size_t kLoadLineChars = 64;
// The lines a child writes for one codec at most.
constexpr std::size_t kLoadLinesPerCodec = 2 * 6 + 2;

struct LoadChildArguments {
    HANDLE section = nullptr;
    std::size_t count = 0;
    std::size_t first = 0;
};

// Whether the process was started as the load check's child; its arguments
// go to arguments.
bool IsLoadCheckChild(LoadChildArguments& arguments);

// Checks the codecs, reports them and ends the process.
int RunLoadCheckChild(const LoadChildArguments& arguments);
