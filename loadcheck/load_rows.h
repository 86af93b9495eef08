// What dialog 135 and its saved report show of a check: the rows in their
// order (the program's own view's codecs, failing ones first, each group by
// name; then, under a heading, the other view's), each row's cells, and the
// summary line.
#pragma once
#include "../base/scoped.h"
#include "load_run.h"

enum LoadColumn { ColumnCodec, ColumnKind, ColumnFile, ColumnResult, kLoadColumnCount };

struct LoadRow {
    enum Source { Own, Other, OtherHeading } source;
    std::size_t index;  // into the run's list of that view
};

// The rows of the run's results: every codec, one not checked (the check was
// stopped, or its child could not be started) with the reason.
void ArrangeLoadRows(LoadCheckRun& run, HeapArray<LoadRow>& rows);

// A row's text in a column, into text (capacity characters).
void LoadCellText(LoadCheckRun& run, const LoadRow& row, int column, wchar_t* text, std::size_t capacity);

// "Проверено кодеков: N из M, с ошибками: K, не проверено: L." and the lines after it: the check
// was stopped, could not be started, ran with administrator rights.
void FormatLoadSummary(LoadCheckRun& run, LoadRunState state, wchar_t* text, std::size_t capacity);

// The column headings.
extern const wchar_t* const kLoadColumns[kLoadColumnCount];
