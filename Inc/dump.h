// The hex dump of a report's data, portable: byte lines ("%04X:", eight
// " %02X" with blanks past the end, a blank, the eight bytes as characters
// with codes below 32 shown as ".") or word lines ("%04X:" and four
// " %08X"). Lines end with CR LF, for an edit control.
#pragma once
#include <cstdint>
#include <string>

std::string DumpBytes(const uint8_t* data, uint32_t length);
std::string DumpWords(const uint8_t* data, uint32_t length);
