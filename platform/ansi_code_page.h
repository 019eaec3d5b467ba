#pragma once

namespace zephran::platform {

// The ANSI code page the game's profile functions convert with: Windows-1252,
// the one Wine picks for a Western European or English locale. Profile text
// passes through UTF-16 on its way between the file and the game, so a file
// in UTF-8 or UTF-16 reads as these conversions make it.

// The UTF-16 unit for one ANSI byte. Every byte has one, the five bytes that
// Windows-1252 leaves undefined included, so bytes survive the round trip.
char16_t WideFromAnsi(unsigned char byte);

// The ANSI byte for one UTF-16 unit: its own byte, else the look-alike the
// system substitutes ("best fit": U+0100 gives "A", a full-width digit the
// digit), else "?".
unsigned char AnsiFromWide(char16_t unit);

}  // namespace zephran::platform
