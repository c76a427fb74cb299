// The service window's plain work: the password gate's bookkeeping, the
// recomputation of the thresholds, reading and checking the grid, the mark
// codec, the live values and the curve axis.

#include "service/DebugLogic.h"
#include "service/Graf.h"

#include <QStringList>
#include <climits>
#include <gtest/gtest.h>

namespace {

QStringList Cells(std::initializer_list<int> first, const QString &rest = QStringLiteral("1"))
{
    QStringList cells;
    for (int v : first)
        cells << QString::number(v);
    while (cells.size() < SensorTableRows)
        cells << rest;
    return cells;
}

TableWords Saved(std::initializer_list<int> readings)
{
    TableWords saved{};
    std::copy(readings.begin(), readings.end(), saved.begin());
    return saved;
}

TEST(PasswordGate, CollectsTheFirstCharacterOfEachChange)
{
    QString entry;
    const char *typed[] = {"5", "8*", "3**", "7***", "2****"};
    for (int i = 0; i < 5; ++i) {
        const GateStep step = PasswordChanged(entry, QString::fromLatin1(typed[i]));
        EXPECT_EQ(step.action, GateAction::Mask);
        EXPECT_EQ(step.masked, QString(i + 1, u'*'));
    }
    EXPECT_EQ(PasswordChanged(entry, "9*****").action, GateAction::Unlock);
    EXPECT_EQ(entry, "583729");
    // Asterisks only (a deletion) collect nothing; a seventh character closes.
    EXPECT_EQ(PasswordChanged(entry, "*****").action, GateAction::Mask);
    EXPECT_EQ(entry, "583729");
    EXPECT_EQ(PasswordChanged(entry, "").action, GateAction::Keep);
    EXPECT_EQ(PasswordChanged(entry, "1******").action, GateAction::Close);
}

TEST(PasswordGate, AnEntryGrownByDeletionsNeverOverflows)
{
    // Each round deletes one asterisk and types a digit again: the entry
    // grows while the field stays at five or six characters.
    QString entry = QString(40, u'9');
    EXPECT_EQ(PasswordChanged(entry, "5*****").action, GateAction::Mask);
    entry = QStringLiteral("5837290000000000000000000000");
    EXPECT_EQ(PasswordChanged(entry, "*" + QString(5, u'*')).action, GateAction::Mask);
}

TEST(GridReading, OneWordPerRowFromItsLeadingDigits)
{
    const auto words = WordsFromCells({"  5", "x", "65535", "12a"});
    EXPECT_EQ(words[0], 5);
    EXPECT_EQ(words[1], 0);
    EXPECT_EQ(words[2], 65535);
    EXPECT_EQ(words[3], 12);
    EXPECT_EQ(words[22], 0);
}

TEST(GridCheck, RefusesEmptyNonNumericAndOutOfRangeCellsNamingTheRow)
{
    EXPECT_FALSE(CheckCells(Cells({0, 65535, 3000})));
    EXPECT_FALSE(CheckCells(Cells({}, QStringLiteral("  17 "))));

    QStringList cells = Cells({});
    cells[5] = QString();
    auto problem = CheckCells(cells);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->row, 5);
    EXPECT_EQ(problem->kind, CellProblem::Empty);
    EXPECT_TRUE(CellProblemText(*problem).contains(u"Алкоголь 1.0"));

    cells[5] = "1";
    cells[9] = "12a";
    problem = CheckCells(cells);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->row, 9);
    EXPECT_EQ(problem->kind, CellProblem::NotANumber);

    cells[9] = "1";
    for (const char *bad : {"70000", "-1", "99999999999999999999"}) {
        cells[22] = bad;
        problem = CheckCells(cells);
        ASSERT_TRUE(problem) << bad;
        EXPECT_EQ(problem->row, 22);
        EXPECT_EQ(problem->kind, CellProblem::OutOfRange);
        EXPECT_TRUE(CellProblemText(*problem).contains(u"№ сенсора"));
    }
    // Only the rows asked about count.
    EXPECT_FALSE(CheckCells(cells, {0, 17}));
    EXPECT_TRUE(CheckCells(cells, {0, 22}));
}

TEST(DeriveTransitions, ThresholdsFromTheSevenReadings)
{
    TableWords table{};
    table[20] = 1000;
    table[21] = 1234;
    table[22] = 56;
    TableWords saved = Saved({3000, 2800, 2600, 2200, 2100, 1800, 1000});
    saved[21] = 9999;   // typed, but rows 20..22 come from the table
    DeriveTransitions(table, saved, 117);

    const int expected[] = {2840, 2660, 2432, 2310, 2227, 2130, 2002, 1910, 1855, 1827, 117, 80, 2840,
                            1000, 1234, 56};
    for (int k = 7; k < SensorTableRows; ++k)
        EXPECT_EQ(saved[k], expected[k - 7]) << "row " << k;
    EXPECT_EQ(table[17], 117);
    EXPECT_EQ(table[23], 2360);   // level 0.3
    EXPECT_EQ(table[24], 2288);   // level 0.4

    // A zero coefficient becomes 100.
    DeriveTransitions(table, saved, 0);
    EXPECT_EQ(saved[17], 100);
}

TEST(DeriveTransitions, TheSevenTenthsLevelStaysBelowTheSixTenthsReading)
{
    TableWords table{};
    TableWords saved = Saved({3000, 2800, 2600, 2200, 1900, 1800, 1000});
    DeriveTransitions(table, saved, 100);
    EXPECT_EQ(table[25], 1870);
}

TEST(DeriveTransitions, RisingReadingsTruncateTowardZero)
{
    // Readings that do not fall: every step is negative and truncates
    // toward zero (-7 x 60 / 100 = -4, not -5).
    TableWords table{};
    TableWords saved = Saved({100, 110, 120, 127, 130, 140, 150});
    DeriveTransitions(table, saved, 100);
    EXPECT_EQ(table[23], 124);   // 120 - (-7 x 60 / 100) = 120 + 4
    EXPECT_EQ(table[24], 125);   // 120 + 7 x 78 / 100 = 120 + 5
    EXPECT_EQ(saved[7], 108);    // 100 + 10 x 8 / 10
    EXPECT_EQ(saved[18], -1);    // (140 - 150) / 10
    EXPECT_EQ(saved[8], 117);    // 110 + 10 x 7 / 10
}

TEST(DeriveTransitions, HugeTypedValuesDoNotOverflow)
{
    TableWords table{};
    TableWords saved = Saved({INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX});
    DeriveTransitions(table, saved, INT_MAX);
    EXPECT_EQ(saved[17], INT_MAX);
}

TEST(Marks, TextAndBytes)
{
    const uint8_t bytes[] = {0x07, 0x4D, 0x04, 0xB7, 0x20, 0x24, 0x03, 0x15};
    EXPECT_EQ(MarkText(bytes), "074D04B720240315");

    EXPECT_EQ(ParseMark("0123456789abcdef"), (Mark{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(ParseMark("  0123456789ABCDEF "), (Mark{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));
    // Cyrillic look-alikes count as the Latin letters.
    EXPECT_EQ(ParseMark(QStringLiteral("АаВвСсЕе00000000")), (Mark{0xAA, 0xBB, 0xCC, 0xEE, 0, 0, 0, 0}));
    EXPECT_FALSE(ParseMark("0123456789abcde"));
    EXPECT_FALSE(ParseMark("0123456789abcdef0"));
    EXPECT_FALSE(ParseMark("0123456789abcdeg"));
    EXPECT_FALSE(ParseMark(QStringLiteral("нет данных")));
    EXPECT_FALSE(ParseMark(""));
}

TEST(LiveValues, DecodedAndShown)
{
    const uint8_t block[] = {7, 0, 0, 0, 0x10, 0x27, 0x34, 0x12, 0x6C, 0x0F};
    const LiveValues live = DecodeLiveValues(block);
    EXPECT_EQ(live.ethanolTenths, 7);
    EXPECT_EQ(live.ethanolSignal, 10000);
    EXPECT_EQ(live.pressSignal, 4660);
    EXPECT_EQ(live.batSignal, 3948);
    EXPECT_EQ(SignalText(10000), "10000");
    EXPECT_EQ(SignalText(5), "    5");
    EXPECT_EQ(TenthsText(7), "0.7");
    EXPECT_EQ(TenthsText(12), "1.2");
    EXPECT_EQ(TenthsText(255), "25.5");
}

TEST(LiveValues, ExtremesStayBlankUntilTaken)
{
    int min = EmptyMin, max = EmptyMax;
    EXPECT_EQ(MinText(min), "");
    EXPECT_EQ(MaxText(max), "");
    TakeExtremes(0, min, max);
    EXPECT_EQ(MinText(min), "    0");
    EXPECT_EQ(MaxText(max), "");   // every reading 0 so far
    TakeExtremes(65535, min, max);
    TakeExtremes(300, min, max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 65535);
}

TEST(CurvePlot, TheValueAxisHoldsTheWholeCurve)
{
    std::array<int, TGrafF::Points> curve;
    curve.fill(1200);
    const AxisSpan flat = ValueAxisFor(curve);
    EXPECT_LE(flat.low, 1200);
    EXPECT_GT(flat.high, 1200);
    curve[0] = 0;
    curve[119] = 65535;
    const AxisSpan wide = ValueAxisFor(curve);
    EXPECT_LE(wide.low, 0);
    EXPECT_GE(wide.high, 65535);
    EXPECT_EQ((wide.high - wide.low) % wide.step, 0);
}

} // namespace
