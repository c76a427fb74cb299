#include "panel/MemDump.h"

#include <QDir>
#include <QSaveFile>
#include <array>

MemDumpResult DumpMemory(const QString &path, const MemDumpSteps &steps)
{
    // Opened first, so that a folder that cannot take the file is known
    // before the long read, not after it.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return {MemDumpOutcome::WriteFailed, 0, file.errorString()};

    std::array<uint8_t, MemDumpBlockBytes> block{};
    for (int address = 0; address < MemorySize; address += MemDumpBlockBytes) {
        // Leaving without commit() removes the unfinished file.
        if (steps.goOn && !steps.goOn(address))
            return {MemDumpOutcome::Cancelled, address, {}};
        if (!steps.readBlock(address, MemDumpBlockBytes, block.data()))
            return {MemDumpOutcome::ReadFailed, address, {}};
        if (file.write(reinterpret_cast<const char *>(block.data()), MemDumpBlockBytes) != MemDumpBlockBytes)
            return {MemDumpOutcome::WriteFailed, address, file.errorString()};
    }
    if (!file.commit())
        return {MemDumpOutcome::WriteFailed, MemorySize, file.errorString()};
    return {};
}

QString MemDumpNote(const MemDumpResult &result, const QString &path)
{
    const QString name = QDir::toNativeSeparators(path);
    switch (result.outcome) {
    case MemDumpOutcome::Saved:
        return QStringLiteral("Память прибора сохранена в файл %1").arg(name);
    case MemDumpOutcome::Cancelled:
        return QStringLiteral("Сохранение памяти прервано. Файл %1 не изменен.").arg(name);
    case MemDumpOutcome::ReadFailed:
        return QStringLiteral("Память не сохранена: прибор не ответил на чтение с адреса %1. "
                              "Файл %2 не изменен.").arg(result.address).arg(name);
    case MemDumpOutcome::WriteFailed:
        break;
    }
    return QStringLiteral("Память не сохранена: файл %1 не записан (%2).").arg(name, result.error);
}
