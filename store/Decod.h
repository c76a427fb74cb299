#pragma once
// The instrument's display has a character set of its own. Names travel to
// and from the instrument byte by byte through these two tables.

#include <array>
#include <cstdint>

// Display codes of the CP1251 letters А..я (0xC0..0xFF). Letters shaped like
// a Latin letter go out as that letter; Ь shares the code of Ъ.
extern const std::array<uint8_t, 64> PcToDisplay;

// CP1251 codes of the display codes 0xA0..0xEF; codes without a letter read
// as a space.
extern const std::array<uint8_t, 80> DisplayToPc;

// True for the characters the display shows: printable ASCII, the Cyrillic
// letters А..я, Ё and ё.
bool DisplayShows(uint8_t pc);

// A character the display cannot show goes out as UnshownMark, which reads
// back as itself, never as a letter.
constexpr uint8_t UnshownMark = '?';
uint8_t ToDisplayChar(uint8_t pc);
uint8_t FromDisplayChar(uint8_t display);
