#include "exchange/WireTrace.h"
#include "shell/OrbiskSA.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace {

constexpr int ExitRefused = 2;

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
    QGuiApplication::setDesktopFileName(QStringLiteral(ORBA_APP_ID));
    if (!StartProgram(options))
        return 1;
    const int code = app.exec();
    DestroyWindows();
    return code;
}
