// The ACM and Video for Windows codecs' values a restore may write. Of
// Drivers32 only a codec's own value, in exactly the form Windows reads as a
// codec's, and only as text: any other value there (a sound driver's, a name
// with a blank at its end, data Windows would expand) is loaded by other
// programs in other ways. Of drivers.desc only the description of a file that
// a codec value of the same restore file names, in the same view.
#pragma once
#include "reg_file_reader.h"

// Whether the name is a codec's value of Drivers32: "vidc." or "vids." and
// four characters, or "msacm." and an alias of at least one character; the
// prefix in any letter case (Windows compares value names so), no blank at
// either end of what follows the dot.
bool IsCodecDriverName(const wchar_t* name);

// Whether a value line of Drivers32 may be restored: a codec's name, set only as REG_SZ.
bool CodecDriverValueAllowed(const RegFileEntry& value, const wchar_t* name);

// Whether a value line of drivers.desc may be restored. One that sets a
// description needs a codec value of Drivers32 in the same view (otherHalf:
// the 32-bit view's key, below Wow6432Node) among the file's lines whose data
// names its file, as the data itself or as its file name (letter case
// aside); one that removes a description needs a codec value line of that
// Drivers32 at all (the restore's own backup removes both again).
bool DriverDescriptionAllowed(const RegFileContents& contents, const RegFileEntry& value, bool otherHalf);
