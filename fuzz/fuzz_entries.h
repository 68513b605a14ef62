#pragma once
// Bodies of the fuzz targets, shared by the libFuzzer executables and by the
// test that replays the corpus. Each returns nullptr when the input passed,
// or a short description of the property it broke.

#include <cstddef>
#include <cstdint>

namespace fc::fuzz {

// INI reader and writer on an in-memory file: parses the input ("file" or
// "file|||value") in both encoding modes, looks up names taken from the
// input, and checks that a value written with IniFile::withValue reads back
// as stored while every key of another name keeps its value.
const char *iniReader(const std::uint8_t *data, std::size_t size);

// Saved-game reader on the input as a file; a game it accepts must survive
// being written and read again unchanged.
const char *savedGameReader(const std::uint8_t *data, std::size_t size);

} // namespace fc::fuzz
