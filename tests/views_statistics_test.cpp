// The statistics window: the person and period searches over the stored
// results, the found grid, and the window as it opens.

#include "TestRecords.h"
#include "WorkDir.h"

#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/ResultGrid.h"
#include "views/Search.h"
#include "views/Stat.h"
#include "shell/Message.h"

#include <QComboBox>
#include <QLabel>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

QDateTime At(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

class Statistics : public ::testing::Test {
protected:
    Statistics()
    {
        ResetDataModel();
        ResetSearch();
    }
    ~Statistics() override
    {
        ResetDataModel();
        ResetSearch();
    }

    void Store(const std::vector<ResultRecord> &records)
    {
        std::copy(records.begin(), records.end(), Results.begin());
        ResultCount = int(records.size());
    }

    void Period(const QDateTime &begin, const QDateTime &end)
    {
        BeginYear = begin.date().year();
        BeginMonth = begin.date().month();
        BeginDay = begin.date().day();
        BeginHour = begin.time().hour();
        BeginMinute = begin.time().minute();
        EndYear = end.date().year();
        EndMonth = end.date().month();
        EndDay = end.date().day();
        EndHour = end.time().hour();
        EndMinute = end.time().minute();
    }

    // The times of the records found, as the grid shows them.
    QStringList FoundTimes() const
    {
        QStringList times;
        for (int i = 0; i < FoundCount; ++i)
            times << Found[i].DateText + ' ' + Found[i].TimeText;
        return times;
    }

    FixedToday today{At(2026, 12, 8, 10, 0)};
};

TEST_F(Statistics, PersonSearchNamesTheFirstAndTheLastTest)
{
    Store({TestRecord(2, 4, At(2026, 4, 3, 9, 5), 2), TestRecord(2, 5, At(2026, 4, 4, 9, 0)),
           TestRecord(0, 4, At(2026, 4, 5, 9, 0)), TestRecord(2, 4, At(2026, 4, 10, 12, 0)),
           TestRecord(3, 4, At(2026, 4, 11, 9, 0)), TestRecord(2, 4, At(2026, 4, 28, 17, 30), 15)});
    CurrentList = 2;
    CurrentPerson = 4;
    SearchByPerson();
    EXPECT_EQ(FoundTimes(), QStringList({"3.04.2026 9:05", "10.04.2026 12:00", "28.04.2026 17:30"}));
    EXPECT_EQ(PersonSearchReport(),
              QStringList({"Записей: 3.С 9:05 3.04.2026", "           по 17:30 28.04.2026"}));
    EXPECT_EQ(Found[2].ResultText, "1.5");

    CurrentPerson = 6;
    SearchByPerson();
    EXPECT_EQ(FoundCount, 0);
    EXPECT_EQ(PersonSearchReport(), QStringList{"Записей  нет"});
}

TEST_F(Statistics, PeriodLimitsTakeTheirMinutes)
{
    Store({TestRecord(1, 0, At(2026, 5, 10, 7, 59)), TestRecord(1, 0, At(2026, 5, 10, 8, 0)),
           TestRecord(0, 0, At(2026, 5, 11, 3, 0)), TestRecord(1, 0, At(2026, 5, 12, 18, 0)),
           TestRecord(1, 0, At(2026, 5, 12, 18, 1)), TestRecord(1, 0, At(2025, 5, 11, 12, 0))});
    Period(At(2026, 5, 10, 8, 0), At(2026, 5, 12, 18, 0));
    SearchByPeriod();
    EXPECT_EQ(FoundTimes(), QStringList({"10.05.2026 8:00", "11.05.2026 3:00", "12.05.2026 18:00"}));
    EXPECT_EQ(Found[1].PersonText, "Аноним");

    // Day 32, the empty item of the day lists, lies after every day of its month.
    Period(At(2026, 5, 12, 0, 0), At(2026, 5, 1, 0, 0));
    EndDay = 32;
    SearchByPeriod();
    EXPECT_EQ(FoundTimes(), QStringList({"12.05.2026 18:00", "12.05.2026 18:01"}));
}

// On a single day both time limits apply.
TEST_F(Statistics, ASingleDayIsCutByBothTimes)
{
    Store({TestRecord(1, 0, At(2026, 5, 10, 7, 0)), TestRecord(1, 0, At(2026, 5, 10, 8, 0)),
           TestRecord(1, 0, At(2026, 5, 10, 12, 0)), TestRecord(1, 0, At(2026, 5, 10, 15, 0)),
           TestRecord(1, 0, At(2026, 5, 11, 10, 0))});
    Period(At(2026, 5, 10, 8, 0), At(2026, 5, 10, 12, 0));
    SearchByPeriod();
    EXPECT_EQ(FoundTimes(), QStringList({"10.05.2026 8:00", "10.05.2026 12:00"}));
}

// A period that ends before it begins finds nothing, rather than the tests
// of its two edge days, and the window says why.
TEST_F(Statistics, AReversedPeriodFindsNothingAndSaysSo)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    Store({TestRecord(1, 0, At(2026, 5, 5, 9, 0)), TestRecord(1, 0, At(2026, 5, 7, 9, 0)),
           TestRecord(1, 0, At(2026, 5, 10, 9, 0))});
    ASSERT_TRUE(Report(SaveResults()));
    TStatF window;
    window.show();
    QCoreApplication::processEvents();

    const auto choose = [&](QDateTime begin, QDateTime end) {
        window.box_YearB->setCurrentText(QString::number(begin.date().year()));
        window.box_MonB->setCurrentIndex(begin.date().month() - 1);
        window.box_DayB->setCurrentIndex(begin.date().day() - 1);
        window.box_HHB->setCurrentIndex(begin.time().hour());
        window.box_YearE->setCurrentText(QString::number(end.date().year()));
        window.box_MonE->setCurrentIndex(end.date().month() - 1);
        window.box_DayE->setCurrentIndex(end.date().day() - 1);
        window.box_HHE->setCurrentIndex(end.time().hour());
        window.box_MMB->setCurrentIndex(0);
        window.box_MME->setCurrentIndex(0);
        window.key_Poisk->click();
    };
    choose(At(2026, 5, 10, 8, 0), At(2026, 5, 5, 12, 0));
    EXPECT_EQ(FoundCount, 0);
    EXPECT_EQ(window.Grid().Cell(1, 3), "");
    EXPECT_FALSE(window.LabelPeriod->text().isEmpty());
    choose(At(2026, 5, 10, 10, 0), At(2026, 5, 10, 8, 0));
    EXPECT_EQ(FoundCount, 0);
    EXPECT_FALSE(window.LabelPeriod->text().isEmpty());

    choose(At(2026, 5, 5, 8, 0), At(2026, 5, 10, 10, 0));
    EXPECT_EQ(FoundCount, 3);
    EXPECT_TRUE(window.LabelPeriod->text().isEmpty());
}

// Keys compare full years, so a period over the wrap of the year code (2031
// is code 15, 2032 code 0) and over the old year digit (2029 to 2030) works.
TEST_F(Statistics, PeriodsAcrossTheWrapOfTheYearCode)
{
    FixPcNow(At(2032, 1, 10, 12, 0));
    Store({TestRecord(1, 0, At(2031, 12, 30, 9, 0)), TestRecord(1, 0, At(2032, 1, 2, 9, 0)),
           TestRecord(1, 0, At(2032, 1, 9, 9, 0))});
    Period(At(2031, 12, 20, 0, 0), At(2032, 1, 5, 0, 0));
    SearchByPeriod();
    EXPECT_EQ(FoundTimes(), QStringList({"30.12.2031 9:00", "2.01.2032 9:00"}));

    FixPcNow(At(2030, 2, 1, 12, 0));
    Store({TestRecord(1, 0, At(2029, 12, 30, 9, 0)), TestRecord(1, 0, At(2030, 1, 2, 9, 0))});
    Period(At(2029, 12, 1, 0, 0), At(2030, 1, 31, 0, 0));
    SearchByPeriod();
    EXPECT_EQ(FoundCount, 2);
}

TEST_F(Statistics, ARecordOfAListWithoutNamesIsFoundWithoutThem)
{
    Store({TestRecord(12, 3, At(2026, 5, 10, 9, 30), 7)});
    ListNames.fill("list");
    Period(At(2026, 5, 1, 0, 0), At(2026, 5, 31, 23, 59));
    SearchByPeriod();
    ASSERT_EQ(FoundCount, 1);
    EXPECT_EQ(Found[0].ListNo, 12);
    EXPECT_EQ(Found[0].ListText + Found[0].PersonText, "");
    EXPECT_EQ(QStringList({Found[0].DateText, Found[0].TimeText, Found[0].ResultText}),
              QStringList({"10.05.2026", "9:30", "0.7"}));
}

TEST_F(Statistics, RowsBeyondAShorterResultAreEmptiedWhole)
{
    Store(std::vector<ResultRecord>(3, TestRecord(1, 1, At(2026, 5, 10, 9, 30))));
    CurrentList = 1;
    CurrentPerson = 1;
    FoundGridModel grid;
    SearchByPerson();
    grid.ShowFound();
    EXPECT_EQ(grid.Cell(3, 0), "   3");
    EXPECT_EQ(grid.Cell(3, 3), "10.05.2026");

    Results[2].bytes[1] = 2;
    SearchByPerson();
    grid.ShowFound();
    EXPECT_EQ(grid.Cell(2, 0), "   2");
    for (int column = 0; column < GridColumns; ++column)
        EXPECT_EQ(grid.Cell(3, column), "") << column;
    EXPECT_EQ(grid.Cell(0, 5), "Рез.");
}

// The window opens on the files: the person page of the current person, the
// period from the first record to now.
TEST_F(Statistics, WindowOpensOnThePersonOfTheLists)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    ASSERT_TRUE(Report(LoadLists()));   // the default names
    messages.clear();
    Store({TestRecord(3, 7, At(2025, 11, 2, 6, 45)), TestRecord(3, 8, At(2026, 12, 1, 9, 0)),
           TestRecord(3, 7, At(2026, 12, 2, 16, 10))});
    ASSERT_TRUE(Report(SaveResults()));
    ResultCount = 0;
    CurrentList = 3;
    CurrentPerson = 7;

    TStatF window;
    window.page_Stat->setCurrentIndex(TStatF::PagePeriod);
    window.show();
    QCoreApplication::processEvents();

    EXPECT_EQ(ResultCount, 3);
    EXPECT_EQ(window.page_Stat->currentIndex(), int(TStatF::PagePerson));
    EXPECT_EQ(window.box_List->currentText(), "Название цеха 3 ");
    EXPECT_EQ(window.box_FIO->count(), 64);
    EXPECT_EQ(window.box_FIO->currentText(), "Цех 3 Фамилия 07");
    EXPECT_EQ(window.memo_Poisk->toPlainText(), "Записей: 2.С 6:45 2.11.2025\n           по 16:10 2.12.2026");
    EXPECT_EQ(window.Grid().Cell(2, 3), "2.12.2026");
    EXPECT_EQ(window.Grid().Cell(3, 0), "");
    EXPECT_EQ(window.box_YearB->currentText() + window.box_MonB->currentText() + window.box_DayB->currentText()
                  + window.box_HHB->currentText() + window.box_MMB->currentText(),
              "2025ноябрь020645");
    EXPECT_EQ(window.box_YearE->currentText() + window.box_MonE->currentText() + window.box_DayE->currentText()
                  + window.box_HHE->currentText() + window.box_MME->currentText(),
              "2026декабрь081000");

    // Another person; then the period page, whose search fills the grid
    // while the memo keeps the person's report.
    window.box_FIO->activated(8);
    EXPECT_EQ(CurrentPerson, 8);
    EXPECT_EQ(window.memo_Poisk->toPlainText(), "Записей: 1.С 9:00 1.12.2026\n           по 9:00 1.12.2026");
    window.box_DayB->setCurrentIndex(0);
    window.box_MonB->setCurrentIndex(11);
    window.page_Stat->setCurrentIndex(TStatF::PagePeriod);
    EXPECT_EQ(FoundCount, 2);
    window.page_Stat->setCurrentIndex(TStatF::PagePerson);
    EXPECT_EQ(FoundCount, 2);
    EXPECT_EQ(window.memo_Poisk->toPlainText().left(11), "Записей: 1.");
    EXPECT_EQ(window.Grid().Cell(2, 3), "2.12.2026");
    EXPECT_TRUE(messages.texts().isEmpty());
}


// The year lists reach the PC's year, so that the tests of 2032 on can be
// chosen; the default period then ends today.
TEST_F(Statistics, YearListsReachThePcYear)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    FixPcNow(At(2033, 3, 4, 10, 0));
    Store({TestRecord(1, 0, At(2032, 2, 1, 9, 0)), TestRecord(1, 0, At(2033, 3, 1, 9, 0))});
    ASSERT_TRUE(Report(SaveResults()));

    TStatF window;
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.box_YearE->count(), 2034 - 2008 + 1);   // a test may be of the next year
    EXPECT_EQ(window.box_YearB->currentText(), "2032");
    EXPECT_EQ(window.box_YearE->currentText(), "2033");
    window.box_YearE->setCurrentText("2032");
    window.box_MonE->setCurrentIndex(11);
    window.key_Poisk->click();
    EXPECT_EQ(FoundTimes(), QStringList{"1.02.2032 9:00"});
}

// A search takes each of the ten period values from its own selector, the
// value its item stands for.
TEST_F(Statistics, EachPeriodSelectorGivesItsOwnValue)
{
    ScopedWorkDir dir;
    MessageRecorder messages;
    Store({TestRecord(1, 0, At(2026, 12, 1, 9, 0))});
    ASSERT_TRUE(SaveResults());
    TStatF window;
    window.show();
    QCoreApplication::processEvents();

    const std::array boxes = {window.box_YearB, window.box_MonB, window.box_DayB, window.box_HHB, window.box_MMB,
                              window.box_YearE, window.box_MonE, window.box_DayE, window.box_HHE, window.box_MME};
    const std::array items = {1, 2, 4, 6, 7, 8, 9, 10, 12, 13};   // no two values alike
    for (size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setCurrentIndex(items[i]);
    window.key_Poisk->click();
    EXPECT_EQ((std::array{BeginYear, BeginMonth, BeginDay, BeginHour, BeginMinute,
                          EndYear, EndMonth, EndDay, EndHour, EndMinute}),
              (std::array{2009, 3, 5, 6, 7, 2016, 10, 11, 12, 13}));
}

} // namespace
