#pragma once
// Code page 1252, the single-byte character set of the tables and of the
// built-in fax font: conversion to and from UTF-8, the program's own text.
#include <optional>
#include <string>
#include <string_view>

namespace tlm {

// The code page 1252 bytes of UTF-8 `text`, one byte per character. Nothing
// when a character has no byte in the code page or `text` is not valid
// UTF-8; `unencodable` then receives the first such character (U+FFFD for
// invalid UTF-8).
std::optional<std::string> Utf8ToCp1252(std::string_view text, char32_t* unencodable = nullptr);

// UTF-8 for code page 1252 bytes; the five bytes the code page leaves
// undefined become U+FFFD.
std::string Cp1252ToUtf8(std::string_view bytes);

// The byte of one character, or -1 when the code page has none.
int Cp1252Byte(char32_t c);

// Decodes UTF-8 into characters; false when `text` is not valid UTF-8.
bool DecodeUtf8(std::string_view text, std::u32string& out);

}  // namespace tlm
