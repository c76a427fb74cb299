#include "panel/Clock.h"

#include "store/OrbACfg.h"
#include "store/OrbADat.h"

uint8_t ClockHour;
uint8_t ClockMinute;
uint8_t ClockSecond;
uint8_t ClockDay;
uint8_t ClockMonth;
uint8_t ClockYear;

uint8_t PcHour;
uint8_t PcMinute;
uint8_t PcSecond;

namespace {

struct FieldRule {
    const char *name;
    int min;
    int max;
};

const std::array<FieldRule, ClockFieldCount> FieldRules{{
    {"Часы", 0, 23},
    {"Минуты", 0, 59},
    {"Секунды", 0, 59},
    {"День", 1, 31},
    {"Месяц", 1, 12},
    {"Год", 0, 99},
}};

constexpr int FirstFullYear = 2000;
constexpr int LastFullYear = 2099;

// A whole number of digits only, or nothing.
std::optional<int> WholeNumber(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return digits.toInt();
}

QString RangeText(int field)
{
    const FieldRule &rule = FieldRules[field];
    QString range = QStringLiteral("от %1 до %2").arg(rule.min).arg(rule.max);
    if (field == FieldYear)
        range += QStringLiteral(" или от %1 до %2").arg(FirstFullYear).arg(LastFullYear);
    return range;
}

} // namespace

QString ClockTimeText() { return JoinColon(ClockHour, ClockMinute, ClockSecond); }
QString ClockDateText() { return JoinDash(ClockDay, ClockMonth, ClockYear); }
QString PcTimeText() { return JoinColon(PcHour, PcMinute, PcSecond); }

void RefreshPcTime(const QDateTime &now)
{
    const QTime time = now.time();
    PcHour = static_cast<uint8_t>(time.hour());
    PcMinute = static_cast<uint8_t>(time.minute());
    PcSecond = static_cast<uint8_t>(time.second());
}

void RefreshPcDate(const QDateTime &now)
{
    SetToday(now.date());
}

uint8_t BcdByte(int v)
{
    return static_cast<uint8_t>(v % 10 + 16 * (v / 10));
}

int BcdValue(uint8_t x)
{
    return 10 * (x / 16) + x % 16;
}

void TakeClockReadOnOpening(const uint8_t *registers)
{
    ClockSecond = static_cast<uint8_t>(BcdValue(registers[0]));
    ClockMinute = static_cast<uint8_t>(BcdValue(registers[1]));
    ClockHour = static_cast<uint8_t>(BcdValue(registers[2] & 0x3F));
    ClockDay = static_cast<uint8_t>(BcdValue(registers[3] & 0x3F));
    ClockMonth = static_cast<uint8_t>(BcdValue(registers[4] & 0x1F));
    ClockYear = registers[7];
}

bool ClockTimeExists()
{
    return QTime::isValid(ClockHour, ClockMinute, ClockSecond);
}

bool ClockDateExists()
{
    return ClockYear <= 99 && QDate::isValid(2000 + ClockYear, ClockMonth, ClockDay);
}

void TakeClockReadAsWritten(const uint8_t *registers)
{
    const auto value = [registers](int index) { return static_cast<uint8_t>(BcdValue(registers[index])); };
    ClockSecond = value(0);
    ClockMinute = value(1);
    ClockHour = value(2);
    ClockDay = value(4);
    ClockMonth = value(5);
    ClockYear = value(6);
}

std::array<uint8_t, 7> ClockImageFor(int hour, int minute, int second, int day, int month, int year)
{
    return {BcdByte(second), BcdByte(minute), BcdByte(hour), 0, BcdByte(day), BcdByte(month), BcdByte(year % 100)};
}

std::optional<EnteredClock> ParseEnteredClock(const std::array<QString, ClockFieldCount> &texts, QString &error,
                                              int &badField)
{
    std::array<int, ClockFieldCount> values{};
    for (int field = 0; field < ClockFieldCount; ++field) {
        std::optional<int> value = WholeNumber(texts[field]);
        if (value && field == FieldYear && *value >= FirstFullYear && *value <= LastFullYear)
            value = *value % 100;
        const FieldRule &rule = FieldRules[field];
        if (!value || *value < rule.min || *value > rule.max) {
            error = QStringLiteral("Поле \"%1\": введите число %2.\nВремя и дата в прибор не записаны.")
                        .arg(QString::fromUtf8(rule.name), RangeText(field));
            badField = field;
            return std::nullopt;
        }
        values[field] = *value;
    }
    const int daysInMonth = QDate(FirstFullYear + values[FieldYear], values[FieldMonth], 1).daysInMonth();
    if (values[FieldDay] > daysInMonth) {
        // Only months of 28, 29 and 30 days refuse a day.
        error = QStringLiteral("Поле \"День\": даты %1.%2.%3 нет, в этом месяце %4 дней.\n"
                               "Время и дата в прибор не записаны.")
                    .arg(TwoDigits(values[FieldDay]), TwoDigits(values[FieldMonth]))
                    .arg(FirstFullYear + values[FieldYear])
                    .arg(daysInMonth);
        badField = FieldDay;
        return std::nullopt;
    }
    return EnteredClock{values[FieldHour], values[FieldMinute], values[FieldSecond],
                        values[FieldDay],  values[FieldMonth],  values[FieldYear]};
}
