// A save killed at any moment leaves the old file or the new one, whole.
// save_helper saves one kind of file over and over with the program's code;
// it is killed with SIGKILL at random moments, ORBA_KILLED_SAVES times per
// kind (10 by default; scripts/killed-saves.sh asks for more).

#include "WorkDir.h"

#include "store/Archive.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>
#include <iostream>
#include <random>

namespace {

int KillsPerKind()
{
    const int asked = qEnvironmentVariableIntValue("ORBA_KILLED_SAVES");
    return asked > 0 ? asked : 10;
}

bool RunHelper(const QString &kind, const char *mode)
{
    QProcess helper;
    helper.start(QStringLiteral(SAVE_HELPER), {kind, QLatin1String(mode)});
    return helper.waitForFinished(60000) && helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0;
}

} // namespace

class KilledSaves : public ::testing::TestWithParam<const char *> {};

TEST_P(KilledSaves, LeaveTheOldFileOrTheNewOne)
{
    const QString kind = QLatin1String(GetParam());
    const QString fileName = QLatin1String(kind == QLatin1String("config")    ? "orbisk_m.cnf"
                                           : kind == QLatin1String("lists")   ? "orbisk_a.lst"
                                           : kind == QLatin1String("results") ? "orbisk_a.dat"
                                                                              : "F_43.dat");
    ScopedWorkDir dir;
    ASSERT_TRUE(RunHelper(kind, "refs"));
    const QByteArray first = ReadWholeFile(dir.file(kind + QStringLiteral(".1")));
    const QByteArray second = ReadWholeFile(dir.file(kind + QStringLiteral(".2")));
    ASSERT_EQ(first.size(), second.size());
    ASSERT_FALSE(first.isEmpty());

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    int kills = 0;
    int leftovers = 0;
    for (int run = 0; run < KillsPerKind(); ++run) {
        QProcess helper;
        helper.start(QStringLiteral(SAVE_HELPER), {kind, QStringLiteral("loop")});
        ASSERT_TRUE(helper.waitForReadyRead(60000)) << helper.readAllStandardError().toStdString();
        QThread::usleep(delayUs(random));
        ::kill(pid_t(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished(60000));
        ASSERT_EQ(helper.exitStatus(), QProcess::CrashExit) << "the helper stopped saving on its own";
        ++kills;

        const QByteArray now = ReadWholeFile(dir.file(fileName));
        ASSERT_TRUE(now == first || now == second) << "run " << run << ": " << now.size() << " bytes, neither version";
        // A temporary file of a save cut short may stay behind; it never
        // takes the file's place.
        for (const QString &other : QDir(dir.path()).entryList({fileName + QStringLiteral(".*")}, QDir::Files)) {
            ++leftovers;
            QFile::remove(dir.file(other));
        }
    }
    std::cout << "killed saves of " << kind.toStdString() << ": " << kills << " kills, every file whole; "
              << leftovers << " temporary files left behind\n";
}

// An archive killed in the middle of a step's transaction opens whole, with
// every step before it and nothing of the one cut short.
TEST(KilledArchive, KeepsWholeStepsOnly)
{
    ScopedWorkDir dir;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayUs(0, 20000);
    for (int run = 0; run < KillsPerKind(); ++run) {
        QProcess helper;
        helper.start(QStringLiteral(SAVE_HELPER), {QStringLiteral("archive"), QStringLiteral("loop")});
        ASSERT_TRUE(helper.waitForReadyRead(60000)) << helper.readAllStandardError().toStdString();
        QThread::usleep(delayUs(random));
        ::kill(pid_t(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished(60000));
        ASSERT_EQ(helper.exitStatus(), QProcess::CrashExit) << "the helper stopped saving on its own";

        QString error;
        const std::unique_ptr<Archive> archive = Archive::Open(dir.file(ArchiveFileName), error);
        ASSERT_TRUE(archive) << "run " << run << ": " << error.toStdString();
        QSqlQuery check(archive->Database());
        ASSERT_TRUE(check.exec(QStringLiteral("PRAGMA integrity_check")) && check.next());
        EXPECT_EQ(check.value(0).toString(), QStringLiteral("ok")) << "run " << run;
        const int count = archive->Count();
        EXPECT_GT(count, 0);
        EXPECT_EQ(count % 100, 0) << "run " << run << ": " << count << " tests, a step cut short";
    }
    std::cout << "killed archive steps: " << KillsPerKind() << " kills, every archive whole\n";
}

INSTANTIATE_TEST_SUITE_P(EveryFileKind, KilledSaves, ::testing::Values("config", "lists", "results", "sensor"));
