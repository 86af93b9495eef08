// The test AVI of the playback check, shared by its end-to-end tests and the
// benchmark: a short AVI whose video FOURCC (VTS1) only the test codec's
// decoder takes, delivered to the test codec's splitter through a
// Media Type\Extensions entry of its own extension (.vtsavi).
#pragma once
#include <cstdint>
#include <string>

std::string TestAviFile();
// Little-endian numbers appended to a file's bytes.
void Put32(std::string& bytes, uint32_t value);
void Put16(std::string& bytes, uint16_t value);

extern const wchar_t kTestAviExtensionKey[];  // Media Type\Extensions\.vtsavi
// Writes the extension's entry as the runtime's own are: the file source,
// MEDIATYPE_Stream and the splitter's stream subtype (VTSA). False when a value cannot be written.
bool PlantTestAviExtension();
