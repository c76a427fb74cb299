#pragma once
// The instrument's clock as the panel reads and sets it. The instrument keeps
// seconds, minutes, hours, a spare byte, day, month and year in registers
// 25..31, packed BCD (tens in the high nibble). A clock read returns ten
// registers from 25; a clock write sends ClockImage two registers at a time.

#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// The clock values last read from the instrument, or about to be written; on
// opening the panel the date three hold the PC date.
extern uint8_t ClockHour;
extern uint8_t ClockMinute;
extern uint8_t ClockSecond;
extern uint8_t ClockDay;
extern uint8_t ClockMonth;
extern uint8_t ClockYear;

// The PC time at the last refresh.
extern uint8_t PcHour;
extern uint8_t PcMinute;
extern uint8_t PcSecond;

// "hh:mm:ss" and "dd-mm-yy" of the clock values, "hh:mm:ss" of the PC time.
QString ClockTimeText();
QString ClockDateText();
QString PcTimeText();

// Takes the time of day and the date (TodayYear2, TodayMonth, TodayDay)
// from the PC clock.
void RefreshPcTime(const QDateTime &now);
void RefreshPcDate(const QDateTime &now);

// v = 37 gives 0x37; kept to 8 bits.
uint8_t BcdByte(int v);
// 0x37 gives 37; nibbles above 9 are taken as they are (0x5A gives 60).
int BcdValue(uint8_t x);

// The ten registers read from 25 decoded as packed BCD: hours, day and month
// under their masks, the year from the eighth byte as it is. The read the
// panel makes when it opens from the menu "Часы".
void TakeClockReadOnOpening(const uint8_t *registers);

// Whether the clock values are a time of day, and a date of 2000..2099.
bool ClockTimeExists();
bool ClockDateExists();

// The same ten registers in the layout and the encoding of the two writes:
// seconds, minutes, hours at 0..2, day, month, year at 4..6, each packed BCD
// without a mask, so that writing back the values read sends the same bytes.
// The read of the button "Считать", of "Наблюд." and of the read-backs.
void TakeClockReadAsWritten(const uint8_t *registers);

// The clock image for the given moment; byte 3 is always 0.
std::array<uint8_t, 7> ClockImageFor(int hour, int minute, int second, int day, int month, int year);

// The six fields the operator types to set the clock, in the order of the
// page: hours, minutes, seconds, day, month, year.
enum ClockField { FieldHour, FieldMinute, FieldSecond, FieldDay, FieldMonth, FieldYear, ClockFieldCount };

struct EnteredClock {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int day = 1;
    int month = 1;
    int year = 0;   // two digits
};

// The typed texts checked and converted: hours 0..23, minutes and seconds
// 0..59, day 1..31, month 1..12, year 0..99 or 2000..2099 (kept as two
// digits, the years 2000..2099), and the day one that its month has in that
// year. Nothing, with the operator's message in `error` and the field in
// `badField`, when a field holds no whole number or one out of its range.
std::optional<EnteredClock> ParseEnteredClock(const std::array<QString, ClockFieldCount> &texts, QString &error,
                                              int &badField);
