#include "store/Cp1251.h"
#include "store/Decod.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

QByteArray ToDisplay(QByteArray bytes)
{
    for (char &c : bytes)
        c = static_cast<char>(ToDisplayChar(static_cast<uint8_t>(c)));
    return bytes;
}

QByteArray FromDisplay(QByteArray bytes)
{
    for (char &c : bytes)
        c = static_cast<char>(FromDisplayChar(static_cast<uint8_t>(c)));
    return bytes;
}

TEST(StoreCp1251, EveryByteSurvivesAndForeignCharactersBecomeQuestionMarks)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(ToCp1251(FromCp1251(all)), all);

    EXPECT_EQ(ToCp1251("Ёж ёж №").toHex(), "a8e620b8e620b9");
    EXPECT_EQ(FromCp1251(QByteArray::fromHex("c0dfe0ff")), "АЯая");
    EXPECT_EQ(ToCp1251(QString::fromUtf8("a中😀b")), "a??b");
    EXPECT_EQ(ToCp1251(QString(QChar(0xD800))), "?");
}

TEST(StoreDisplay, NamesGoOutAndComeBack)
{
    const QByteArray ivanov = ToCp1251("Иванов");
    EXPECT_EQ(ToDisplay(ivanov).toHex(), "a5b361bd6fb3");
    EXPECT_EQ(FromDisplay(ToDisplay(ivanov)), ToCp1251("Ивaнoв"));   // Latin a and o

    EXPECT_EQ(FromDisplay(ToDisplay(ToCp1251("Ь"))), ToCp1251("Ъ"));
    EXPECT_EQ(ToDisplay(ToCp1251("Ёё")).toHex(), "a2b5");
    EXPECT_EQ(FromDisplay(QByteArray::fromHex("a8a2b5")), ToCp1251("ПЁё"));

    const QByteArray plain = "Az09 .";
    EXPECT_EQ(ToDisplay(plain), plain);
    EXPECT_EQ(FromDisplay(plain), plain);
    // 0xFF marks an unwritten name and reads back as it is; going out it is я.
    EXPECT_EQ(FromDisplayChar(0xFF), 0xFF);
    EXPECT_EQ(ToDisplayChar(0xFF), 0xC7);
}

TEST(StoreDisplay, LookAlikeLettersGoOutAsLatinLetters)
{
    const std::pair<const char *, char> lookAlikes[] = {
        {"А", 'A'}, {"В", 'B'}, {"Е", 'E'}, {"К", 'K'}, {"М", 'M'}, {"Н", 'H'}, {"О", 'O'}, {"Р", 'P'}, {"С", 'C'},
        {"Т", 'T'}, {"Х", 'X'}, {"а", 'a'}, {"е", 'e'}, {"о", 'o'}, {"р", 'p'}, {"с", 'c'}, {"у", 'y'}, {"х", 'x'}};
    for (const auto &[letter, latin] : lookAlikes) {
        const uint8_t pc = static_cast<uint8_t>(ToCp1251(QString::fromUtf8(letter)).at(0));
        EXPECT_EQ(ToDisplayChar(pc), static_cast<uint8_t>(latin)) << letter;
    }
    int latinCount = 0;
    for (int pc = 0xC0; pc <= 0xFF; ++pc)
        latinCount += ToDisplayChar(static_cast<uint8_t>(pc)) < 0x80;
    EXPECT_EQ(latinCount, 18);
}

// Holds the two tables against each other: every letter comes back as itself,
// except the Latin look-alikes and Ь. Display codes without a letter are spaces.
TEST(StoreDisplay, TablesAgree)
{
    for (int pc = 0xC0; pc <= 0xFF; ++pc) {
        const uint8_t display = ToDisplayChar(static_cast<uint8_t>(pc));
        const int expected = display < 0x80 ? display : pc == 0xDC ? 0xDA : pc;
        EXPECT_EQ(FromDisplayChar(display), expected) << std::hex << pc;
    }
    for (int display : {0xC8, 0xDF, 0xE7, 0xEF})
        EXPECT_EQ(FromDisplayChar(static_cast<uint8_t>(display)), ' ') << std::hex << display;
}

// Every byte a name may hold, out to the display and back: it comes back as
// itself, as its Latin look-alike, Ь as Ъ, or, when the display cannot show
// it, as '?'. Never as another letter; a second trip changes nothing more,
// and no name goes out looking like an erased slot.
TEST(StoreDisplay, EveryByteComesBackAsItselfItsLookAlikeOrAMark)
{
    QByteArray lookAlikes(256, 0);
    const QByteArray cyrillic = ToCp1251("АВЕКМНОРСТХаеорсух");
    const QByteArray latin = "ABEKMHOPCTXaeopcyx";
    for (int i = 0; i < cyrillic.size(); ++i)
        lookAlikes[uint8_t(cyrillic[i])] = latin[i];
    const auto trip = [](uint8_t pc) { return FromDisplayChar(ToDisplayChar(pc)); };
    const uint8_t softSign = uint8_t(ToCp1251("Ь")[0]), hardSign = uint8_t(ToCp1251("Ъ")[0]);

    int shown = 0;
    for (int b = 0; b < 256; ++b) {
        const auto pc = uint8_t(b);
        const uint8_t back = trip(pc);
        uint8_t expected = pc;
        if (!DisplayShows(pc))
            expected = '?';
        else if (lookAlikes[b])
            expected = uint8_t(lookAlikes[b]);
        else if (pc == softSign)
            expected = hardSign;
        EXPECT_EQ(back, expected) << std::hex << b;
        EXPECT_EQ(trip(back), back) << std::hex << b;
        EXPECT_EQ(ToDisplayChar(back), ToDisplayChar(pc)) << std::hex << b;
        EXPECT_NE(ToDisplayChar(pc), 0xFF) << std::hex << b;
        shown += DisplayShows(pc);
    }
    EXPECT_EQ(shown, 95 + 66);   // printable ASCII, А..я, Ё and ё
}

TEST(StoreFormats, NumbersDatesAndTheDailyFile)
{
    EXPECT_EQ(HexByte(0x0A) + HexByte(0xFF) + HexByte(0x1AB), "0AFFAB");
    EXPECT_EQ(TwoDigits(7) + TwoDigits(255) + TwoDigits(256 + 5), "0725505");
    EXPECT_EQ(JoinColon(9, 5, 0), "09:05:00");
    EXPECT_EQ(JoinDash(31, 12, 25), "31-12-25");

    MakeDailyFileName(QDate(2024, 12, 1));
    EXPECT_EQ(DailyFileName, "01_12.txt");
    EXPECT_EQ(TodayDateCode(QDate(2026, 12, 1)), 0xAC);   // the year's code is (year - 2000) mod 16
    EXPECT_EQ(TodayDateCode(QDate(2025, 3, 5)), 0x93);
    EXPECT_EQ(std::tuple(TodayYear2, TodayMonth, TodayDay), std::tuple(25, 3, 5));
    ResetDataModel();
}

TEST(StoreFormats, TypedNumbers)
{
    const std::pair<const char *, int> cases[] = {
        {"  1234", 1234}, {"12ab", 12}, {"-5", -5}, {"+7", 7}, {"", 0}, {"abc", 0},
        {"- 5", 0},       {" 0042 ", 42}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const auto &[text, value] : cases)
        EXPECT_EQ(TypedNumber(QString::fromLatin1(text)), value) << text;
}

} // namespace
