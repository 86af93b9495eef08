// Which classes below CLSID a restore may write. A file in the backup folder
// can be anyone's, and a class key decides which code every program that
// creates the class runs: under CLSID a restore writes only
// - Instance entries, CLSID\{category}\Instance\<entry> (and below them),
//   of a category whose class key holds an Instance key now;
// - codec classes, CLSID\<class> and the keys below it, where the class is a
//   codec now (an Instance entry names it, by its name or its CLSID value, or
//   it has a DMO key or a Media Foundation transform key of its own), or has
//   no class key now and the same file registers it as a codec (an Instance
//   entry, DMO key or transform key of it among the file's keys), or has no
//   class key now and its server in the file is the file of such a codec,
//   as the unregistration's backup holds every class of a codec's file.
// A class that exists and is no codec is never written; LocalServer32,
// LocalServer, InprocHandler32, TreatAs and AutoTreatAs, which would let a
// class run other code, are refused below any class. A key of the user's
// classes is judged against the machine's classes as well (the user's
// override them); a key of the machine's only against the machine's.
#pragma once
#include "../base/growing_text.h"
#include "reg_file_reader.h"

#include <cstddef>

// A class the file writes: its class key's full name is the first
// nameLength characters of the name of the file's key entry `entry` (the
// class key itself, or the first key below it).
struct WrittenClass {
    std::size_t entry;
    std::size_t nameLength;
};

struct ClassesOfFile {
    HeapArray<WrittenClass> classes;  // in the order the file first names them
    std::size_t refusedLine = 0;      // the first line of a key that may not be written; 0 when none
    bool failed = false;              // memory ran out: nothing may be written
};

// Judges every key of contents that lies below CLSID of a classes root (the
// file read whole, every key a restore may write by its kind).
void JudgeClassKeys(const RegFileContents& contents, ClassesOfFile& result);

// Appends the class for the user: its key's full name and, in brackets, its
// name where the file or the registry gives one (the class key's default
// value in the file, its Instance entry's FriendlyName in the file, or its
// class key's default value in the registry), cut at 64 characters.
void AppendWrittenClass(GrowingText& line, const RegFileContents& contents, const WrittenClass& written);
