#include "store/OrbADat.h"

#include "store/FileGuard.h"

#include <algorithm>

int PortNumber;
QString PortName;
int SensorNumber;
QString SensorNumberText;
int ConfigNumber;
std::array<int, SensorTableSize> SensorTable;
std::array<int, SensorTableSize> SensorTableSaved;
int VolumeCoef;

std::array<QByteArray, ListCount + 1> ListNames;
std::array<std::array<QByteArray, PersonsPerList>, ListCount + 1> PersonNames;
std::array<ResultRecord, ResultSlots> Results;
int ResultCount;
std::optional<InstrumentReadMark> ReadMark;

int RefDateCode;
bool EndFound;

int CurrentList;
int CurrentPerson;
int StatPage;
int TodayYear2;
int TodayMonth;
int TodayDay;
QString DailyFileName;

QByteArray SensorNote;

void ResetDataModel()
{
    PortNumber = 1;
    PortName = QStringLiteral("COM1");
    SensorNumber = 1;
    SensorNumberText = QStringLiteral("1");
    ConfigNumber = 583729;
    SensorTable.fill(0);
    SensorTableSaved.fill(0);
    VolumeCoef = 100;

    ListNames.fill(QByteArray());
    for (auto &list : PersonNames)
        list.fill(QByteArray());
    Results.fill(ResultRecord{});
    ResultCount = 0;
    ReadMark.reset();

    RefDateCode = 0;
    EndFound = false;

    CurrentList = 1;
    CurrentPerson = 0;
    StatPage = 0;
    TodayYear2 = 3;
    TodayMonth = 8;
    TodayDay = 27;
    DailyFileName = QStringLiteral("30_11.txt");

    SensorNote = QByteArray(20, ' ');
    ForgetFileHistory();
}

int NextInstrumentRecord()
{
    return ReadMark ? ReadMark->next : std::clamp(ResultCount, 0, InstrumentRecords);
}

void SetToday(const QDate &today)
{
    TodayYear2 = today.year() > 99 ? today.year() % 100 : today.year();
    TodayMonth = today.month();
    TodayDay = today.day();
}

namespace {

QDateTime FixedNow;

} // namespace

QDateTime PcNow()
{
    return FixedNow.isValid() ? FixedNow : QDateTime::currentDateTime();
}

int PcYear()
{
    return PcNow().date().year();
}

void FixPcNow(const QDateTime &now)
{
    FixedNow = now;
}

namespace {

// The start-up values are the reset values.
const bool DataModelReady = (ResetDataModel(), true);

} // namespace

