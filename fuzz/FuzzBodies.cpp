#include "fuzz/FuzzBodies.h"

#include "exchange/ExchVars.h"
#include "exchange/Obmen.h"
#include "panel/Clock.h"
#include "sensor/SensorBase.h"
#include "shell/Message.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "store/ResultRecord.h"
#include "tests/support/Pty.h"
#include "vinst/Frame.h"
#include "vinst/Responder.h"
#include "volume/BreathRecord.h"

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A wrong outcome is a finding like a crash: the fuzzer keeps the input.
void Require(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Reads the input front to back; past its end every read gives 0.
class Input {
public:
    explicit Input(std::span<const uint8_t> data) : m_data(data) {}

    bool Empty() const { return m_data.empty(); }
    uint8_t Byte()
    {
        if (m_data.empty())
            return 0;
        const uint8_t b = m_data.front();
        m_data = m_data.subspan(1);
        return b;
    }
    int Word() { return Byte() << 8 | Byte(); }
    int Int32() { return static_cast<int>(uint32_t(Word()) << 16 | uint32_t(Word())); }
    // The next `wanted` bytes, or as many as are left.
    std::span<const uint8_t> Take(size_t wanted)
    {
        const auto piece = m_data.first(std::min(wanted, m_data.size()));
        m_data = m_data.subspan(piece.size());
        return piece;
    }
    // The next piece: a length byte (0 means the rest) and that many bytes.
    std::span<const uint8_t> Piece()
    {
        const size_t wanted = Byte();
        return Take(wanted == 0 ? m_data.size() : wanted);
    }
    std::span<const uint8_t> Rest()
    {
        const auto rest = m_data;
        m_data = {};
        return rest;
    }

private:
    std::span<const uint8_t> m_data;
};

QByteArray Bytes(std::span<const uint8_t> data)
{
    return QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()));
}

void WriteFileBytes(const char *fileName, std::span<const uint8_t> data)
{
    QFile file(QString::fromLatin1(fileName));
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(Bytes(data)) == qint64(data.size()),
            "scratch file written");
}

QByteArray FileBytes(const char *fileName)
{
    QFile file(QString::fromLatin1(fileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whatever a file holds, loading it and saving the data model gives a file
// that loads back to the same data model, and so saves to the same bytes.
// `check` looks at the data model after the first load.
void LoadSaveLoad(const char *fileName, FileOutcome (*load)(), FileOutcome (*save)(), std::span<const uint8_t> data,
                  void (*check)() = [] {})
{
    ResetDataModel();
    WriteFileBytes(fileName, data);
    Report(load());
    check();
    Require(Report(save()), "save after a load");
    const QByteArray saved = FileBytes(fileName);
    ResetDataModel();
    Require(Report(load()), "load of a saved file");
    Require(Report(save()), "second save");
    Require(FileBytes(fileName) == saved, "a saved file loads back to what was saved");
}

} // namespace

void FuzzConfigFile(std::span<const uint8_t> data)
{
    LoadSaveLoad(ConfigFileName, LoadConfig, [] { return SaveConfig(); }, data);
}

void FuzzListFile(std::span<const uint8_t> data)
{
    LoadSaveLoad(ListFileName, LoadLists, SaveLists, data);
}

void FuzzResultsFile(std::span<const uint8_t> data)
{
    LoadSaveLoad(ResultsFileName, LoadResults, SaveResults, data, [] {
        Require(ResultCount >= 0 && ResultCount <= ResultSlots, "result count within the slots");
    });
}

// The record index, the typed mixture values and then the file F_00.dat.
void FuzzSensorFile(std::span<const uint8_t> data)
{
    Input in(data);
    ResetDataModel();
    ResetSensorBase();
    const int number = in.Byte() % SensorRecordsPerFile;
    MixtureArray typed;
    for (int &value : typed)
        value = in.Int32();
    WriteFileBytes("F_00.dat", in.Rest());

    SensorNumber = number;
    if (!LoadSensorBase(number)) {
        Require(!StoreSensorBase(number), "a file not read whole is never replaced");
        return;
    }
    UnpackSensorRecord();
    MixtureValues = typed;
    if (StoreSensorRecord()) {
        const QByteArray stored = SensorBaseImage;
        Require(LoadSensorBase(number) && SensorBaseImage == stored, "a stored file loads back");
    }
}

// The PC year, the result count and then the records of the results memory.
void FuzzRecordDecoding(std::span<const uint8_t> data)
{
    Input in(data);
    ResetDataModel();
    FixPcNow(QDateTime(QDate(2016 + in.Byte() % 24, 1 + in.Byte() % 12, 1), QTime(12, 0)));
    ResultCount = in.Word();
    const auto records = in.Rest();
    const int filled = int(std::min<size_t>(records.size() / 6, ResultSlots));
    for (int slot = 0; slot < filled; ++slot)
        std::copy_n(records.begin() + 6 * slot, 6, Results[slot].bytes.begin());

    TodayDateCode();
    ScanResults();
    Require(ResultCount <= ResultSlots, "the scan keeps the count within the slots");
    StatEntry entry;
    for (int slot = -1; slot <= std::min(filled, ResultSlots); ++slot) {
        DecodeForView(slot);
        if (slot >= 0 && slot < ResultSlots) {
            DecodeForStat(slot, entry);
            const ResultRecord before = Results[slot];
            RecordYear(Results[slot]);
            IsStale(Results[slot].DateCode(), TodayDateCode());
            Require(Results[slot] == before, "decoding leaves the stored bytes as they are");
        }
    }
    FixPcNow({});
}

namespace {

// The exchange window on a pseudo-terminal that never answers: the replies
// come from the input instead.
struct ExchangeStage {
    ExchangeStage() : line(QStringLiteral("COM1"))
    {
        // Held open, so that the line never hangs up between exchanges.
        slave = ::open(line.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::fcntl(line.master(), F_SETFL, O_NONBLOCK);
        window = std::make_unique<TObmenF>();
        window->SetReadIntervalTimeout(1);
    }
    ~ExchangeStage() { ::close(slave); }

    // What the window sent since the last call; taking it keeps the line
    // from filling up.
    QByteArray Drain()
    {
        QByteArray sent;
        char chunk[512];
        ssize_t got = 0;
        while ((got = ::read(line.master(), chunk, sizeof chunk)) > 0)
            sent.append(chunk, got);
        return sent;
    }

    PseudoTerminal line;
    int slave = -1;
    std::unique_ptr<TObmenF> window;
};

constexpr std::array<int32_t, 8> ExchangeModes = {ModeReadMemory,      ModeReadClock,       ModeReadMemory2,
                                                  ModeWriteMemory,     ModeWriteClock,      ModeWriteCorrection,
                                                  ModeReadCorrection,  ModeClearRegisters};

// The reply a read must be taken from, worked out from the request alone:
// its length byte, command, echo and the count of data bytes it carries.
struct ExpectedReply {
    int length = 0;
    uint8_t command = 0;
    int32_t echo = 0;
    int echoBytes = 0;   // 2: the whole address; 1: its low byte
    int dataBytes = 0;
};

std::optional<ExpectedReply> ReplyOfRead(int32_t mode, int32_t address, int32_t count)
{
    switch (mode) {
    case ModeReadMemory:
    case ModeReadMemory2: {
        const int n = count & 0xFF;
        // A reply of 250 bytes and more has a length byte that wrapped: its
        // framing says nothing.
        if (n + 6 > 0xFF)
            return std::nullopt;
        return ExpectedReply{n + 6, uint8_t(mode == ModeReadMemory ? 1 : 2), address, 2, n};
    }
    case ModeReadClock: return ExpectedReply{16, 3, address, 1, 10};
    case ModeReadCorrection: return ExpectedReply{7, 3, 24, 1, 1};   // the correction register
    default: return std::nullopt;
    }
}

// Whether `line` holds a well-framed reply whose data are what TransferBuffer
// starts with.
bool HoldsReplyInBuffer(const QByteArray &line, const ExpectedReply &reply)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(line.constData());
    const uint8_t echo[2] = {uint8_t(reply.echo & 0xFF), uint8_t((reply.echo >> 8) & 0xFF)};
    for (qsizetype at = 0; at + reply.length <= line.size(); ++at) {
        const uint8_t *r = bytes + at;
        if (r[0] != ':' || r[1] != reply.length || r[2] != reply.command || r[3] != echo[0]
            || (reply.echoBytes == 2 && r[4] != echo[1]))
            continue;
        if (std::equal(r + 6, r + 6 + reply.dataBytes, TransferBuffer.begin()))
            return true;
    }
    return false;
}

constexpr int MostSendingsOfARequest = 3;

// How often the most repeated request went out, the requests cut from the
// bytes sent by their length byte.
int MostSendings(const QByteArray &sent)
{
    std::map<QByteArray, int> sendings;
    int most = 0;
    for (qsizetype at = 0; at < sent.size();) {
        const int length = std::max(1, int(uint8_t(sent[at + 1 < sent.size() ? at + 1 : at])));
        most = std::max(most, ++sendings[sent.mid(at, length)]);
        at += length;
    }
    return most;
}

} // namespace

// The mode, address and count of a transfer, then the bytes of the line in
// pieces as they arrive. A read taken as done had a well-framed reply with
// the right echo and holds its data; a transfer that failed left the buffer
// as it was; no request went out more than three times.
void FuzzExchangeReplies(std::span<const uint8_t> data)
{
    // Kept to the end of the process: a window must not outlive the
    // application object, which goes before the statics do.
    static ExchangeStage &stage = *new ExchangeStage;
    Input in(data);
    ResetExchangeVariables();
    const uint8_t kind = in.Byte();
    ExchMode = ExchangeModes[kind % ExchangeModes.size()];
    PanelLinkTest = kind & 0x80;
    ExchAddress = in.Word();
    ExchCount = in.Word() % (TransferBufferSize + 1);
    WriteOffset = 0;
    WriteRemaining = ExchCount;
    PortName = QStringLiteral("COM1");

    for (std::size_t k = 0; k < TransferBuffer.size(); ++k)
        TransferBuffer[k] = uint8_t(k * 7 + 3);
    const auto marked = TransferBuffer;
    const int32_t mode = ExchMode, address = ExchAddress, count = ExchCount;
    const bool probe = PanelLinkTest;

    stage.window->show();
    QCoreApplication::processEvents();
    QByteArray line;
    while (!in.Empty() && stage.window->isVisible()) {
        const auto piece = in.Piece();
        line += Bytes(piece);
        stage.window->PortReceiveData(nullptr, piece.data(), uint16_t(piece.size()));
    }
    const bool endedItself = !stage.window->isVisible();
    if (!endedItself) {
        // What the window queued goes out before the operator leaves, so that
        // the line shows every request it sent.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (stage.window->Port->IsOpen() && !stage.window->Port->SendIdle()
               && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        stage.window->Key_ExitClick();
    }
    QCoreApplication::processEvents();
    const QByteArray sent = stage.Drain();
    Require(!stage.window->isVisible() && !AwaitReply, "the exchange has ended");
    if (probe)
        return;   // the link probe repeats its one request by design
    Require(MostSendings(sent) <= MostSendingsOfARequest, "no request goes out more than three times");
    if (NoLink) {
        Require(TransferBuffer == marked, "a failed transfer leaves the buffer as it was");
        return;
    }
    Require(endedItself, "only an exchange that ended by itself is done");
    if (const auto reply = ReplyOfRead(mode, address, count))
        Require(HoldsReplyInBuffer(line, *reply), "a read is done only with a well-framed reply");
}

// Bytes from the line in pieces, each after its length byte; a length byte
// 0 is a silent interval instead.
void FuzzBreathPolling(std::span<const uint8_t> data)
{
    Input in(data);
    BreathPoller poller;
    BreathRecorder recorder;
    const int scale = MinPressureScale + in.Byte() % MaxPressureScale;
    std::vector<PollEvent> events = poller.Start();
    while (!in.Empty() && poller.Polling()) {
        const uint8_t length = in.Byte();
        const auto piece = in.Take(length);
        events = length == 0 ? poller.Silence() : poller.Receive(piece.data(), piece.size());
        for (const PollEvent &event : events) {
            if (event.kind == PollEvent::Sample) {
                recorder.Show(event.reading);
                recorder.Record(scale);
                Require(recorder.NextSlot >= 0 && recorder.NextSlot <= BreathSlots, "slot within the breath");
            }
        }
        Require(poller.Frame().length <= poller.Frame().bytes.size(), "frame within its buffer");
    }
}

// Six fields of text separated by line breaks, as typed into the clock page;
// each one is also read as a typed number.
void FuzzTypedEntries(std::span<const uint8_t> data)
{
    const QStringList parts = QString::fromUtf8(Bytes(data)).split(QLatin1Char('\n'));
    std::array<QString, ClockFieldCount> fields;
    for (int k = 0; k < ClockFieldCount && k < parts.size(); ++k)
        fields[k] = parts[k];
    for (const QString &part : parts) {
        const int value = TypedNumber(part);
        Require(TypedNumber(QString::number(value)) == value, "a number reads back as itself");
    }

    QString error;
    int badField = -1;
    const auto clock = ParseEnteredClock(fields, error, badField);
    if (!clock) {
        Require(!error.isEmpty() && badField >= 0 && badField < ClockFieldCount, "a refusal names its field");
        return;
    }
    Require(clock->hour >= 0 && clock->hour <= 23 && clock->minute >= 0 && clock->minute <= 59
                && clock->second >= 0 && clock->second <= 59 && clock->day >= 1 && clock->day <= 31
                && clock->month >= 1 && clock->month <= 12 && clock->year >= 0 && clock->year <= 99,
            "an accepted clock is within its ranges");
}

// A byte stream fed whole and fed in pieces (their sizes drawn from the first
// byte): the same frames come out either way, every frame is well formed,
// and every byte comes back once, in a frame or passed over.
void FuzzInstrumentRequests(std::span<const uint8_t> data)
{
    using vinst::FrameReader;
    Input in(data);
    unsigned cuts = in.Byte();
    const auto stream = in.Rest();

    const auto collect = [](FrameReader &reader, std::span<const uint8_t> bytes, std::vector<vinst::Bytes> &frames,
                            vinst::Bytes &seen) {
        auto pieces = reader.feed(bytes);
        if (bytes.empty())
            pieces = reader.dropPartial();
        for (const auto &p : pieces) {
            seen.insert(seen.end(), p.bytes.begin(), p.bytes.end());
            if (p.kind != FrameReader::Piece::Frame)
                continue;
            Require(vinst::IsWellFormedRequest(p.bytes), "a frame is well formed");
            Require(vinst::ParseRequest(p.bytes).data.size() <= vinst::MaxWriteBytes, "request data within a write");
            frames.push_back(p.bytes);
        }
    };

    std::array<FrameReader, 2> readers;
    std::array<std::vector<vinst::Bytes>, 2> frames;
    std::array<vinst::Bytes, 2> seen;
    collect(readers[0], stream, frames[0], seen[0]);
    for (size_t at = 0; at < stream.size();) {
        cuts = cuts * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(1 + (cuts >> 16) % 16, stream.size() - at);
        collect(readers[1], stream.subspan(at, n), frames[1], seen[1]);
        at += n;
    }
    for (int k = 0; k < 2; ++k) {
        collect(readers[k], {}, frames[k], seen[k]);
        Require(seen[k] == vinst::Bytes(stream.begin(), stream.end()), "every byte comes back once");
    }
    Require(frames[0] == frames[1], "the frames do not depend on the cuts");

    // And the instrument answers whatever the frames ask of it.
    vinst::Instrument instrument(vinst::Memory(), [] { return std::int64_t(0); });
    vinst::Responder responder(instrument, {});
    responder.feed(stream);
    responder.dropPartial();
    Require(responder.requests() == int(frames[0].size()), "every frame is a request");
}

std::span<const FuzzTarget> FuzzTargets()
{
    static const FuzzTarget targets[] = {
        {"config_file", FuzzConfigFile},
        {"list_file", FuzzListFile},
        {"results_file", FuzzResultsFile},
        {"sensor_file", FuzzSensorFile},
        {"record_decoding", FuzzRecordDecoding},
        {"exchange_replies", FuzzExchangeReplies},
        {"breath_polling", FuzzBreathPolling},
        {"typed_entries", FuzzTypedEntries},
        {"instrument_requests", FuzzInstrumentRequests},
    };
    return targets;
}

FuzzBody FindFuzzBody(const char *name)
{
    for (const FuzzTarget &target : FuzzTargets()) {
        if (std::strcmp(target.name, name) == 0)
            return target.body;
    }
    return nullptr;
}
