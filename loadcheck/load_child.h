// The load check's child: a copy of the program started with a command line
// of its own, "<exe>" /vantrel-load-check <section>, so that it can start
// while the program still reads the codecs. It then reads "<count> <first>
// <end>" from its standard input, and loads and creates the codecs of the
// work list (load_work.h) from item `first` up to `end`. It writes lines to
// the section's journal (child_lines.h; the numbers in hexadecimal):
//   S <index> <step> [<kind>]         the step it begins now
//   E <index> <step> <code> [<kind>]  the step failed with a system error or
//                                     HRESULT; the codec is done
//   R <index> <width> <height> <count> what an Explorer handler driven with a
//                                     file made: its thumbnail's size (0 0:
//                                     none), its properties (ffffffff: not read)
//   O <index>                         the codec passed every step
//   D                                 the list is done; last line
// Codecs run here, never in the program: one that crashes or hangs takes only
// this child down, and the program goes on with a new child.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

extern const wchar_t kLoadCheckOption[];  // "/vantrel-load-check"


// Whether the process was started as the load check's child; the section it
// inherited goes to *section.
bool IsLoadCheckChild(HANDLE* section);

// Waits for the program's word, checks the codecs, reports them and ends the process.
int RunLoadCheckChild(HANDLE section);
