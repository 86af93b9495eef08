// The parts of the codec report, each appended to the report's text.
#pragma once
#include "../base/growing_text.h"
#include "codec_report.h"

// The rows of one view that are not in order, one line each, gathered while
// the view is written, for the list at the view's start.
struct ReportProblems {
    GrowingText lines;
    unsigned count = 0;
    const wchar_t* where = L"";  // the category being written
};

void AppendReportHeader(GrowingText& text, const SYSTEMTIME& now, const ReportView* views, int viewCount);
// The five categories of one view: with lists (the program's own view) the
// rows its lists show, then the Instance entries no row stands for; without
// them every Instance entry.
void AppendCategoryFilters(GrowingText& text, ReportProblems& problems, const ReportView& view, bool lists);
// Why the program's own view has no list rows: the audio codecs that do not
// open, among the view's problems.
void AppendListsNotRead(GrowingText& text, ReportProblems& problems, const ReportWithoutLists& why);
// The preferred, blocked and extension source filters of one view.
void AppendPlaybackPreferences(GrowingText& text, const ReportView& view);
// The DMO registrations of one view.
void AppendMediaObjects(GrowingText& text, const ReportView& view);

// Writes the status line of a row and, where it is not in order, notes the
// row among the view's problems: "  <where>: name - status".
void AppendStatus(GrowingText& text, ReportProblems& problems, const wchar_t* name, const wchar_t* status);
// Notes a row among the view's problems: "  <where>: name - status".
void NoteProblem(ReportProblems& problems, const wchar_t* name, const wchar_t* status);
// The ACM and Video for Windows codecs of one view, as dialog 136 lists them.
void AppendDriverCodecs(GrowingText& text, ReportProblems& problems, const ReportView& view);
// Explorer's handlers of media files of one view, as dialog 138 lists them:
// each row's state, handler, file, key and the handlers it hides.
void AppendShellHandlers(GrowingText& text, ReportProblems& problems, const ReportView& view);
// The Media Foundation transforms of one view, each category's rows as the
// dialog shows them, then the view's Preferred and DoNotUse values.
void AppendMediaFoundationTransforms(GrowingText& text, ReportProblems& problems, const ReportView& view);

// "  <subtype as the playback check names it>:  ", a Preferred value's start.
void AppendPreferredSubtype(GrowingText& text, const wchar_t* subtypeText);

// "{id}  name", or "{id}  не зарегистрирован" where the view has no class key for it.
void AppendFilterByClassId(GrowingText& text, REGSAM view, const wchar_t* classId);
