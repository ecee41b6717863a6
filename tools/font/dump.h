// Printing a KBF font's glyphs as text art, so a font can be checked without a window.
#pragma once

#include <cstdio>
#include <string>

// Prints a summary line and then each glyph as it will be drawn ('#' set, '.' clear, top row
// first). `codes` picks the characters to show (an empty string shows every code present).
// False with a reason when the file is not a readable font.
bool dumpFont(const char* fileName, const std::string& codes, FILE* out, std::string& error);
