// The lines a child process writes to the program, through its standard
// output or a journal in memory it shares with the program: UTF-16, a kind
// character, then fields each after a tab, ended by a line feed. Both checks
// that load codecs in a child speak them, and read them the same way.
#pragma once
#include "../base/scoped.h"

#include <cstddef>
#include <initializer_list>

// The longest line any child writes, its line feed and a terminator included.
constexpr std::size_t kChildLineCapacity = 1024;

// Copies the field that starts at *cursor (a tab, then up to the next tab or
// the end) into field, cut to its capacity, and moves the cursor past it;
// false when no field starts there.
bool NextLineField(const wchar_t*& cursor, wchar_t* field, std::size_t capacity);

// Reads the next field as a number written in hexadecimal; false when there
// is none or it holds anything else.
bool NextHexField(const wchar_t*& cursor, unsigned long* value);

// Takes the child's lines as they come.
class ChildLineReader {
public:
    // One line without its line feed, terminated; the reader may change it.
    virtual void TakeLine(wchar_t* line) = 0;
    // Whether the child's last line has come.
    virtual bool Complete() const = 0;

protected:
    ~ChildLineReader() = default;
};

// Cuts what a child sends into lines as it comes, holding a line not yet
// ended for later, and bounds it: no line longer than the child ever writes,
// and no more than it may send in all.
class ChildLineSplitter {
public:
    // lineChars: the longest line, its line feed included; bytes: the most in all.
    ChildLineSplitter(SIZE_T lineChars, SIZE_T bytes) { Reset(lineChars, bytes); }
    ChildLineSplitter(const ChildLineSplitter&) = delete;
    ChildLineSplitter& operator=(const ChildLineSplitter&) = delete;
    // Starts afresh with these bounds.
    void Reset(SIZE_T lineChars, SIZE_T bytes) {
        lineChars_ = lineChars;
        bytesAtMost_ = bytes;
        heldBytes_ = 0;
        received_ = 0;
    }
    // Hands each line that the new bytes complete to reader; false (a flood)
    // when a line runs longer or everything sent exceeds the bound.
    bool Take(const BYTE* bytes, SIZE_T count, ChildLineReader& reader);

private:
    SIZE_T lineChars_ = 0;
    SIZE_T bytesAtMost_ = 0;
    HeapBuffer held_;
    SIZE_T heldBytes_ = 0;  // the line not yet ended
    SIZE_T received_ = 0;   // everything taken
};

// The child's side: one line of `kind` with the fields given (each may be
// null: it ends the list), its line feed included, into line (lineCapacity
// characters, at most kChildLineCapacity, its terminator included). What may
// not stand raw in a line (IsUnsafeInLine: tabs and line breaks among them)
// becomes a blank inside a field; a line too long is cut before its line feed.
void FormatChildLine(wchar_t* line, std::size_t lineCapacity, wchar_t kind,
                     std::initializer_list<const wchar_t*> fields);

// The child's side: writes one line of `kind` with the fields given (each
// may be null: it ends the list). What may not stand raw in a line
// (IsUnsafeInLine: tabs and line breaks among them) becomes a blank inside a
// field; a line longer than lineCapacity characters (at most
// kChildLineCapacity, its terminator included) is cut before its line feed.
void WriteChildLine(HANDLE channel, std::size_t lineCapacity, wchar_t kind,
                    std::initializer_list<const wchar_t*> fields);
