#include "shell/Startup.h"

#include "shell/Language.h"
#include "shell/Message.h"
#include "shell/OrbiskSA.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <cstdio>

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

    TOrbiskSAF *main = CreateWindows();
    main->StartOnPort(options.port);
    main->show();
    return main;
}
