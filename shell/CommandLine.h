#pragma once
// The program's command line, and the folder in which it keeps its files.

#include <QString>
#include <QStringList>
#include <memory>

class QLockFile;

struct StartOptions {
    enum class Outcome { Run, Help, Version, Refused };
    Outcome outcome = Outcome::Run;
    QString text;     // the help, the version, or why the command line was refused
    QString folder;   // as given with --folder; empty when not given
    int port = 0;     // 1..9 from --port COMn; 0 when not given
    QString trace;    // --trace FILE, as given; empty when not given
};

// Reads the arguments, the program's name first. The toolkit's own options
// (-platform, -style, ...) pass; the toolkit takes them later.
StartOptions ParseCommandLine(const QStringList &arguments);

// The folder the program keeps its files in: the one asked for (relative to
// the working directory); otherwise the working directory, unless that is
// the home folder (where a desktop menu starts programs) or the root, which
// would scatter the files: then the user's own folder `userFolder`.
QString ChooseDataFolder(const QString &asked, const QString &workingDir,
                         const QString &homeDir, const QString &userFolder);

// ~/Documents/OrbA (the documents folder under its local name).
QString UserDataFolder();

// Creates `folder` when it is missing and makes it the working directory, so
// that every file name of the program is taken in it; false with the reason
// in `error` when that cannot be done.
bool EnterDataFolder(const QString &folder, QString &error);

// Holds the folder for this run, so that no second copy of the program works
// in it; null, with the reason in `error`, when a running copy holds it. A
// lock left by a copy that has ended is taken over.
std::unique_ptr<QLockFile> LockDataFolder(const QString &folder, QString &error);

// The folder as the status bar names it: home shown as "~".
QString FolderForDisplay(const QString &folder, const QString &homeDir);
