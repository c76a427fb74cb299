// Times the opening of the results window on a full store (9300 slots, 1500
// valid records), the same for the statistics window, and the searches over
// that store. Each figure is the median of several runs.

#include "Median.h"
#include "TestRecords.h"
#include "WorkDir.h"

#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/Res.h"
#include "views/Search.h"
#include "views/Stat.h"
#include "shell/Message.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 9;
constexpr int ValidRecords = 1500;


// 1500 tests over the last months, spread over the lists and their persons.
void FillStore(const QDateTime &now)
{
    for (int slot = 0; slot < ResultSlots; ++slot)
        Results[slot] = slot < ValidRecords
                            ? TestRecord(slot % 9, slot % 64, now.addSecs(-3600LL * (ValidRecords - slot)), slot % 40)
                            : EndRecord();
    ResultCount = ValidRecords;
}

void Print(const char *name, double ms, double aim)
{
    std::printf("%-44s %8.3f ms   (aim: under %.0f ms)\n", name, ms, aim);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScopedWorkDir dir;
    MessageRecorder messages;
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 0));
    FixedToday today(now);

    FillStore(now);
    Report(LoadLists());
    Report(SaveResults());

    TResF results;
    Print("results window opened on a full store", MedianMs(Runs, [&results] {
              results.show();
              results.FormActivate();
              results.hide();
          }), 50);

    TStatF statistics;
    Print("statistics window opened on a full store", MedianMs(Runs, [&statistics] {
              statistics.show();
              statistics.FormActivate();
              statistics.hide();
          }), 50);

    CurrentList = 3;
    CurrentPerson = 5;
    Print("person search", MedianMs(Runs, [] { SearchByPerson(); }), 20);
    BeginYear = 2026;
    BeginMonth = 9;
    BeginDay = 1;
    EndYear = 2026;
    EndMonth = 12;
    EndDay = 31;
    Print("period search (September to December)", MedianMs(Runs, [] { SearchByPeriod(); }), 20);
    std::printf("found: %d records of the person's list, %d of the period\n", [] {
        SearchByPerson();
        return FoundCount;
    }(), [] {
        SearchByPeriod();
        return FoundCount;
    }());
    QApplication::processEvents();
    return 0;
}
