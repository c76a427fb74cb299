#include "serial/CommEr.h"

#include "serial/CommThreads.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

constexpr auto WorkerStopLimit = std::chrono::seconds(10);

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

// Calls an event handler through a copy, so that the handler may replace
// itself.
template <typename Handler, typename... Args>
void Raise(const Handler &handler, Args... args)
{
    if (Handler copy = handler)
        copy(args...);
}

// Receives the workers' notifications on the thread that created the
// component and hands them to `handler`.
class TNotifyWindow : public QObject {
public:
    explicit TNotifyWindow(std::function<void(const TCommNotice &)> handler)
        : m_handler(std::move(handler))
    {
    }

    bool event(QEvent *e) override
    {
        HandOverAcquire(e);   // before the notice is read at all
        if (e->type() != TCommNotice::EventType())
            return QObject::event(e);
        m_handler(static_cast<const TCommNotice &>(*e));
        return true;
    }

private:
    std::function<void(const TCommNotice &)> m_handler;
};

} // namespace

ECommsError::ECommsError(const QString &message, const QString &reason)
    : std::runtime_error(message.toStdString()), m_reason(reason)
{
}

struct TCommEr::Impl {
    explicit Impl(TCommEr *component)
        : q(component), NotifyWindow([this](const TCommNotice &n) { HandleNotification(n); })
    {
    }

    void HandleNotification(const TCommNotice &n);
    void StartWorkers(const std::shared_ptr<TPortLink> &port);
    static void StopWorker(TWorkerThread &worker, const char *name);

    template <typename T>
    void SetLine(T TLineSettings::*field, T value)
    {
        if (line.*field == value)
            return;
        line.*field = value;
        if (link)
            ApplyLineSettings(link->Fd(), line);
    }

    void SetTimeout(uint32_t TCommTimeouts::*field, uint32_t value)
    {
        if (timeouts.*field == value)
            return;
        timeouts.*field = value;
        if (link)
            link->timeouts.Store(timeouts);
    }

    TCommEr *const q;
    QString commName = QStringLiteral("COM2");
    TLineSettings line;
    TCommTimeouts timeouts;
    std::shared_ptr<TPortLink> link;   // none while closed
    TWorkerThread ReadThread;
    TWorkerThread WriteThread;
    uint64_t openings = 0;
    uint64_t openGeneration = 0;       // of the open port; 0 while closed
    TNotifyWindow NotifyWindow;
};

void TCommEr::Impl::HandleNotification(const TCommNotice &n)
{
    if (n.Generation != openGeneration)
        return;   // posted before the port was closed
    switch (n.Kind) {
    case NotifyReceiveData:
        Raise(q->OnReceiveData, q, reinterpret_cast<const uint8_t *>(n.Block.constData()),
              uint16_t(n.Block.size()));
        break;
    case NotifyReceiveError: Raise(q->OnReceiveError, q, n.Value); break;
    case NotifyRequestHangup: Raise(q->OnRequestHangup, q); break;
    case NotifyModemState: Raise(q->OnModemStateChange, q, n.Value); break;
    case NotifySendEmpty: Raise(q->OnSendDataEmpty, q); break;
    }
}

// Thread priorities are left to the system: raising them needs privileges
// on POSIX, and the receive worker's poll() wakes as soon as bytes arrive.
void TCommEr::Impl::StartWorkers(const std::shared_ptr<TPortLink> &port)
{
    try {
        ReadThread.Start([port] { TReadThread(port).Execute(); });
    } catch (const std::system_error &e) {
        throw ECommsError(QStringLiteral("Unable to create read thread"), QString::fromLocal8Bit(e.what()));
    }
    try {
        WriteThread.Start([port] { TWriteThread(port).Execute(); });
    } catch (const std::system_error &e) {
        port->notify.Detach();
        port->closeEvent.Set();
        StopWorker(ReadThread, "receive");
        throw ECommsError(QStringLiteral("Unable to create write thread"), QString::fromLocal8Bit(e.what()));
    }
}

void TCommEr::Impl::StopWorker(TWorkerThread &worker, const char *name)
{
    if (!worker.Stop(WorkerStopLimit))
        qWarning("Serial port: the %s worker did not end within 10 s and was left running", name);
}

TCommEr::TCommEr(QObject *owner) : QObject(owner), d(new Impl(this))
{
}

// Closing here is a safety net: an open port left to the destructor would
// otherwise stay locked, with its workers running, until the program ends.
TCommEr::~TCommEr()
{
    CloseComm();
    delete d;
}

void TCommEr::OpenComm()
{
    if (d->link)
        throw ECommsError(QStringLiteral("This serial port already opened"));

    std::unique_ptr<TPortFile> port = TPortFile::Open(DevicePath(d->commName));
    // Setting the driver's queue sizes has no POSIX equivalent: the kernel
    // sizes its terminal buffers itself. "Cannot setup comm buffer" is
    // therefore never raised.
    tcflush(port->Fd(), TCIOFLUSH);

    auto link = std::make_shared<TPortLink>(std::move(port), &d->NotifyWindow, ++d->openings);
    if (!link->closeEvent.Valid() || !link->sendQueue.Valid())
        throw ECommsError(QStringLiteral("Unable to create event"), SystemReason(errno));
    link->timeouts.Store(d->timeouts);
    ApplyLineSettings(link->Fd(), d->line);

    d->StartWorkers(link);
    d->link = std::move(link);
    d->openGeneration = d->openings;
}

void TCommEr::CloseComm()
{
    if (!d->link)
        return;
    TPortLink &link = *d->link;
    d->openGeneration = 0;   // whatever is still on its way is dropped
    link.notify.Detach();
    link.closeEvent.Set();

    tcflush(link.Fd(), TCIFLUSH);
    Impl::StopWorker(d->ReadThread, "receive");
    tcflush(link.Fd(), TCOFLUSH);
    link.sendQueue.Close();
    Impl::StopWorker(d->WriteThread, "transmit");

    // Closes the port and the events, unless a worker left running still
    // holds them; then they close when it ends.
    d->link.reset();
}

bool TCommEr::SendData(const void *data, uint16_t count)
{
    if (!d->link || !data || count == 0)
        return false;
    return d->link->sendQueue.Push(QByteArray(static_cast<const char *>(data), count));
}

bool TCommEr::IsOpen() const
{
    return d->link != nullptr;
}

bool TCommEr::SendIdle() const
{
    return !d->link || d->link->sendQueue.Idle();
}

QString TCommEr::DevicePath(const QString &commName)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(commName);
    if (!match.hasMatch())
        return commName;
    const QFileInfo local(QDir::current(), commName);
    if (local.exists() || local.isSymLink())
        return local.absoluteFilePath();
    return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
}

QString TCommEr::CommName() const { return d->commName; }
void TCommEr::SetCommName(const QString &v) { d->commName = v; }   // used at the next opening
uint32_t TCommEr::BaudRate() const { return d->line.BaudRate; }
void TCommEr::SetBaudRate(uint32_t v) { d->SetLine(&TLineSettings::BaudRate, v); }
bool TCommEr::ParityCheck() const { return d->line.ParityCheck; }
void TCommEr::SetParityCheck(bool v) { d->SetLine(&TLineSettings::ParityCheck, v); }
bool TCommEr::Outx_CtsFlow() const { return d->line.Outx_CtsFlow; }
void TCommEr::SetOutx_CtsFlow(bool v) { d->SetLine(&TLineSettings::Outx_CtsFlow, v); }
bool TCommEr::Outx_DsrFlow() const { return d->line.Outx_DsrFlow; }
void TCommEr::SetOutx_DsrFlow(bool v) { d->SetLine(&TLineSettings::Outx_DsrFlow, v); }
TDtrControl TCommEr::DtrControl() const { return d->line.DtrControl; }
void TCommEr::SetDtrControl(TDtrControl v) { d->SetLine(&TLineSettings::DtrControl, v); }
bool TCommEr::DsrSensitivity() const { return d->line.DsrSensitivity; }
void TCommEr::SetDsrSensitivity(bool v) { d->SetLine(&TLineSettings::DsrSensitivity, v); }
bool TCommEr::TxContinueOnXoff() const { return d->line.TxContinueOnXoff; }
void TCommEr::SetTxContinueOnXoff(bool v) { d->SetLine(&TLineSettings::TxContinueOnXoff, v); }
bool TCommEr::Outx_XonXoffFlow() const { return d->line.Outx_XonXoffFlow; }
void TCommEr::SetOutx_XonXoffFlow(bool v) { d->SetLine(&TLineSettings::Outx_XonXoffFlow, v); }
bool TCommEr::Inx_XonXoffFlow() const { return d->line.Inx_XonXoffFlow; }
void TCommEr::SetInx_XonXoffFlow(bool v) { d->SetLine(&TLineSettings::Inx_XonXoffFlow, v); }
bool TCommEr::ReplaceWhenParityError() const { return d->line.ReplaceWhenParityError; }
void TCommEr::SetReplaceWhenParityError(bool v) { d->SetLine(&TLineSettings::ReplaceWhenParityError, v); }
bool TCommEr::IgnoreNullChar() const { return d->line.IgnoreNullChar; }
void TCommEr::SetIgnoreNullChar(bool v) { d->SetLine(&TLineSettings::IgnoreNullChar, v); }
TRtsControl TCommEr::RtsControl() const { return d->line.RtsControl; }
void TCommEr::SetRtsControl(TRtsControl v) { d->SetLine(&TLineSettings::RtsControl, v); }
uint16_t TCommEr::XonLimit() const { return d->line.XonLimit; }
void TCommEr::SetXonLimit(uint16_t v) { d->SetLine(&TLineSettings::XonLimit, v); }
uint16_t TCommEr::XoffLimit() const { return d->line.XoffLimit; }
void TCommEr::SetXoffLimit(uint16_t v) { d->SetLine(&TLineSettings::XoffLimit, v); }
TByteSize TCommEr::ByteSize() const { return d->line.ByteSize; }
void TCommEr::SetByteSize(TByteSize v) { d->SetLine(&TLineSettings::ByteSize, v); }
TParity TCommEr::Parity() const { return d->line.Parity; }
// Stored only: the port takes it at the next opening, or with the next
// change of another line setting.
void TCommEr::SetParity(TParity v) { d->line.Parity = v; }
TStopBits TCommEr::StopBits() const { return d->line.StopBits; }
void TCommEr::SetStopBits(TStopBits v) { d->SetLine(&TLineSettings::StopBits, v); }
char TCommEr::XonChar() const { return d->line.XonChar; }
void TCommEr::SetXonChar(char v) { d->SetLine(&TLineSettings::XonChar, v); }
char TCommEr::XoffChar() const { return d->line.XoffChar; }
void TCommEr::SetXoffChar(char v) { d->SetLine(&TLineSettings::XoffChar, v); }
char TCommEr::ReplacedChar() const { return d->line.ReplacedChar; }
void TCommEr::SetReplacedChar(char v) { d->SetLine(&TLineSettings::ReplacedChar, v); }

uint32_t TCommEr::ReadIntervalTimeout() const { return d->timeouts.ReadIntervalTimeout; }
void TCommEr::SetReadIntervalTimeout(uint32_t v) { d->SetTimeout(&TCommTimeouts::ReadIntervalTimeout, v); }
uint32_t TCommEr::ReadTotalTimeoutMultiplier() const { return d->timeouts.ReadTotalTimeoutMultiplier; }
void TCommEr::SetReadTotalTimeoutMultiplier(uint32_t v) { d->SetTimeout(&TCommTimeouts::ReadTotalTimeoutMultiplier, v); }
uint32_t TCommEr::ReadTotalTimeoutConstant() const { return d->timeouts.ReadTotalTimeoutConstant; }
void TCommEr::SetReadTotalTimeoutConstant(uint32_t v) { d->SetTimeout(&TCommTimeouts::ReadTotalTimeoutConstant, v); }
uint32_t TCommEr::WriteTotalTimeoutMultiplier() const { return d->timeouts.WriteTotalTimeoutMultiplier; }
void TCommEr::SetWriteTotalTimeoutMultiplier(uint32_t v) { d->SetTimeout(&TCommTimeouts::WriteTotalTimeoutMultiplier, v); }
uint32_t TCommEr::WriteTotalTimeoutConstant() const { return d->timeouts.WriteTotalTimeoutConstant; }
void TCommEr::SetWriteTotalTimeoutConstant(uint32_t v) { d->SetTimeout(&TCommTimeouts::WriteTotalTimeoutConstant, v); }
