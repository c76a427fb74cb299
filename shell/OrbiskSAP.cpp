#include "exchange/WireTrace.h"
#include "shell/CommandLine.h"
#include "shell/Language.h"
#include "shell/Message.h"
#include "shell/OrbiskSA.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace {

constexpr int ExitRefused = 2;

// Reads the command line before the toolkit starts, so that --help and
// --version also answer where there is no display.
StartOptions ReadCommandLine(int argc, char **argv)
{
    QCoreApplication probe(argc, argv);
    return ParseCommandLine(QCoreApplication::arguments());
}

int Answer(const StartOptions &options)
{
    if (options.outcome == StartOptions::Outcome::Refused) {
        std::fprintf(stderr, "orba: %s\nTry 'orba --help' for more information.\n",
                     qPrintable(options.text));
        return ExitRefused;
    }
    std::fputs(qPrintable(options.text), stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName("OrbA");
    QCoreApplication::setApplicationVersion(ORBA_VERSION);
    const StartOptions options = ReadCommandLine(argc, argv);
    if (options.outcome != StartOptions::Outcome::Run)
        return Answer(options);

    // A relative trace file is taken where the program was started.
    QString error;
    const QString trace = QDir::current().absoluteFilePath(options.trace);
    if (!options.trace.isEmpty() && !ExchangeTrace().MirrorTo(trace, error)) {
        std::fprintf(stderr, "orba: cannot write the trace file %s: %s\n",
                     qPrintable(QDir::toNativeSeparators(trace)), qPrintable(error));
        return 1;
    }
    ExchangeTrace().Note(QStringLiteral("OrbA %1 started").arg(QCoreApplication::applicationVersion()));

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orba.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral(ORBA_APP_ID));
    InstallToolkitTranslations();

    const QString folder = ChooseDataFolder(options.folder, QDir::currentPath(),
                                            QDir::homePath(), UserDataFolder());
    if (!EnterDataFolder(folder, error)) {
        std::fprintf(stderr, "orba: %s\n", qPrintable(error));
        ShowError(error);
        return 1;
    }

    TOrbiskSAF *main = CreateWindows();
    main->StartOnPort(options.port);
    main->show();
    const int code = app.exec();
    DestroyWindows();
    return code;
}
