#include "panel/Correction.h"

#include "exchange/Transfers.h"

const QStringList CorrectionEntryTexts{
    QStringLiteral("6   секунд"),
    QStringLiteral("12 секунд"),
    QStringLiteral("18 секунд"),
    QStringLiteral("24 секунды"),
    QStringLiteral("30 секунд"),
    QStringLiteral("40 секунд"),
    QStringLiteral("50 секунд"),
    QStringLiteral("1   минута"),
    QStringLiteral("1   минута  15  секунд"),
    QStringLiteral("1   минута  30  секунд"),
    QStringLiteral("2   минуты"),
    QStringLiteral("2   минуты  30  секунд"),
    QStringLiteral("3   минуты"),
};

std::optional<uint8_t> CorrectionFromEntry(const QString &text, bool clockSlow)
{
    const qsizetype index = CorrectionEntryTexts.indexOf(text);
    if (index < 0)
        return std::nullopt;
    return CorrectionByteFor(static_cast<int>(index), clockSlow);
}
