#include "path_file_name.h"

const wchar_t* PathFileName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at; ++at) {
        if (*at == L'\\' || *at == L'/') name = at + 1;
    }
    return name;
}
