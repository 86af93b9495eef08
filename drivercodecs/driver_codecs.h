// The audio (ACM) and Video for Windows codecs of one registry view, read
// where Windows registers them: the values of Drivers32 whose names begin
// with "vidc." or "vids." (video) or "msacm." (audio), each with its data,
// the driver's file name or path; their descriptions in drivers.desc; and the
// rows of system.ini's [drivers32] that the registry does not hold (Windows
// maps that section to the key; an older Windows, and Wine, keep it as a
// file). Other values of the key (wave, midi, mixer, ...) are no codecs.
// Read only, as data: no driver is ever loaded or opened here, and no
// registry link is gone through.
#pragma once
#include "../base/app_state.h"
#include "../base/scoped.h"

#include <cstddef>

// HKLM\<this>, in the view; the 32-bit programs' keys lie below Wow6432Node.
extern const wchar_t kDrivers32Path[];         // "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Drivers32"
extern const wchar_t kDriverDescriptionsPath[];  // "SOFTWARE\Microsoft\Windows NT\CurrentVersion\drivers.desc"

enum DriverKind {
    DriverVideo,  // "vidc.", "vids.": a Video for Windows codec, opened by ICOpen
    DriverAudio,  // "msacm.": an ACM codec, opened by the audio compression manager
};

// "видео (VfW)", "звук (ACM)".
const wchar_t* DriverKindTitle(DriverKind kind);

// Whether the value name is a codec's, and of which kind.
bool DriverKindOfName(const wchar_t* valueName, DriverKind* kind);

// Whether Windows ever finds a codec of that name: a video codec is looked
// up by its FOURCC, "vidc." and four characters, so a name of another length
// is never found. Any audio codec's alias is.
bool DriverNameWorks(const wchar_t* valueName);

// The longest value name kept whole; a longer one is shown cut and never acted on.
constexpr std::size_t kDriverNameCapacity = 256;

struct DriverCodec {
    wchar_t name[kDriverNameCapacity];  // the value's name as the registry holds it, "vidc.mrle"
    bool nameCut;                       // longer than the room: shown cut, never acted on
    DriverKind kind;
    bool fromSystemIni;                 // a row of system.ini's [drivers32] that the registry does not hold
    wchar_t data[kNameCapacity];        // the value's data as written (a file name or a path)
    // The file as the view's programs take it: the data up to its first
    // blank (the rest are the driver's arguments), a bare name in the
    // width's system folder; as those programs name it.
    wchar_t file[kNameCapacity];
    wchar_t facts[kNameCapacity];       // "версия 1.2.3.4, Company, 123 456 байт", or empty
    wchar_t description[kNameCapacity]; // drivers.desc, else the file's own description
    wchar_t state[kShortTextCapacity];  // "в порядке", "файл не найден", ...; ", из system.ini" after it
    bool inOrder;                       // the state is "в порядке" (a row of system.ini's too)
};

using DriverCodecList = HeapArray<DriverCodec>;

// The states a row's file and name give it.
extern const wchar_t kDriverStateOk[];         // "в порядке"
extern const wchar_t kDriverStateNoFile[];     // "файл не найден"
extern const wchar_t kDriverStateBadName[];    // "имя не действует"
extern const wchar_t kDriverFromSystemIni[];   // "из system.ini"

enum DriverReading {
    DriverRowsWhole,      // every column: the file read as data, its facts and description, its state
    DriverNamesAndFiles,  // the names, data, files and descriptions of drivers.desc only (the load check judges the files itself)
};

// Reads the view's codecs (0: the program's own; KEY_WOW64_64KEY or
// KEY_WOW64_32KEY) into codecs, emptied first, sorted by kind, then name.
// False when memory ran out and the list is not whole.
bool ReadDriverCodecs(REGSAM view, DriverCodecList& codecs, DriverReading reading = DriverRowsWhole);

// The name as a row shows it: cut with "…", control characters and
// direction marks as "?", so that it stays one line.
void DriverNameText(const DriverCodec& codec, wchar_t* text, std::size_t capacity);

// The "Файл" column: the file with its facts in brackets, or "(не указан)".
void DriverFileText(const DriverCodec& codec, wchar_t* text, std::size_t capacity);

// system.ini's [drivers32] as the system reads it, into section: its rows
// one after another, each terminated, the last followed by a second
// terminator, however long (up to 8M characters). Null when the section is
// empty or longer, or memory ran out.
wchar_t* ReadSystemIniDrivers(HeapBuffer& section);

// Calls visit(name, data) for each "name=file" row of the section read by
// ReadSystemIniDrivers (a comment is no row; the system's reading leaves no
// blanks around the name) until a visit returns false; whether none did.
template <typename Visitor>
bool ForEachSystemIniDriver(wchar_t* rows, Visitor&& visit) {
    for (wchar_t* line = rows; line && *line; line += lstrlenW(line) + 1) {
        if (line[0] == L';') continue;
        wchar_t* equals = line;
        while (*equals && *equals != L'=') ++equals;
        if (!*equals) continue;
        *equals = L'\0';
        const bool goOn = visit(static_cast<const wchar_t*>(line), static_cast<const wchar_t*>(equals + 1));
        *equals = L'=';
        if (!goOn) return false;
    }
    return true;
}

// The index of the row of that kind and name (letter case aside), or -1.
long FindDriverCodec(const DriverCodecList& codecs, DriverKind kind, const wchar_t* name);
