#include "test_media.h"

#include "test_registry.h"

void Put32(std::string& bytes, uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); }
void Put16(std::string& bytes, uint16_t value) { bytes.append(reinterpret_cast<const char*>(&value), 2); }

namespace {

std::string Chunk(const char* id, const std::string& data) {
    std::string c(id, 4);
    Put32(c, static_cast<uint32_t>(data.size()));
    c += data;
    if (data.size() & 1) c += '\0';
    return c;
}

std::string List(const char* type, const std::string& data) {
    std::string c = "LIST";
    Put32(c, static_cast<uint32_t>(data.size() + 4));
    c.append(type, 4);
    return c + data;
}

}  // namespace

const wchar_t kTestAviExtensionKey[] = L"Media Type\\Extensions\\.vtsavi";

// One video stream of 32 x 32 pictures in VTS1, three frames.
std::string TestAviFile() {
    std::string avih;
    for (uint32_t v : {40000u, 0u, 0u, 0x10u, 3u, 0u, 1u, 0u, 32u, 32u, 0u, 0u, 0u, 0u}) Put32(avih, v);
    std::string strh = "vidsVTS1";
    for (uint32_t v : {0u, 0u, 0u, 1u, 25u, 0u, 3u, 64u, 0xFFFFFFFFu, 0u}) Put32(strh, v);
    for (uint16_t v : {0, 0, 32, 32}) Put16(strh, v);
    std::string strf;
    for (uint32_t v : {40u, 32u, 32u}) Put32(strf, v);
    Put16(strf, 1);
    Put16(strf, 24);
    strf += "VTS1";
    for (uint32_t v : {64u, 0u, 0u, 0u, 0u}) Put32(strf, v);
    std::string movi, index;
    for (uint32_t frame = 0; frame < 3; ++frame) {
        index += "00dc";
        for (uint32_t v : {0x10u, static_cast<uint32_t>(4 + movi.size()), 64u}) Put32(index, v);
        movi += Chunk("00dc", std::string(64, static_cast<char>(frame)));
    }
    const std::string body = List("hdrl", Chunk("avih", avih) + List("strl", Chunk("strh", strh) + Chunk("strf", strf))) +
                             List("movi", movi) + Chunk("idx1", index);
    std::string file = "RIFF";
    Put32(file, static_cast<uint32_t>(body.size() + 4));
    return file + "AVI " + body;
}

bool PlantTestAviExtension() {
    return WriteText(kTestAviExtensionKey, L"Source Filter", L"{E436EBB5-524F-11CE-9F53-0020AF0BA770}") &&
           WriteText(kTestAviExtensionKey, L"Media Type", L"{E436EB83-524F-11CE-9F53-0020AF0BA770}") &&
           WriteText(kTestAviExtensionKey, L"Subtype", L"{41535456-0000-0010-8000-00AA00389B71}");
}
