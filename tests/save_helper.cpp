// Saves one kind of file over and over with the program's own save code, for
// the killed-save test (killed_saves_test.cpp), which kills it at random
// moments. Two versions of the data alternate and differ in every byte of
// the file, so that a file cut short or mixed from both cannot pass.
//
//   save_helper KIND refs   saves version 1, then version 2, each to KIND.1 and KIND.2
//   save_helper KIND loop   saves versions 1 and 2 alternately until killed; says
//                           "saving" once the file exists
//   save_helper archive loop
//                           adds steps of ArchiveStepTests tests to the archive
//                           until killed; says "saving" after the first
// KIND is config, lists, results or sensor. Works in the current directory.

#include "sensor/SensorBase.h"
#include "shell/Message.h"
#include "store/Archive.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

constexpr int SensorNumberSaved = 4321;

void FillConfig(int version)
{
    PortNumber = version;
    SensorNumber = version * 0x0101;
    ConfigNumber = version * 101010;
    SensorTable.fill(version * 0x0101);
    VolumeCoef = version * 0x0101;
}

void FillLists(int version)
{
    const char letter = char('A' + version);
    for (int list = 1; list <= ListCount; ++list) {
        ListNames[list] = QByteArray(NameLength, letter);
        PersonNames[list].fill(QByteArray(NameLength, letter));
    }
}

void FillResults(int version)
{
    ResultCount = ResultSlots - version;
    for (ResultRecord &record : Results)
        record.bytes.fill(uint8_t(version));
}

// A store writes the record of its own sensor: the versions differ there.
void FillSensorImage(int version)
{
    const int record = SensorNumberSaved % SensorRecordsPerFile * SensorRecordSize;
    std::fill_n(SensorBaseImage.begin() + record, SensorRecordSize, char(version));
}

struct Kind {
    const char *name;
    const char *fileName;
    std::function<void(int)> fill;
    std::function<bool()> save;
};

QString SensorFile()
{
    return SensorFileName(SensorNumberSaved / SensorRecordsPerFile);
}

const Kind Kinds[] = {
    {"config", ConfigFileName, FillConfig, [] { return Report(SaveConfig()); }},
    {"lists", ListFileName, FillLists, [] { return Report(SaveLists()); }},
    {"results", ResultsFileName, FillResults, [] { return Report(SaveResults()); }},
    {"sensor", "", FillSensorImage, [] { return StoreSensorBase(SensorNumberSaved); }},
};

QString FileOf(const Kind &kind)
{
    return *kind.fileName ? QString::fromLatin1(kind.fileName) : SensorFile();
}

bool Save(const Kind &kind, int version)
{
    kind.fill(version);
    return kind.save();
}

// Steps of the archive, one transaction each, until killed.
int ArchiveLoop()
{
    QString error;
    const std::unique_ptr<Archive> archive = Archive::Open(QStringLiteral("orba-archive.sqlite"), error);
    if (!archive)
        return 1;
    constexpr int ArchiveStepTests = 100;
    for (int step = 0;; ++step) {
        std::vector<ArchivedTest> tests(ArchiveStepTests);
        for (int i = 0; i < ArchiveStepTests; ++i) {
            tests[size_t(i)] = TestWithNames(ResultRecord{{1, uint8_t(i % 64), 0xA5, 0x08, 0x00, 0x05}}, "List",
                                             "Person " + QByteArray::number(i));
            tests[size_t(i)].instrument = step;
            tests[size_t(i)].recordIndex = i;
            tests[size_t(i)].readAt = QDateTime(QDate(2026, 5, 1), QTime(8, 0));
            tests[size_t(i)].resultsFile = QStringLiteral("orbisk_a.dat");
        }
        if (!archive->AddRead(tests, error))
            return 1;
        if (step == 0) {
            std::printf("saving\n");
            std::fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The note that a sensor file is new is expected; any error ends the run.
    SetMessageHandler([](const MessageRequest &request) {
        std::fprintf(stderr, "%s\n", qPrintable(request.text));
        if (request.kind == MessageKind::Error)
            std::exit(2);
        return QMessageBox::Ok;
    });
    if (argc != 3)
        return 2;
    if (std::strcmp(argv[1], "archive") == 0)
        return ArchiveLoop();
    const Kind *kind = nullptr;
    for (const Kind &k : Kinds) {
        if (std::strcmp(k.name, argv[1]) == 0)
            kind = &k;
    }
    if (!kind)
        return 2;
    // The sensor file must have been read whole before it may be replaced;
    // a missing one is created here.
    if (!*kind->fileName && !LoadSensorBase(SensorNumberSaved))
        return 1;

    const QString file = FileOf(*kind);
    if (std::strcmp(argv[2], "refs") == 0) {
        for (int version : {1, 2}) {
            if (!Save(*kind, version) || !QFile::rename(file, QStringLiteral("%1.%2").arg(argv[1]).arg(version)))
                return 1;
        }
        return 0;
    }
    if (!Save(*kind, 1))
        return 1;
    std::printf("saving\n");
    std::fflush(stdout);
    for (int version = 2;; version = 3 - version) {
        if (!Save(*kind, version))
            return 1;
    }
}
