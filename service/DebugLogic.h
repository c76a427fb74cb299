#pragma once
// The service window's work that needs no window: the password gate, the
// recomputation of the threshold words from the seven calibration readings,
// reading and checking the sensor grid, the identification mark and the live
// values. The window (service/Debug.h) only moves texts between these and
// its controls.

#include "exchange/Transfers.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

// ---- The password gate ----------------------------------------------------

constexpr int ServiceCode = 583729;
constexpr int PasswordLength = 6;

enum class GateAction {
    Keep,     // nothing to do (an empty field)
    Mask,     // show `masked` in the field, caret at its start
    Unlock,   // show `masked` and open the working area
    Close,    // a seventh character: close the window
};

struct GateStep {
    GateAction action = GateAction::Keep;
    QString masked;
};

// One change of the password field to `text`. The field never shows what
// was typed: after every change it holds asterisks only, with the caret at
// its start, so the character typed next is the first one of the new text;
// that character is collected into `entry`. Deleting makes the field
// shorter but never shortens `entry`.
GateStep PasswordChanged(QString &entry, const QString &text);

// ---- The sensor table ----------------------------------------------------

constexpr int CalibrationReadings = 7;   // rows 0..6
constexpr int TableSensorNumberRow = 22;
constexpr int TableVolumeCoefRow = 17;

using TableWords = std::array<int, 36>;

// The grid's column 1 read as typed numbers (TypedNumber), one word per row
// (rows missing from `cells` read as 0).
std::array<int, SensorTableRows> WordsFromCells(const QStringList &cells);

// Why a cell cannot be written into the instrument as a word.
struct CellProblem {
    enum Kind { Empty, NotANumber, OutOfRange };
    int row = 0;
    Kind kind = Empty;
};

// Whether an empty cell is refused, or read as 0 like any text without
// digits.
enum class EmptyCells { Refused, Allowed };

// The first of `rows` (all 23 when empty) whose cell is empty, not a
// decimal number, or outside 0..65535.
std::optional<CellProblem> CheckCells(const QStringList &cells, std::initializer_list<int> rows = {},
                                      EmptyCells empty = EmptyCells::Refused);

// The operator's message about a cell, naming its row.
QString CellProblemText(const CellProblem &problem);

// Recomputes the thresholds from the calibration readings: `table` is
// SensorTable (words 23..27 are its scratch levels), `saved` is
// SensorTableSaved holding the grid, `volumeCoef` the value typed in row 17.
// Afterwards saved[7..22] = table[7..22]. Every division truncates toward
// zero after the multiplication.
void DeriveTransitions(TableWords &table, TableWords &saved, int volumeCoef);

// Words 0..22 of `words` into 46 bytes, low byte first.
void PutTableBytes(const TableWords &words, uint8_t *bytes);

// ---- Identification marks -------------------------------------------------

constexpr int MarkDigits = 2 * MarkBytes;
using Mark = std::array<uint8_t, MarkBytes>;

// 16 upper-case hexadecimal digits, byte 0 first.
QString MarkText(const uint8_t *bytes);

// The value of a mark digit: 0..9, the Latin letters a..f in either case
// and the Cyrillic look-alikes А, В, С, Е in either case; -1 otherwise.
int MarkDigitValue(QChar c);

// A mark typed by the operator: exactly 16 digits once the surrounding
// blanks are trimmed; nothing otherwise.
std::optional<Mark> ParseMark(const QString &text);

// ---- Live values and curves ------------------------------------------------

constexpr int LiveValueBytes = 10;
constexpr int CurvePoints = 120;

struct LiveValues {
    int ethanolTenths = 0;   // per mille x 10
    int ethanolSignal = 0;   // mV
    int pressSignal = 0;     // mV
    int batSignal = 0;       // mV
};

LiveValues DecodeLiveValues(const uint8_t *bytes);

// A signal right-aligned in 5 characters.
QString SignalText(int millivolts);

// Tenths of a per mille as "0.5", "1.2" (and "12.5" for 125).
QString TenthsText(int tenths);

// Extremes of a signal since its observation started; empty is min 65535
// and max 0. The texts are empty while nothing has been taken.
constexpr int EmptyMin = 65535;
constexpr int EmptyMax = 0;
void TakeExtremes(int value, int &min, int &max);
QString MinText(int min);
QString MaxText(int max);

// The 120 little-endian words of a signal record.
std::array<int, CurvePoints> CurveFromBytes(const uint8_t *bytes);
