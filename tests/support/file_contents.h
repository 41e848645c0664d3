// Whole-file reads and writes for tests, byte for byte (no line-end translation).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zarn::test {

// The file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// Replaces the file's content with the bytes, creating it if need be.
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace zarn::test
