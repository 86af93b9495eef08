// The load check's child: a copy of the program started with a command line
// of its own, "<exe>" /vantrel-load-check <section>, so that it can start
// while the program still reads the codecs. It then reads "<count> <first>"
// from its standard input, and loads and creates the codecs of the work list
// (load_work.h) from item `first` on, naming each codec and step in the
// section's progress before it begins it. Its results are lines in the
// section's journal (child_lines.h; the numbers in hexadecimal):
//   E <index> <step> <code> [<kind>]  the step failed with a system error or
//                                     HRESULT; the codec is done
//   O <index>                         the codec passed every step
//   D                                 the list is done; last line
// Codecs run here, never in the program: one that crashes or hangs takes only
// this child down, and the program goes on with a new child from the next item.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

extern const wchar_t kLoadCheckOption[];  // "/vantrel-load-check"


// Whether the process was started as the load check's child; the section it
// inherited goes to *section.
bool IsLoadCheckChild(HANDLE* section);

// Waits for the program's word, checks the codecs, reports them and ends the process.
int RunLoadCheckChild(HANDLE section);
