#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Pace.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "shell/Message.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

ExchangeRig::ExchangeRig(const RigSetup &setup) : fast(setup.fast)
{
    ResetExchangeVariables();
    if (setup.fast)
        FastExchange = true;
    PortNumber = setup.port.mid(3).toInt();
    PortName = setup.port;
    Report(SaveConfig());   // so that windows loading the configuration find one

    VirtualInstrument::Setup instrumentSetup{.port = setup.port, .flags = setup.flags, .paced = setup.paced};
    if (!setup.memory.isEmpty()) {
        instrumentSetup.memoryFile = dir.file(QStringLiteral("instrument.mem"));
        WriteWholeFile(instrumentSetup.memoryFile, setup.memory);
    }
    if (setup.keepRegisters)
        instrumentSetup.registersFile = dir.file(QStringLiteral("instrument.reg"));
    instrument = std::make_unique<VirtualInstrument>(dir.path(), instrumentSetup);

    window = std::make_unique<TObmenF>();
    window->SetReadIntervalTimeout(setup.readIntervalMs);
    ObmenF = window.get();
}

ExchangeRig::~ExchangeRig()
{
    ObmenF = nullptr;
    if (fast)
        FastExchange = false;
    window.reset();
    instrument.reset();
}

void WhenReceived(const ExchangeRig &rig, int frames, std::function<void()> action)
{
    auto *poll = new QTimer(rig.window.get());
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, &rig, frames, action] {
        if (!rig.window->isVisible() || static_cast<int>(rig.frames().size()) < frames)
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start();
}

void RunEventsFor(int msecs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < msecs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QByteArray MemoryWith(int address, const QByteArray &bytes)
{
    QByteArray memory(65536, '\0');
    memory.replace(address, bytes.size(), bytes);
    return memory;
}

QByteArray PatternMemory()
{
    QByteArray memory(65536, '\0');
    for (int i = 0; i < memory.size(); ++i)
        memory[i] = static_cast<char>((i * 31 + (i >> 8) * 7 + 1) & 0xFF);
    return memory;
}

QByteArray Hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray WriteFrame(int address, const QByteArray &data)
{
    return QByteArray(1, '\x3A') + char(data.size() + 6) + '\x05' + char(address & 0xFF) + char(address >> 8)
           + char(data.size()) + data;
}

std::vector<QByteArray> WriteFrames(int address, const QByteArray &data)
{
    std::vector<QByteArray> frames;
    for (int offset = 0;; offset += 4) {
        const int left = data.size() - offset;
        frames.push_back(WriteFrame(address + offset, data.mid(offset, std::min(left, 8))));
        if (left <= 8)
            return frames;
    }
}

QByteArray Buffer(int from, int count)
{
    return QByteArray(reinterpret_cast<const char *>(TransferBuffer.data()) + from, count);
}

void FillBuffer(const QByteArray &bytes)
{
    std::copy(bytes.begin(), bytes.end(), TransferBuffer.begin());
}

QByteArray RegisterFrame(int address, int data1, int data2)
{
    QByteArray frame = Hex("3A 09 07") + char(address) + Hex("00 02") + char(data1) + char(data2);
    int sum = 0;
    for (int i = 1; i < frame.size(); ++i)
        sum += static_cast<uint8_t>(frame[i]);
    return frame + char(sum & 0xFF);
}
