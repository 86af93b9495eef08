// A value line of a restore file as the restore's question shows it, under
// its key: indented, the value's name in «», then what is written: its type
// and its data (text as text, a number in hexadecimal, any other bytes as
// hexadecimal pairs), or that it is removed. A long name or data is cut,
// ending with "...".
#pragma once
#include "../base/growing_text.h"
#include "reg_file_reader.h"

void AppendValueForQuestion(GrowingText& line, const RegFileContents& contents, const RegFileEntry& value);
