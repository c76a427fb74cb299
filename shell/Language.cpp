#include "shell/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// The toolkit's Russian catalogue leaves "OK" in Latin letters; a Russian
// program's button reads "ОК".
class OkInCyrillic : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        // Some desktop themes ask for the text with a mnemonic, "&OK".
        if (qstrcmp(context, "QPlatformTheme") != 0)
            return {};
        if (qstrcmp(sourceText, "OK") == 0)
            return QStringLiteral("ОК");
        if (qstrcmp(sourceText, "&OK") == 0)
            return QStringLiteral("&ОК");
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

bool InstallToolkitTranslations()
{
    QCoreApplication *app = QCoreApplication::instance();
    auto *catalogue = new QTranslator(app);
    if (!catalogue->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(catalogue)) {
        delete catalogue;
        return false;
    }
    // Installed last, so asked first.
    QCoreApplication::installTranslator(new OkInCyrillic(app));
    return true;
}
