#pragma once
// The memory of an instrument that has been in use for a few months:
//
//   0..45        sensor table, 23 words (17 volume coefficient,
//                21 instrument number, 22 sensor number)
//   110..117     instrument mark;  120..127 probe mark
//   128..255     eight list names, 16 display-code bytes each
//   512, 768     the last measurement's alcohol and pressure curves,
//                120 words each
//   1024 L       list L (1..8): 64 persons of 16 display-code bytes,
//                erased slots 0xFF
//   9216..18215  test records, six bytes each, oldest first, then one
//                end-of-data record
// Everything else is erased (0xFF).

#include "vinst/Clock.h"
#include "vinst/Memory.h"

#include <string_view>

namespace vinst {

namespace mem {
inline constexpr std::uint16_t SensorTable = 0;
inline constexpr std::size_t SensorWords = 23;
inline constexpr std::uint16_t InstrumentMark = 110;
inline constexpr std::uint16_t ProbeMark = 120;
inline constexpr std::uint16_t ListNames = 128;
inline constexpr std::uint16_t AlcoholCurve = 512;
inline constexpr std::uint16_t PressureCurve = 768;
inline constexpr std::uint16_t ListSize = 1024;
inline constexpr std::uint16_t Records = 9216;
inline constexpr std::size_t RecordSize = 6;
inline constexpr std::size_t RecordSlots = 1500;
inline constexpr std::size_t NameSize = 16;
inline constexpr std::uint8_t EndOfData = 0x80;
}  // namespace mem

inline constexpr std::uint16_t DefaultInstrumentNumber = 1207;
inline constexpr std::uint16_t DefaultSensorNumber = 2517;
inline constexpr std::uint16_t DefaultVolumeCoefficient = 120;

// A name in the display's character set, padded with spaces to 16 bytes.
// `text` is UTF-8; Cyrillic letters take the display's codes, ASCII passes
// unchanged, anything else becomes '?'.
Bytes DisplayName(std::string_view text);

// The six bytes of a test record; the year code is (year - 2000) mod 16.
Bytes MakeRecord(std::uint8_t list, std::uint8_t person, const CivilTime &when, std::uint8_t result);

// Records run back about four months from `now` and end with records of the
// current day made before `now`.
Memory BuildDefaultMemory(const CivilTime &now);

}  // namespace vinst
