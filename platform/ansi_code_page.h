#pragma once

#include <array>
#include <string>

namespace zephran::platform {

// The ANSI code page the game's profile functions convert with: Windows-1252,
// the one Wine picks for a Western European or English locale. Profile text
// passes through UTF-16 on its way between the file and the game, so a file
// in UTF-8 or UTF-16 reads as these conversions make it.

// Bytes 0x80 to 0x9F; the rest of Windows-1252 is Latin-1.
inline constexpr std::array<char16_t, 32> kAnsiHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The UTF-16 unit for one ANSI byte. Every byte has one, the five bytes that
// Windows-1252 leaves undefined included, so bytes survive the round trip.
// Inline: every byte of an ANSI file passes through it.
inline char16_t WideFromAnsi(unsigned char byte) {
  return (byte >= 0x80 && byte < 0xA0) ? kAnsiHighControls[byte - 0x80] : byte;
}

// The ANSI byte for one UTF-16 unit: its own byte, else the look-alike the
// system substitutes ("best fit": U+0100 gives "A", a full-width digit the
// digit), else "?".
unsigned char AnsiFromWide(char16_t unit);

// Appends one UTF-16 unit as UTF-8; a lone surrogate becomes its three-byte
// form, as the system's converter writes it.
void AppendUtf8(std::string& out, char16_t unit);

}  // namespace zephran::platform
