#include "WorkDir.h"

#include "shell/CommandLine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Outcome = StartOptions::Outcome;

StartOptions Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("orba"));
    return ParseCommandLine(arguments);
}

TEST(CommandLine, TakesTheFolderAndThePortAndLeavesTheToolkitItsOptions)
{
    struct Case { QStringList arguments; QString folder; int port; };
    const Case cases[] = {
        {{}, {}, 0},
        {{"--folder", "here/there", "--port", "COM4"}, "here/there", 4},
        {{"-f", "/tmp/x", "-p", "com9"}, "/tmp/x", 9},
        {{"--port=COM1"}, {}, 1},
        {{"-platform", "offscreen", "-style", "fusion", "-reverse", "--port", "COM2"}, {}, 2},
    };
    for (const Case &c : cases) {
        const StartOptions options = Parse(c.arguments);
        const QString args = c.arguments.join(' ');
        EXPECT_EQ(options.outcome, Outcome::Run) << args.toStdString() << ": " << options.text.toStdString();
        EXPECT_EQ(options.folder, c.folder) << args.toStdString();
        EXPECT_EQ(options.port, c.port) << args.toStdString();
    }
}

TEST(CommandLine, AnswersHelpAndVersion)
{
    for (const char *help : {"--help", "-h", "--help-all"}) {
        const StartOptions options = Parse({"--port", "COM3", help});
        EXPECT_EQ(options.outcome, Outcome::Help) << help;
        EXPECT_TRUE(options.text.contains("--folder <folder>")) << options.text.toStdString();
        EXPECT_TRUE(options.text.contains("--port <COMn>"));
        EXPECT_FALSE(options.text.contains("platform"));
    }
    for (const char *version : {"--version", "-v"}) {
        const StartOptions options = Parse({version});
        EXPECT_EQ(options.outcome, Outcome::Version) << version;
        EXPECT_TRUE(options.text.startsWith(QCoreApplication::applicationName() + ' '));
    }
}

TEST(CommandLine, RefusesWhatItDoesNotKnowWithTheReason)
{
    struct Case { QStringList arguments; const char *reason; };
    const Case cases[] = {
        {{"--bogus"}, "bogus"},
        {{"-x"}, "'x'"},
        {{"--port"}, "port"},
        {{"--port", "COM0"}, "COM0"},
        {{"--port", "COM10"}, "COM10"},
        {{"--port", "/dev/ttyUSB0"}, "/dev/ttyUSB0"},
        {{"--folder", ""}, "folder"},
        {{"results.dat"}, "results.dat"},
    };
    for (const Case &c : cases) {
        const StartOptions options = Parse(c.arguments);
        EXPECT_EQ(options.outcome, Outcome::Refused) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(options.text.contains(c.reason)) << options.text.toStdString();
    }
}

TEST(CommandLine, TakesATraceFileAndListsItInTheHelp)
{
    EXPECT_EQ(Parse({"--trace", "line.txt"}).trace, QStringLiteral("line.txt"));
    EXPECT_EQ(Parse({"-t", "/tmp/line.txt", "--port", "COM2"}).trace, QStringLiteral("/tmp/line.txt"));
    EXPECT_TRUE(Parse({}).trace.isEmpty());
    EXPECT_TRUE(Parse({"--help"}).text.contains("--trace <file>"));
    const StartOptions empty = Parse({"--trace", ""});
    EXPECT_EQ(empty.outcome, Outcome::Refused);
    EXPECT_TRUE(empty.text.contains("trace"));
}

TEST(DataFolder, MenuStartsGoToTheUsersFolderAndTerminalStartsStayWhereTheyAre)
{
    QTemporaryDir home;
    const QString user = home.filePath("Documents/OrbA");
    const QString work = home.filePath("work");
    ASSERT_TRUE(QDir().mkpath(work));
    // The home folder reached through a link is still the home folder.
    const QString linkedHome = home.filePath("work/home");
    ASSERT_TRUE(QFile::link(home.path(), linkedHome));

    EXPECT_EQ(ChooseDataFolder({}, home.path(), home.path(), user), user);
    EXPECT_EQ(ChooseDataFolder({}, linkedHome, home.path(), user), user);
    EXPECT_EQ(ChooseDataFolder({}, QDir::rootPath(), home.path(), user), user);
    EXPECT_EQ(ChooseDataFolder({}, work, home.path(), user), work);
    EXPECT_EQ(ChooseDataFolder("demo", work, home.path(), user), work + "/demo");
    EXPECT_EQ(ChooseDataFolder("../x/", home.path(), home.path(), user), QDir::cleanPath(home.path() + "/../x"));
    EXPECT_EQ(ChooseDataFolder("/opt/orba", home.path(), home.path(), user), "/opt/orba");
}

TEST(DataFolder, IsCreatedAndBecomesTheWorkingDirectory)
{
    ScopedWorkDir dir;
    const QString folder = dir.file("a/b/OrbA");
    QString error;
    ASSERT_TRUE(EnterDataFolder(folder, error)) << error.toStdString();
    EXPECT_EQ(QDir::currentPath(), QFileInfo(folder).canonicalFilePath());
    EXPECT_TRUE(EnterDataFolder(folder, error));   // a second start finds it

    ASSERT_TRUE(WriteWholeFile(dir.file("plain"), "x"));
    EXPECT_FALSE(EnterDataFolder(dir.file("plain/OrbA"), error));
    EXPECT_TRUE(error.contains("plain/OrbA"));
    EXPECT_EQ(QDir::currentPath(), QFileInfo(folder).canonicalFilePath());
}

// One copy of the program per folder: a second one is refused, naming the
// folder; the lock of a copy that ended without giving it back is taken over.
TEST(DataFolder, IsHeldByOneCopyOfTheProgram)
{
    QTemporaryDir folder;
    QString error;
    std::unique_ptr<QLockFile> first = LockDataFolder(folder.path(), error);
    ASSERT_TRUE(first && first->isLocked()) << error.toStdString();
    EXPECT_FALSE(LockDataFolder(folder.path(), error));
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(folder.path()))) << error.toStdString();

    // A lock file as the first copy wrote it, of a process that is gone.
    const QString lockName = QDir(folder.path()).filePath(QStringLiteral("orba.lock"));
    QList<QByteArray> fields = ReadWholeFile(lockName).split('\n');
    first->unlock();
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    fields[0] = QByteArray::number(gone.processId());
    ASSERT_TRUE(gone.waitForFinished());
    ASSERT_TRUE(WriteWholeFile(lockName, fields.join('\n')));

    std::unique_ptr<QLockFile> taken = LockDataFolder(folder.path(), error);
    EXPECT_TRUE(taken && taken->isLocked()) << error.toStdString();
}

TEST(DataFolder, IsNamedWithTheHomeFolderShortened)
{
    EXPECT_EQ(FolderForDisplay("/home/ann", "/home/ann"), "~");
    EXPECT_EQ(FolderForDisplay("/home/ann/Documents/OrbA/", "/home/ann"), "~/Documents/OrbA");
    EXPECT_EQ(FolderForDisplay("/home/anna/demo", "/home/ann"), "/home/anna/demo");
    EXPECT_EQ(FolderForDisplay("/srv/orba", "/"), "/srv/orba");
}

} // namespace
