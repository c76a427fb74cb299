#include "vinst/DefaultMemory.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

namespace vinst {

namespace {

// Display codes of А..Я and а..я, in alphabetical order.
constexpr std::array<std::uint8_t, 64> CyrillicDisplayCodes = {
    0x41, 0xA0, 0x42, 0xA1, 0xE0, 0x45, 0xA3, 0xA4, 0xA5, 0xA6, 0x4B, 0xA7, 0x4D, 0x48, 0x4F, 0xA8,
    0x50, 0x43, 0x54, 0xA9, 0xAA, 0x58, 0xE1, 0xAB, 0xAC, 0xE2, 0xAD, 0xAE, 0xAD, 0xAF, 0xB0, 0xB1,
    0x61, 0xB2, 0xB3, 0xB4, 0xE3, 0x65, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0x6F, 0xBE,
    0x70, 0x63, 0xBF, 0x79, 0xE4, 0x78, 0xE5, 0xC0, 0xC1, 0xE6, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7};
constexpr char32_t CapitalA = U'А';
constexpr std::uint8_t CapitalYo = 0xA2;
constexpr std::uint8_t SmallYo = 0xB5;

constexpr std::array<std::uint16_t, mem::SensorWords> SensorTableWords = {
    3000, 2800, 2600, 2200, 2100, 1800, 1000,                   // readings 0.0 .. 2.0
    2840, 2660, 2432, 2310, 2227, 2130, 2002, 1910, 1855, 1827,  // thresholds
    DefaultVolumeCoefficient, 80, 2840, 1000, DefaultInstrumentNumber, DefaultSensorNumber};

constexpr std::array<std::uint8_t, 8> InstrumentMarkBytes = {0x07, 0x4D, 0x04, 0xB7, 0x20, 0x24, 0x03, 0x15};
constexpr std::array<std::uint8_t, 8> ProbeMarkBytes = {0x50, 0x52, 0x09, 0xD5, 0x20, 0x24, 0x02, 0x28};

constexpr std::array<const char *, 8> ListTitles = {"Водители", "Охрана",    "Диспетчеры", "Механики",
                                                     "Смена 1",  "Смена 2",   "Стажёры",    "Гости"};
constexpr std::array<const char *, 24> Surnames = {
    "Иванов",   "Петров",    "Сидоров",  "Кузнецов", "Смирнов",  "Попов",    "Волков",   "Зайцев",
    "Соколов",  "Лебедев",   "Семёнов",  "Егоров",   "Павлов",   "Козлов",   "Степанов", "Николаев",
    "Орлов",    "Андреев",   "Макаров",  "Никитин",  "Захаров",  "Жуков",    "Фёдоров",  "Щукин"};
constexpr std::array<const char *, 10> Initials = {"А.В.", "И.И.", "С.П.", "Ю.М.", "Д.А.",
                                                   "В.Н.", "Е.Г.", "П.Ф.", "Р.Ш.", "Я.Ц."};

constexpr int HistoryDays = 120;
constexpr std::size_t CurveWords = 120;

// A small fixed generator, so that every run builds the same history.
class Random {
public:
    int below(int limit)
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((m_state >> 33) % static_cast<std::uint64_t>(limit));
    }

private:
    std::uint64_t m_state = 20240315;
};

// Decodes one UTF-8 sequence at `i` and moves past it.
char32_t NextCodePoint(std::string_view text, std::size_t &i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t cp = lead & (0x3F >> extra);
    for (int k = 0; k < extra && i < text.size(); ++k)
        cp = cp << 6 | (static_cast<unsigned char>(text[i++]) & 0x3F);
    return extra == 0 ? U'?' : cp;
}

std::uint8_t DisplayCode(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<std::uint8_t>(cp);
    if (cp >= CapitalA && cp < CapitalA + CyrillicDisplayCodes.size())
        return CyrillicDisplayCodes[cp - CapitalA];
    if (cp == U'Ё')
        return CapitalYo;
    if (cp == U'ё')
        return SmallYo;
    return '?';
}

// Persons of list L fill the first slots, with a few left by removed persons.
int PersonsInList(int list) { return 20 + 4 * list; }

bool IsErasedSlot(int list, int slot)
{
    return slot >= PersonsInList(list) || slot == 5 + list || slot == 17 + 2 * list;
}

std::string PersonName(int list, int slot)
{
    return std::string(Surnames[(list * 7 + slot * 5) % Surnames.size()]) + " "
           + Initials[(slot * 3 + list) % Initials.size()];
}

void WriteLists(Memory &memory)
{
    const Bytes erased(mem::NameSize, 0xFF);
    for (int list = 1; list <= 8; ++list) {
        memory.write(static_cast<std::uint16_t>(mem::ListNames + (list - 1) * mem::NameSize),
                     DisplayName(ListTitles[list - 1]));
        for (int slot = 0; slot < 64; ++slot) {
            const auto address = static_cast<std::uint16_t>(mem::ListSize * list + slot * mem::NameSize);
            memory.write(address, IsErasedSlot(list, slot) ? erased : DisplayName(PersonName(list, slot)));
        }
    }
}

// Sensor millivolts through one measurement: the alcohol signal dips and
// recovers, the pressure curve is one breath.
void WriteCurves(Memory &memory)
{
    for (std::size_t i = 0; i < CurveWords; ++i) {
        const double t = double(i) / CurveWords;
        const auto alcohol = static_cast<std::uint16_t>(3000 - 420 * t * std::exp(1 - 6 * t) * 6);
        const auto pressure = static_cast<std::uint16_t>(i < 60 ? 1200 + 900 * std::sin(std::numbers::pi * i / 60) : 1200);
        memory.writeWord(static_cast<std::uint16_t>(mem::AlcoholCurve + 2 * i), alcohol);
        memory.writeWord(static_cast<std::uint16_t>(mem::PressureCurve + 2 * i), pressure);
    }
}

std::uint8_t RandomResult(Random &random)
{
    const int roll = random.below(100);
    if (roll < 82)
        return 0;
    if (roll < 95)
        return static_cast<std::uint8_t>(1 + random.below(4));
    return static_cast<std::uint8_t>(5 + random.below(26));
}

Bytes RandomRecord(Random &random, const CivilTime &when)
{
    if (random.below(100) < 15)
        return MakeRecord(0, 0, when, RandomResult(random));
    const int list = 1 + random.below(8);
    int slot = random.below(PersonsInList(list));
    while (IsErasedSlot(list, slot))
        slot = random.below(PersonsInList(list));
    return MakeRecord(static_cast<std::uint8_t>(list), static_cast<std::uint8_t>(slot), when, RandomResult(random));
}

// Minutes of the day at which the tests of one day were made, in order.
std::vector<int> TestMinutes(Random &random, std::int64_t day, const CivilTime &now, bool today)
{
    const bool weekend = (day + 3) % 7 >= 5;  // 1970-01-01 was a Thursday
    int count = weekend ? random.below(2) : 3 + random.below(3);
    int first = 7 * 60, span = 12 * 60;
    if (today) {
        count = 2 + random.below(2);
        first = 0;
        span = now.hour * 60 + now.minute + 1;
    }
    std::vector<int> minutes;
    for (int i = 0; i < count; ++i)
        minutes.push_back(first + random.below(span));
    std::sort(minutes.begin(), minutes.end());
    return minutes;
}

void WriteRecords(Memory &memory, const CivilTime &now)
{
    Random random;
    const std::int64_t today = *FromCivil({now.year, now.month, now.day}) / 86400;
    std::size_t slot = 0;
    auto put = [&](const Bytes &record) {
        memory.write(static_cast<std::uint16_t>(mem::Records + slot * mem::RecordSize), record);
        ++slot;
    };
    for (std::int64_t day = today - HistoryDays; day <= today && slot + 1 < mem::RecordSlots; ++day) {
        const CivilTime date = ToCivil(day * 86400);
        for (int minute : TestMinutes(random, day, now, day == today)) {
            if (slot + 1 == mem::RecordSlots)
                break;
            put(RandomRecord(random, {date.year, date.month, date.day, minute / 60, minute % 60, 0}));
        }
    }
    put({mem::EndOfData, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
}

}  // namespace

Bytes DisplayName(std::string_view text)
{
    Bytes name;
    for (std::size_t i = 0; i < text.size() && name.size() < mem::NameSize;)
        name.push_back(DisplayCode(NextCodePoint(text, i)));
    name.resize(mem::NameSize, ' ');
    return name;
}

Bytes MakeRecord(std::uint8_t list, std::uint8_t person, const CivilTime &when, std::uint8_t result)
{
    return {list,
            static_cast<std::uint8_t>(person & 0x3F),
            static_cast<std::uint8_t>(((when.year - 2000) % 16 + 16) % 16 << 4 | when.month),
            static_cast<std::uint8_t>(when.day << 3 | when.hour >> 2),
            static_cast<std::uint8_t>((when.hour & 3) << 6 | when.minute),
            static_cast<std::uint8_t>(result & 0x3F)};
}

Memory BuildDefaultMemory(const CivilTime &now)
{
    Memory memory;
    for (std::size_t i = 0; i < SensorTableWords.size(); ++i)
        memory.writeWord(static_cast<std::uint16_t>(mem::SensorTable + 2 * i), SensorTableWords[i]);
    memory.write(mem::InstrumentMark, InstrumentMarkBytes);
    memory.write(mem::ProbeMark, ProbeMarkBytes);
    WriteLists(memory);
    WriteCurves(memory);
    WriteRecords(memory, now);
    return memory;
}

}  // namespace vinst
