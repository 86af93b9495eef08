// What the child process that builds a file's graph reports back, line by
// line, and how the program reads it. Each line is UTF-16, fields separated
// by tabs, ended by a line feed:
//   L <name>                          the filter the graph builder chose last
//   F <class id> <subtype|-> <name>   a filter of the graph, in stream order,
//                                     with the subtype of its input connection
//   U <subtype|->                     an output pin that nothing accepted
//   A                                 the system has no audio output device
//   R <status>                        the graph's status (hexadecimal); last line
#pragma once
#include "../base/app_state.h"
#include "../child/child_lines.h"

#include <cstddef>

constexpr std::size_t kMaxChainRows = 32;  // a player's graph holds far fewer filters
constexpr std::size_t kChainTextCapacity = kShortTextCapacity;
// The longest line the child writes, its line feed and a terminator included.
constexpr std::size_t kReportLineCapacity = 3 * kChainTextCapacity + 8;
static_assert(kReportLineCapacity <= kChildLineCapacity);
// The child names at most this many filters that the graph builder chose
// (far more than it tries for one file); later choices are not reported.
constexpr std::size_t kLastFilterLinesAtMost = 4096;
// The most a whole report can hold: every line it may have, each at its longest.
constexpr std::size_t kReportBytesAtMost =
    (kLastFilterLinesAtMost + kMaxChainRows + 2) * (kReportLineCapacity - 1) * sizeof(wchar_t);

enum ChainRowKind { ChainFilter, ChainUnconnectedPin };

struct ReportedRow {
    ChainRowKind kind = ChainFilter;
    wchar_t classId[kChainTextCapacity] = {};
    wchar_t graphName[kChainTextCapacity] = {};
    bool hasSubtype = false;
    GUID subtype = GUID_NULL;
};

struct CheckReport {
    ReportedRow rows[kMaxChainRows];
    std::size_t rowCount = 0;
    wchar_t lastFilter[kChainTextCapacity] = {};
    bool noAudioDevice = false;
    bool finished = false;  // the status line arrived
    HRESULT status = S_OK;
};

// Takes one line (without its line feed) into the report; lines it cannot
// read, and rows beyond kMaxChainRows, are passed over.
void ReadReportLine(CheckReport& report, const wchar_t* line);

// The child's side: writes one line of kind `kind` with up to three fields
// (WriteChildLine).
void WriteReportLine(HANDLE channel, wchar_t kind, const wchar_t* first = nullptr, const wchar_t* second = nullptr,
                     const wchar_t* third = nullptr);
