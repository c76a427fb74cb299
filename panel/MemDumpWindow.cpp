#include "panel/MemDumpWindow.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "panel/MemDump.h"
#include "shell/FileChoice.h"
#include "shell/Message.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <algorithm>

namespace {

// The progress window stands near the panel's top, the exchange window
// below it, so that both stay in view.
constexpr int DumpExchangeTop = 360;
constexpr int ProgressTop = 150;
constexpr int ProgressWidth = 420;

bool ReadDumpBlock(int address, int count, uint8_t *out)
{
    if (!ReadMemory(address, count))
        return false;
    std::copy_n(TransferBuffer.begin(), count, out);
    return true;
}

} // namespace

void SaveMemoryDump(QWidget *parent, QLabel *note)
{
    const QString path = ChooseSaveFile(parent, {QStringLiteral("Сохранить память"),
                                                 QDir::current().absoluteFilePath(QStringLiteral("orbisk_memory.bin")),
                                                 QStringLiteral("Образ памяти (*.bin);;Все файлы (*)"),
                                                 QStringLiteral("bin")});
    if (path.isEmpty())
        return;

    QProgressDialog progress(QStringLiteral("Чтение памяти прибора ..."), QStringLiteral("Отмена"), 0, MemorySize,
                             parent);
    progress.setObjectName("MemDumpProgress");
    progress.setWindowTitle(QStringLiteral("Сохранить память"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.resize(ProgressWidth, progress.sizeHint().height());
    progress.move(parent->frameGeometry().topLeft() + QPoint(60, ProgressTop));
    progress.setValue(0);

    PlaceExchangeWindow(DumpExchangeTop);
    const bool watching = WatchMode;
    WatchMode = true;
    StopExch = false;
    MemDumpResult result = DumpMemory(path, {ReadDumpBlock, [&progress](int done) {
        progress.setValue(done);
        QCoreApplication::processEvents();
        return !progress.wasCanceled() && !StopExch;
    }});
    WatchMode = watching;
    progress.close();
    // The exchange window's exit ends the read in flight: the operator's cancel.
    if (result.outcome == MemDumpOutcome::ReadFailed && StopExch)
        result.outcome = MemDumpOutcome::Cancelled;

    const QString text = MemDumpNote(result, path);
    note->setText(text);
    // A failed read has had its box from the exchange already.
    if (result.outcome == MemDumpOutcome::WriteFailed)
        ShowError(text);
}
