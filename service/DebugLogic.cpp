#include "service/DebugLogic.h"

#include "store/OrbACfg.h"

#include <algorithm>
#include <climits>

namespace {

// Grid values may be anything the operator typed: the arithmetic is done
// wide and the results held within int.
int Narrow(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// a - (a - b) x num / den, truncating toward zero.
int StepToward(int64_t a, int64_t b, int64_t num, int64_t den)
{
    return Narrow(a - (a - b) * num / den);
}

QString CellText(const QStringList &cells, int row)
{
    return row < cells.size() ? cells[row] : QString();
}

bool IsDecimalNumber(const QString &trimmed)
{
    qsizetype i = 0;
    if (i < trimmed.size() && (trimmed[i] == u'+' || trimmed[i] == u'-'))
        ++i;
    if (i == trimmed.size())
        return false;
    for (; i < trimmed.size(); ++i)
        if (trimmed[i] < u'0' || trimmed[i] > u'9')
            return false;
    return true;
}

std::optional<CellProblem> CheckCell(const QStringList &cells, int row, EmptyCells empty)
{
    const QString text = CellText(cells, row).trimmed();
    if (text.isEmpty()) {
        if (empty == EmptyCells::Allowed)
            return std::nullopt;
        return CellProblem{row, CellProblem::Empty};
    }
    if (!IsDecimalNumber(text))
        return CellProblem{row, CellProblem::NotANumber};
    const int value = TypedNumber(text);
    if (!IsWord(value))
        return CellProblem{row, CellProblem::OutOfRange};
    return std::nullopt;
}

} // namespace

GateStep PasswordChanged(QString &entry, const QString &text)
{
    const qsizetype length = text.size();
    if (length == 0)
        return {};
    if (text[0] != u'*')
        entry += text[0];
    if (length > PasswordLength)
        return {GateAction::Close, {}};
    const QString masked(length, u'*');
    if (length == PasswordLength && TypedNumber(entry) == ServiceCode)
        return {GateAction::Unlock, masked};
    return {GateAction::Mask, masked};
}

std::array<int, SensorTableRows> WordsFromCells(const QStringList &cells)
{
    std::array<int, SensorTableRows> words{};
    for (int row = 0; row < SensorTableRows; ++row)
        words[row] = TypedNumber(CellText(cells, row));
    return words;
}

std::optional<CellProblem> CheckCells(const QStringList &cells, std::initializer_list<int> rows, EmptyCells empty)
{
    if (rows.size() == 0) {
        for (int row = 0; row < SensorTableRows; ++row)
            if (auto problem = CheckCell(cells, row, empty))
                return problem;
        return std::nullopt;
    }
    for (int row : rows)
        if (auto problem = CheckCell(cells, row, empty))
            return problem;
    return std::nullopt;
}

QString CellProblemText(const CellProblem &problem)
{
    const QString row = QStringLiteral("Строка %1 \"%2\": ")
                            .arg(problem.row)
                            .arg(InstrumentWordLabels[std::clamp(problem.row, 0, SensorTableRows - 1)].trimmed());
    switch (problem.kind) {
    case CellProblem::Empty:
        return row + QStringLiteral("нет значения.");
    case CellProblem::NotANumber:
        return row + QStringLiteral("значение не является целым числом.");
    case CellProblem::OutOfRange:
        break;
    }
    return row + QStringLiteral("значение вне пределов 0..65535.");
}

void DeriveTransitions(TableWords &table, TableWords &saved, int volumeCoef)
{
    auto &T = table;
    T[17] = volumeCoef;
    std::copy_n(saved.begin(), CalibrationReadings, T.begin());

    // Levels between the readings: 0.3 and 0.4 from 0.2 and 0.5; 0.7, 0.8
    // and 0.9 from 0.5 and 1.0.
    T[23] = StepToward(T[2], T[3], 60, 100);
    T[24] = StepToward(T[2], T[3], 78, 100);
    T[25] = StepToward(T[3], T[5], 60, 100);
    if (T[25] > T[4])
        T[25] = Narrow(int64_t(T[4]) - 30);
    T[26] = StepToward(T[3], T[5], 78, 100);
    T[27] = StepToward(T[3], T[5], 90, 100);

    T[7] = StepToward(T[0], T[1], 8, 10);
    T[19] = T[7];

    // Each threshold lies 70 % of the way from one level to the next.
    struct Threshold { int k, a, b; };
    constexpr Threshold thresholds[] = {
        {8, 1, 2},   {9, 2, 23},   {10, 23, 24}, {11, 24, 3}, {12, 3, 4},
        {13, 4, 25}, {14, 25, 26}, {15, 26, 27}, {16, 26, 5},
    };
    for (const Threshold &t : thresholds)
        T[t.k] = StepToward(T[t.a], T[t.b], 7, 10);

    if (T[17] == 0)
        T[17] = 100;
    T[18] = Narrow((int64_t(T[5]) - T[6]) / 10);
    std::copy(T.begin() + 7, T.begin() + SensorTableRows, saved.begin() + 7);
}

void PutTableBytes(const TableWords &words, uint8_t *bytes)
{
    for (int i = 0; i < SensorTableRows; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(words[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>((words[i] >> 8) & 0xFF);
    }
}

QString MarkText(const uint8_t *bytes)
{
    QString text;
    for (int i = 0; i < MarkBytes; ++i)
        text += HexByte(bytes[i]);
    return text;
}

int MarkDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return 10 + (u - u'a');
    if (u >= u'A' && u <= u'F')
        return 10 + (u - u'A');
    switch (u) {
    case u'А': case u'а': return 10;
    case u'В': case u'в': return 11;
    case u'С': case u'с': return 12;
    case u'Е': case u'е': return 14;
    default: return -1;
    }
}

std::optional<Mark> ParseMark(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.size() != MarkDigits)
        return std::nullopt;
    Mark mark{};
    for (int i = 0; i < MarkBytes; ++i) {
        const int high = MarkDigitValue(digits[2 * i]);
        const int low = MarkDigitValue(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        mark[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return mark;
}

LiveValues DecodeLiveValues(const uint8_t *b)
{
    return {b[0], b[4] + 256 * b[5], b[6] + 256 * b[7], b[8] + 256 * b[9]};
}

QString SignalText(int millivolts)
{
    return QString::number(millivolts).rightJustified(5, u' ');
}

QString TenthsText(int tenths)
{
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

void TakeExtremes(int value, int &min, int &max)
{
    max = std::max(max, value);
    min = std::min(min, value);
}

QString MinText(int min)
{
    return min < EmptyMin ? SignalText(min) : QString();
}

QString MaxText(int max)
{
    return max > EmptyMax ? SignalText(max) : QString();
}

std::array<int, CurvePoints> CurveFromBytes(const uint8_t *bytes)
{
    std::array<int, CurvePoints> curve{};
    for (int i = 0; i < CurvePoints; ++i)
        curve[i] = bytes[2 * i] + 256 * bytes[2 * i + 1];
    return curve;
}
