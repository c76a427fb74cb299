#include "shell/Startup.h"

#include "shell/Language.h"
#include "shell/Message.h"
#include "shell/OrbiskSA.h"
#include "views/ArchiveStep.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLockFile>
#include <cstdio>
#include <memory>

StartOptions ReadCommandLine(int argc, char **argv)
{
    QCoreApplication probe(argc, argv);
    return ParseCommandLine(QCoreApplication::arguments());
}

TOrbiskSAF *StartProgram(const StartOptions &options)
{
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orba.png")));
    InstallToolkitTranslations();

    const QString folder = ChooseDataFolder(options.folder, QDir::currentPath(),
                                            QDir::homePath(), UserDataFolder());
    QString error;
    if (!EnterDataFolder(folder, error)) {
        std::fprintf(stderr, "orba: %s\n", qPrintable(error));
        ShowError(error);
        return nullptr;
    }

    static std::unique_ptr<QLockFile> folderLock;
    folderLock = LockDataFolder(folder, error);
    if (!folderLock) {
        std::fprintf(stderr, "orba: %s\n", qPrintable(error));
        ShowError(QStringLiteral("В папке %1 уже работает другая копия программы.\n"
                                 "Две копии в одной папке записывали бы файлы друг друга; эта копия закрывается.")
                      .arg(QDir::toNativeSeparators(folder)));
        return nullptr;
    }

    TOrbiskSAF *main = CreateWindows();
    main->StartOnPort(options.port);
    main->show();
    StartProgramArchive();
    return main;
}
