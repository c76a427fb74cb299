#include "shell/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// Options of the window toolkit that it takes from the command line itself.
const char *const ToolkitValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "display", "geometry", "style", "stylesheet",
    "session", "name", "title", "qmljsdebugger"};
const char *const ToolkitFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void AddToolkitOptions(QCommandLineParser &parser)
{
    for (const char *name : ToolkitValueOptions) {
        QCommandLineOption option(QString::fromLatin1(name), {}, QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : ToolkitFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

StartOptions Refusal(const QString &reason)
{
    StartOptions options;
    options.outcome = StartOptions::Outcome::Refused;
    options.text = reason;
    return options;
}

// 1..9 for "COM1".."COM9" (any letter case), otherwise 0.
int PortOf(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString Canonical(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

StartOptions ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Companion program of the breath-alcohol instrument \"Орбиск 7м\".\n"
        "Started in the home folder (as from the desktop menu) it keeps its files\n"
        "in ~/Documents/OrbA, otherwise in the working directory."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption folder({QStringLiteral("f"), QStringLiteral("folder")},
                                    QStringLiteral("Keep the files in <folder> (created when missing)."),
                                    QStringLiteral("folder"));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("Use the serial port <COMn>, n = 1..9, and keep it chosen."),
                                  QStringLiteral("COMn"));
    const QCommandLineOption trace({QStringLiteral("t"), QStringLiteral("trace")},
                                   QStringLiteral("Append every frame to and from the instrument to <file>."),
                                   QStringLiteral("file"));
    parser.addOption(folder);
    parser.addOption(port);
    parser.addOption(trace);
    AddToolkitOptions(parser);

    if (!parser.parse(arguments))
        return Refusal(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        return {StartOptions::Outcome::Help, parser.helpText(), {}, 0, {}};
    if (parser.isSet(version)) {
        return {StartOptions::Outcome::Version,
                QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion() + '\n',
                {}, 0, {}};
    }
    if (!parser.positionalArguments().isEmpty())
        return Refusal(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    StartOptions options;
    options.folder = parser.value(folder);
    if (parser.isSet(folder) && options.folder.isEmpty())
        return Refusal(QStringLiteral("The folder given with --folder is empty."));
    options.trace = parser.value(trace);
    if (parser.isSet(trace) && options.trace.isEmpty())
        return Refusal(QStringLiteral("The file given with --trace is empty."));
    if (parser.isSet(port)) {
        options.port = PortOf(parser.value(port));
        if (options.port == 0)
            return Refusal(QStringLiteral("Unknown port '%1': use COM1 to COM9.").arg(parser.value(port)));
    }
    return options;
}

QString ChooseDataFolder(const QString &asked, const QString &workingDir,
                         const QString &homeDir, const QString &userFolder)
{
    if (!asked.isEmpty())
        return QDir::cleanPath(QDir(workingDir).absoluteFilePath(asked));
    const QString here = Canonical(workingDir);
    if (here == Canonical(homeDir) || here == QDir::rootPath())
        return userFolder;
    return workingDir;
}

QString UserDataFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return QDir(documents).filePath(QStringLiteral("OrbA"));
}

bool EnterDataFolder(const QString &folder, QString &error)
{
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Cannot create the folder %1.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    if (!QDir::setCurrent(folder)) {
        error = QStringLiteral("Cannot work in the folder %1.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    return true;
}

std::unique_ptr<QLockFile> LockDataFolder(const QString &folder, QString &error)
{
    auto lock = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("orba.lock")));
    // The lock is held for the whole run: only a holder that is gone makes
    // it stale, never its age.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return lock;
    // A folder the program cannot write in is no folder two copies could
    // spoil; the files' own messages tell the rest.
    if (lock->error() == QLockFile::PermissionError)
        return lock;
    error = QStringLiteral("another copy of the program works in the folder %1.")
                .arg(QDir::toNativeSeparators(folder));
    return nullptr;
}

QString FolderForDisplay(const QString &folder, const QString &homeDir)
{
    const QString home = QDir::cleanPath(homeDir);
    const QString path = QDir::cleanPath(folder);
    if (home != QDir::rootPath() && (path == home || path.startsWith(home + '/')))
        return '~' + path.mid(home.size());
    return path;
}
