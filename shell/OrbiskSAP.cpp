#include "shell/Language.h"
#include "shell/OrbiskSA.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("OrbA");
    QApplication::setQuitOnLastWindowClosed(false);
    InstallToolkitTranslations();

    TOrbiskSAF *main = CreateWindows();
    main->show();
    const int code = app.exec();
    DestroyWindows();
    return code;
}
