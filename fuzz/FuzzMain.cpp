// One fuzz target; ORBA_FUZZ_TARGET names its body (fuzz/FuzzBodies.h).
// The process works in a scratch directory of its own and answers every
// message box with OK.

#include "fuzz/FuzzBodies.h"
#include "shell/Message.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept to the end of the process: the exchange target's window outlives
    // every input. The scratch directory goes when the process ends.
    static QApplication *app = new QApplication(*argc, *argv);
    static QTemporaryDir scratch;
    Q_UNUSED(app);
    QDir::setCurrent(scratch.path());
    SetMessageHandler([](const MessageRequest &) { return QMessageBox::Ok; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const FuzzBody body = FindFuzzBody(ORBA_FUZZ_TARGET);
    body({data, size});
    return 0;
}
