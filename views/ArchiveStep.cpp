#include "views/ArchiveStep.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "shell/Message.h"
#include "store/Archive.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace {

constexpr int InstrumentNumberWord = 21;   // of the sensor table at address 0

struct KnownInstrument {
    QString port;
    int number = UnknownInstrument;
};
std::optional<KnownInstrument> Known;

int InstrumentNumberNow(bool fromFirst)
{
    if (fromFirst || (Known && Known->port != PortName))
        Known.reset();
    if (Known)
        return Known->number;
    // After a read that found no instrument, asking again only brings a
    // second box about the lost link.
    if (NoLink || !ReadMemory(SensorTableAddress + 2 * InstrumentNumberWord, 2))
        return UnknownInstrument;
    const int number = TransferBuffer[0] | TransferBuffer[1] << 8;
    Known = KnownInstrument{PortName, number};
    InstrumentNumber = number;
    InstrumentNumberKnown = true;
    return number;
}

ArchivedTest TestNamedNow(const ResultRecord &record)
{
    const int list = record.ListNo();
    if (list < 1 || list > ListCount)
        return TestWithNames(record, {}, {});
    return TestWithNames(record, ListNames[list], PersonNames[list][record.PersonNo()]);
}

} // namespace

QString ArchiveTroubleText(const QString &reason)
{
    return QStringLiteral("Архив тестов %1 недоступен: %2.\nПрограмма работает без архива: принятые тесты "
                          "сохраняются только в файле результатов.")
        .arg(QString::fromLatin1(ArchiveFileName), reason);
}

namespace {

// The archive takes what it lacks of the results file beside it (all of it
// when the archive is new; the tests of steps whose archive write failed),
// named by the list file as it is now. False, with its warning, when it
// could not: it then cannot claim to hold every test of the file. A file
// that is no results file is the results window's to name.
bool TakeResultsFile(Archive &archive)
{
    QFile results(QString::fromLatin1(ResultsFileName));
    if (!results.open(QIODevice::ReadOnly))
        return true;
    const QByteArray resultBytes = results.readAll();
    if (resultBytes.size() != ResultsFileSize)
        return true;
    QFile lists(QString::fromLatin1(ListFileName));
    const QByteArray listBytes = lists.open(QIODevice::ReadOnly) ? lists.readAll() : QByteArray();
    QString error;
    if (archive.Import(resultBytes, listBytes, QFileInfo(results).absoluteFilePath(), PcNow(), error))
        return true;
    ShowWarning(ArchiveTroubleText(error));
    return false;
}

} // namespace

bool StartProgramArchive()
{
    Known.reset();
    if (const std::optional<QString> trouble = OpenProgramArchive()) {
        OnTestsTaken = {};
        ShowWarning(ArchiveTroubleText(*trouble));
        return false;
    }
    if (!TakeResultsFile(*ProgramArchive())) {
        StopProgramArchive();
        return false;
    }
    OnTestsTaken = ArchiveTakenTests;
    return true;
}

void StopProgramArchive()
{
    OnTestsTaken = {};
    CloseProgramArchive();
    Known.reset();
}

void ArchiveTakenTests(const std::vector<TakenTest> &taken, bool fromFirst)
{
    Archive *archive = ProgramArchive();
    if (!archive || taken.empty())
        return;
    const int instrument = InstrumentNumberNow(fromFirst);
    const QDateTime now = PcNow();
    const QString resultsFile = QDir::current().absoluteFilePath(QString::fromLatin1(ResultsFileName));
    std::vector<ArchivedTest> tests;
    tests.reserve(taken.size());
    for (const TakenTest &each : taken) {
        ArchivedTest test = TestNamedNow(each.record);
        test.instrument = instrument;
        test.recordIndex = each.index;
        test.readAt = now;
        test.resultsFile = resultsFile;
        tests.push_back(std::move(test));
    }
    QString error;
    if (!archive->AddRead(tests, error)) {
        StopProgramArchive();
        ShowWarning(ArchiveTroubleText(error));
    }
}
