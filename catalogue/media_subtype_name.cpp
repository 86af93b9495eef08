#include "media_subtype_name.h"

#include "../base/bounded_text.h"
#include "registry_text.h"

namespace {

// Subtypes built from a four-character code or a wave format tag share this
// GUID apart from its first word: XXXXXXXX-0000-0010-8000-00AA00389B71.
bool HasCodeBase(const GUID& subtype) {
    static const BYTE kTail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (subtype.Data2 != 0x0000 || subtype.Data3 != 0x0010) return false;
    for (int i = 0; i < 8; ++i) {
        if (subtype.Data4[i] != kTail[i]) return false;
    }
    return true;
}

constexpr DWORD Code(char a, char b, char c, char d) {
    return static_cast<DWORD>(static_cast<unsigned char>(a)) | (static_cast<DWORD>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<DWORD>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<DWORD>(static_cast<unsigned char>(d)) << 24);
}

struct CodeName {
    DWORD code;  // the GUID's first word: a four-character code or a wave format tag
    const wchar_t* name;
};

const CodeName kCodeNames[] = {
    {Code('H', '2', '6', '4'), L"H.264"},
    {Code('h', '2', '6', '4'), L"H.264"},
    {Code('A', 'V', 'C', '1'), L"H.264"},
    {Code('a', 'v', 'c', '1'), L"H.264"},
    {Code('X', '2', '6', '4'), L"H.264"},
    {Code('x', '2', '6', '4'), L"H.264"},
    {Code('H', 'E', 'V', 'C'), L"HEVC"},
    {Code('h', 'e', 'v', 'c'), L"HEVC"},
    {Code('H', '2', '6', '5'), L"HEVC"},
    {Code('h', '2', '6', '5'), L"HEVC"},
    {Code('H', 'V', 'C', '1'), L"HEVC"},
    {Code('h', 'v', 'c', '1'), L"HEVC"},
    {Code('M', 'P', 'G', '2'), L"MPEG-2 Video"},
    {Code('m', 'p', 'g', '2'), L"MPEG-2 Video"},
    {Code('M', 'P', 'G', '1'), L"MPEG-1"},
    {Code('m', 'p', 'g', '1'), L"MPEG-1"},
    {Code('M', 'P', '4', 'V'), L"MPEG-4 Part 2"},
    {Code('m', 'p', '4', 'v'), L"MPEG-4 Part 2"},
    {Code('X', 'V', 'I', 'D'), L"MPEG-4 Part 2"},
    {Code('x', 'v', 'i', 'd'), L"MPEG-4 Part 2"},
    {Code('D', 'I', 'V', 'X'), L"MPEG-4 Part 2"},
    {Code('d', 'i', 'v', 'x'), L"MPEG-4 Part 2"},
    {Code('D', 'X', '5', '0'), L"MPEG-4 Part 2"},
    {Code('F', 'M', 'P', '4'), L"MPEG-4 Part 2"},
    {Code('M', '4', 'S', '2'), L"MPEG-4 Part 2"},
    {Code('M', 'P', '4', 'S'), L"MPEG-4 Part 2"},
    {Code('W', 'V', 'C', '1'), L"VC-1"},
    {Code('w', 'v', 'c', '1'), L"VC-1"},
    {Code('W', 'M', 'V', 'A'), L"VC-1"},
    {Code('W', 'M', 'V', '3'), L"WMV3"},
    {Code('w', 'm', 'v', '3'), L"WMV3"},
    {Code('M', 'J', 'P', 'G'), L"MJPG"},
    {Code('m', 'j', 'p', 'g'), L"MJPG"},
    {Code('Y', 'V', '1', '2'), L"YV12"},
    {Code('N', 'V', '1', '2'), L"NV12"},
    {Code('I', '4', '2', '0'), L"I420"},
    {Code('I', 'Y', 'U', 'V'), L"I420"},
    {Code('Y', 'U', 'Y', '2'), L"YUY2"},
    // Wave format tags.
    {0x0001, L"PCM"},
    {0x0003, L"IEEE float"},
    {0x0050, L"MPEG Audio"},
    {0x0055, L"MP3"},
    {0x0092, L"AC-3"},
    {0x2000, L"AC-3"},
    {0x00FF, L"AAC"},
    {0x1600, L"AAC"},
    {0x1610, L"AAC"},
    {Code('A', 'A', 'C', ' '), L"AAC"},
    {Code('m', 'p', '4', 'a'), L"AAC"},
    // Media Foundation's uncompressed RGB, by their Direct3D format numbers.
    {20, L"RGB24"},
    {21, L"ARGB32"},
    {22, L"RGB32"},
    {23, L"RGB565"},
    {24, L"RGB555"},
    {0x0160, L"WMA"},
    {0x0161, L"WMA"},
    {0x0162, L"WMA"},
    {0x0163, L"WMA"},
};

struct GuidName {
    GUID subtype;
    const wchar_t* name;
};

// Subtypes of their own GUIDs, outside the four-character code base.
const GuidName kGuidNames[] = {
    {{0xe06d8026, 0xdb46, 0x11cf, {0xb4, 0xd1, 0x00, 0x80, 0x5f, 0x6c, 0xbb, 0xea}}, L"MPEG-2 Video"},
    {{0xe06d802b, 0xdb46, 0x11cf, {0xb4, 0xd1, 0x00, 0x80, 0x5f, 0x6c, 0xbb, 0xea}}, L"MPEG Audio"},  // MPEG-2 audio
    {{0xe06d802c, 0xdb46, 0x11cf, {0xb4, 0xd1, 0x00, 0x80, 0x5f, 0x6c, 0xbb, 0xea}}, L"AC-3"},
    {{0xe436eb80, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}}, L"MPEG-1"},  // packet
    {{0xe436eb81, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}}, L"MPEG-1"},  // payload
    {{0xe436eb86, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}}, L"MPEG-1"},  // video
    {{0xe436eb87, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}}, L"MPEG Audio"},
    {{0xe436eb7d, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}}, L"RGB24"},
    {{0xe436eb7e, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}}, L"RGB32"},
    // Media Foundation's H.264 elementary stream (MFVideoFormat_H264_ES).
    {{0x3f40f4f0, 0x5622, 0x4ff8, {0xb6, 0xd8, 0xa1, 0x7a, 0x58, 0x4b, 0xee, 0x5e}}, L"H.264"},
};

bool IsPrintable(DWORD byte) { return byte >= 0x20 && byte <= 0x7E; }

}  // namespace

void NameMediaSubtype(const GUID& subtype, wchar_t* text, std::size_t capacity) {
    for (const GuidName& known : kGuidNames) {
        if (IsEqualGUID(subtype, known.subtype)) {
            CopyText(text, capacity, known.name);
            return;
        }
    }
    if (HasCodeBase(subtype)) {
        for (const CodeName& known : kCodeNames) {
            if (subtype.Data1 == known.code) {
                CopyText(text, capacity, known.name);
                return;
            }
        }
        const DWORD code = subtype.Data1;
        const wchar_t letters[5] = {static_cast<wchar_t>(code & 0xFF), static_cast<wchar_t>((code >> 8) & 0xFF),
                                    static_cast<wchar_t>((code >> 16) & 0xFF),
                                    static_cast<wchar_t>((code >> 24) & 0xFF), L'\0'};
        bool printable = true;
        for (int i = 0; i < 4; ++i) printable = printable && IsPrintable(letters[i]);
        if (printable) {
            CopyText(text, capacity, letters);
            return;
        }
    }
    wchar_t guid[40] = {};
    StringFromGUID2(subtype, guid, 40);
    CopyText(text, capacity, guid);
}

void NameMediaSubtypeText(const wchar_t* subtypeText, wchar_t* text, std::size_t capacity) {
    GUID guid;
    if (IsGuidText(subtypeText) && SUCCEEDED(IIDFromString(subtypeText, &guid))) {
        NameMediaSubtype(guid, text, capacity);
    } else {
        CopyText(text, capacity, subtypeText);
    }
}

void ForEachNamedSubtype(void (*visit)(const GUID& subtype, const wchar_t* name, void* context), void* context) {
    for (const GuidName& known : kGuidNames) visit(known.subtype, known.name, context);
    for (const CodeName& known : kCodeNames) {
        // XXXXXXXX-0000-0010-8000-00AA00389B71
        const GUID subtype = {known.code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
        visit(subtype, known.name, context);
    }
}
