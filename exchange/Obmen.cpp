#include "exchange/Obmen.h"

#include "exchange/ExchVars.h"
#include "exchange/Pace.h"
#include "exchange/Transfers.h"
#include "exchange/WireTrace.h"
#include "serial/PortLease.h"
#include "shell/Message.h"
#include "store/OrbADat.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

TObmenF *ObmenF = nullptr;

namespace {

QPointer<QWidget> ObmenWindowOwner;

const QString ReadMemoryLog = QStringLiteral("Считывание  памяти  прибора ... ");
const QString ReadClockLog = QStringLiteral("Считывание времени и даты из прибора ... ");
const QString WriteClockLog = QStringLiteral("Запись в микросхему  часов ... ");
const QString NoLinkText = QStringLiteral("Нет связи с прибором");
const QString SilenceLog = QStringLiteral("Прибор  не  отвечает");
const QString WrongEchoLog = QStringLiteral("Прибор  ответил  с  неверным  адресом");

constexpr uint8_t ClockReplyLength = 16;
constexpr uint8_t ClockRegisterCount = 10;
constexpr uint8_t CorrectionReplyLength = 7;
constexpr uint8_t CorrectionRegister = 24;
constexpr uint8_t ClearedRegisters = 32;
constexpr int ProgressSteps = 7;
constexpr int WriteAdvance = 4;   // write frames carry 8 bytes but advance by 4

QToolButton *MakeSpeedButton(QWidget *parent, const char *name, const QString &hint, QStyle::StandardPixmap icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setFixedSize(40, 40);
    return button;
}

} // namespace

TObmenF::TObmenF(QWidget *parent) : QDialog(parent)
{
    setObjectName("ObmenF");
    setWindowTitle(QStringLiteral("Обмен  с  прибором"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Progres = new QProgressBar(Panel1);
    Progres->setObjectName("Progres");
    Progres->setFixedWidth(481);
    Progres->setRange(0, 100);
    Progres->setValue(0);
    Progres->setTextVisible(false);
    auto *panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->addWidget(Progres);

    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameShape(QFrame::StyledPanel);
    Memo = new QPlainTextEdit(Panel2);
    Memo->setObjectName("Memo");
    Memo->setReadOnly(true);
    Key_Stop = MakeSpeedButton(Panel2, "Key_Stop", QStringLiteral("Остановить  обмен"), QStyle::SP_MediaStop);
    Key_Exit = MakeSpeedButton(Panel2, "Key_Exit", QStringLiteral("Выход"), QStyle::SP_DialogCloseButton);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(Key_Stop);
    buttons->addWidget(Key_Exit);
    buttons->addStretch();
    auto *panel2Layout = new QHBoxLayout(Panel2);
    panel2Layout->addWidget(Memo);
    panel2Layout->addLayout(buttons);

    Key_SaveLog = new QPushButton(QStringLiteral("Сохранить журнал"), this);
    Key_SaveLog->setObjectName("Key_SaveLog");
    Key_SaveLog->setAutoDefault(false);
    auto *traceRow = new QHBoxLayout;
    traceRow->addStretch();
    traceRow->addWidget(Key_SaveLog);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2);
    layout->addLayout(traceRow);
    resize(520, 270);

    TimerIO = new QTimer(this);
    TimerIO->setObjectName("TimerIO");
    TimerIO->setInterval(3000);
    TimerGuard = new QTimer(this);
    TimerGuard->setObjectName("TimerGuard");
    TimerGuard->setSingleShot(true);
    TimerGuard->setTimerType(Qt::PreciseTimer);   // never sooner than the guard
    TimerGuard->setInterval(FastExchangeGuardMs);

    Port = new TCommEr(this);
    Port->setObjectName("Port");
    PrepareInstrumentPort(Port, QStringLiteral("COM1"), DefaultReadIntervalMs);
    Port->OnReceiveData = [this](TCommEr *sender, const uint8_t *buffer, uint16_t length) {
        PortReceiveData(sender, buffer, length);
    };

    connect(TimerIO, &QTimer::timeout, this, &TObmenF::TimerIOTimer);
    connect(TimerGuard, &QTimer::timeout, this, [this] {
        if (Running)
            TransmitFrame();
    });
    connect(Key_SaveLog, &QPushButton::clicked, this, &TObmenF::Key_SaveLogClick);
    connect(Key_Stop, &QToolButton::clicked, this, &TObmenF::Key_StopClick);
    connect(Key_Exit, &QToolButton::clicked, this, &TObmenF::Key_ExitClick);
}

TObmenF *ObmenWindow()
{
    if (!ObmenF && ObmenWindowOwner) {
        ObmenF = new TObmenF(ObmenWindowOwner);
        QObject::connect(ObmenF, &QObject::destroyed, [made = ObmenF] {
            if (ObmenF == made)
                ObmenF = nullptr;
        });
    }
    return ObmenF;
}

void SetObmenWindowOwner(QWidget *owner)
{
    ObmenWindowOwner = owner;
}

void PrepareInstrumentPort(TCommEr *port, const QString &name, uint32_t readIntervalMs)
{
    port->SetCommName(name);
    port->SetBaudRate(19200);
    port->SetDtrControl(TDtrControl::DtrDisable);
    port->SetRtsControl(TRtsControl::RtsDisable);
    port->SetReadIntervalTimeout(readIntervalMs);
    port->SetReadTotalTimeoutMultiplier(0);
    port->SetReadTotalTimeoutConstant(0);
    port->SetWriteTotalTimeoutMultiplier(0);
    port->SetWriteTotalTimeoutConstant(0);
}

TObmenF::~TObmenF()
{
    Port->CloseComm();
}

void TObmenF::PlaceAt(int top, int left)
{
    if (left < 0) {
        const QWidget *anchor = parentWidget();
        left = anchor ? anchor->geometry().center().x() - width() / 2 : x();
    }
    move(left, top);
}

void TObmenF::SetReadIntervalTimeout(uint32_t ms)
{
    ReplyIntervalMs = ms;
    Port->SetReadIntervalTimeout(ms);
}

void TObmenF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The exchange starts once the modal loop runs, so that it can also end
    // (and close the window) at once.
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TObmenF::FormActivate, Qt::QueuedConnection);
}

void TObmenF::reject()
{
    // Closing the window any other way is the exit button.
    if (isVisible())
        Key_ExitClick();
}

void TObmenF::FormActivate()
{
    if (!isVisible() || Running)
        return;
    Key_Stop->setDown(false);
    Key_Exit->setDown(false);
    Memo->clear();

    const bool probe = PanelLinkTest || ServiceLinkTest;
    Panel1->setVisible(!probe || WatchMode);
    Key_Stop->setVisible(probe || WatchMode);

    try {
        OpenLink();
    } catch (const ECommsError &e) {
        QString text = e.Reason().isEmpty() ? e.Message() : e.Message() + QStringLiteral("\n\n") + e.Reason();
        if (const QString holder = PortHolder(PortName); !holder.isEmpty())
            text += QStringLiteral("\n\n") + holder;
        ShowError(text, e.Reason());
        // The exchange never started: the caller must not take it for done.
        StopExch = true;
        NoLink = true;
        done(QDialog::Rejected);
        return;
    }
    Running = true;
    ProbeAnswered = false;
    StartExchange();
}

void TObmenF::OpenLink()
{
    Port->SetCommName(PortName);
    Port->SetReadIntervalTimeout(ReplyIntervalFor(FastExchange, ReplyIntervalMs));
    try {
        Port->OpenComm();
    } catch (const ECommsError &e) {
        ExchangeTrace().Note(PortName + QStringLiteral(" cannot be opened: ") + e.Message().trimmed()
                             + (e.Reason().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(e.Reason())));
        throw;
    }
    AddLog(PortName + QStringLiteral("  - открыт"));
    NoLink = false;
}

void TObmenF::CloseLink()
{
    Port->CloseComm();
    AddLog(PortName + QStringLiteral("   - закрыт"));
}

void TObmenF::AddLog(const QString &line)
{
    Memo->appendPlainText(line);
    ExchangeTrace().Note(line);
}

void TObmenF::SetAddress(int32_t address)
{
    ExchAddress = address;
    ExchAddrLo = static_cast<uint8_t>(address & 0xFF);
    ExchAddrHi = static_cast<uint8_t>((address >> 8) & 0xFF);
}

void TObmenF::StartExchange()
{
    StartAddress = ExchAddress;
    EndAddress = ExchAddress + ExchCount;
    SetAddress(ExchAddress);
    TimerIO->setInterval(SilenceIntervalMs);

    if (!BuildFirstFrame()) {
        // No frame belongs to this mode: sending the previous exchange's
        // frame again could write the instrument's memory.
        EndSilently();
        NoLink = true;
        done(QDialog::Rejected);
        return;
    }
    SendNewFrame();
}

bool TObmenF::BuildFirstFrame()
{
    switch (ExchMode) {
    case ModeReadMemory:
    case ModeReadMemory2:
        TxFrame = MemoryReadFrame(ExchMode == ModeReadMemory ? CmdReadMemory : CmdReadMemory2,
                                  ExchAddrLo, ExchAddrHi, static_cast<uint8_t>(ExchCount & 0xFF));
        AddLog(ReadMemoryLog);
        if (ExchMode == ModeReadMemory) {
            ProgressStep = ProgressStep < ProgressSteps ? ProgressStep + 1 : 0;
            Progres->setValue(ProgressStep);
        }
        return true;
    case ModeReadClock:
        TxFrame = RegisterReadFrame(ExchAddrLo, ClockRegisterCount, ClockReplyLength);
        AddLog(ReadClockLog);
        return true;
    case ModeWriteMemory:
        TxFrame = WriteFrameAtOffset();
        return true;
    case ModeWriteClock:
        ClockByte1 = ClockImage[0];
        ClockByte2 = ClockImage[1];
        ExchAddress = ExchAddrLo;
        TxFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte2);
        AddLog(WriteClockLog);
        return true;
    case ModeWriteCorrection:
        SetAddress(CorrectionRegister);
        ClockByte1 = CorrectionByte;
        TxFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte1);
        AddLog(WriteClockLog);
        return true;
    case ModeReadCorrection:
        TxFrame = RegisterReadFrame(CorrectionRegister, 2, CorrectionReplyLength);
        AddLog(ReadClockLog);
        return true;
    case ModeClearRegisters:
        SetAddress(ClearedRegisters);
        ClockByte1 = 0;
        ClockByte2 = 0;
        TxFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte2);
        AddLog(WriteClockLog);
        return true;
    default:
        return false;
    }
}

RequestFrame TObmenF::WriteFrameAtOffset() const
{
    int n = std::clamp<int32_t>(WriteRemaining, 0, MaxWriteChunk);
    // Never read beyond the buffer, whatever the caller asked for.
    const int offset = std::clamp<int32_t>(WriteOffset, 0, TransferBufferSize);
    n = std::min(n, TransferBufferSize - offset);
    return MemoryWriteFrame(ExchAddrLo, ExchAddrHi, TransferBuffer.data() + offset, static_cast<uint8_t>(n));
}

void TObmenF::SendFrame()
{
    RxCount = 0;
    if (FastExchange && ReplyJustTaken)
        TimerGuard->start();
    else
        TransmitFrame();
}

void TObmenF::TransmitFrame()
{
    const bool queued = Port->SendData(TxFrame.bytes.data(), TxFrame.length);
    ExchangeTrace().Sent(TxFrame.bytes.data(), TxFrame.length, RetryCount, queued);
    TimerIO->start();
}

void TObmenF::SendNewFrame()
{
    RetryCount = 0;
    SendFrame();
    AwaitReply = true;
}

void TObmenF::PortReceiveData(TCommEr *, const uint8_t *Buffer, uint16_t BufferLength)
{
    for (uint16_t i = 0; i < BufferLength && Running; ++i) {
        RxBuffer[RxCount] = Buffer[i];
        ++RxCount;
        if (RxCount != TxFrame.replyLength)
            continue;

        TimerIO->stop();
        AwaitReply = false;
        ExchangeTrace().Reply(RxBuffer.data(), RxCount);
        ReplyJustTaken = true;
        CheckReply();
        // Bytes beyond the reply in this delivery count toward the next one.
        RxCount = 0;
        if (ReplyBad) {
            // A reply that answers another request is no answer: it counts
            // like a silent second, so a frame goes out at most three times.
            if (++RetryCount < MaxRetries) {
                SendFrame();
                AwaitReply = true;
            } else {
                LoseLink(WrongEchoLog);
            }
        } else if (ExchDone) {
            FinishExchange();
        }
        ReplyJustTaken = false;
    }
}

bool TObmenF::EchoMatches(bool wholeAddress) const
{
    // The echo is compared with the address the frame carried: an
    // ExchAddress past 16 bits was cut down to it when the frame was built.
    return RxBuffer[3] == TxFrame.bytes[3] && (!wholeAddress || RxBuffer[4] == TxFrame.bytes[4]);
}

void TObmenF::TakeReadData()
{
    // The copy is always 256 bytes, whatever was asked for: beyond the reply
    // lie the bytes of earlier replies.
    std::copy_n(RxBuffer.begin() + ReplyHeaderLength, 256, TransferBuffer.begin());
    for (int k = 0; k < TransferWordCount; ++k)
        TransferWords[k] = TransferBuffer[2 * k] + 256 * TransferBuffer[2 * k + 1];
}

void TObmenF::CheckReply()
{
    ReplyBad = false;
    ExchDone = false;
    if (PanelLinkTest || ServiceLinkTest) {
        ProbeAnswered = true;
        NextFrame();
        return;
    }
    switch (TxFrame.command()) {
    case CmdReadMemory:
    case CmdReadMemory2:
        if (EchoMatches(true)) {
            TakeReadData();
            ExchDone = true;
        } else {
            ReplyBad = true;
        }
        break;
    case CmdReadRegisters:
        if (EchoMatches(false)) {
            std::copy_n(RxBuffer.begin() + ReplyHeaderLength, 10, TransferBuffer.begin());
            ExchDone = true;
        } else {
            ReplyBad = true;
        }
        break;
    case CmdWriteMemory:
        if (!EchoMatches(true)) {
            ReplyBad = true;
        } else if (WriteRemaining <= MaxWriteChunk) {
            ExchDone = true;
        } else {
            WriteRemaining -= WriteAdvance;
            WriteOffset += WriteAdvance;
            SetAddress(ExchAddress + WriteAdvance);
            NextFrame();
        }
        break;
    case CmdWriteRegisters:
        // The reply repeats the request: a wrong address in it means the
        // instrument took another register, so it is no acknowledgement.
        if (EchoMatches(false))
            NextFrame();
        else
            ReplyBad = true;
        break;
    default:
        break;
    }
}

void TObmenF::RepeatProbe()
{
    if (StopExch) {
        ExchDone = true;
        return;
    }
    SendNewFrame();
}

void TObmenF::NextFrame()
{
    if (PanelLinkTest || ServiceLinkTest) {
        Beat(ProbeBeat::Answered);
        RepeatProbe();
        return;
    }

    if (TxFrame.command() == CmdWriteMemory) {
        TxFrame = WriteFrameAtOffset();
    } else if (TxFrame.command() == CmdWriteRegisters) {
        ExchAddress += 2;
        ExchAddrLo = static_cast<uint8_t>(ExchAddress & 0xFF);
        ExchAddrHi = 0;
        switch (ExchAddrLo) {
        case 27: ClockByte1 = ClockImage[2]; ClockByte2 = ClockImage[3]; break;
        case 29: ClockByte1 = ClockImage[4]; ClockByte2 = ClockImage[5]; break;
        case 31: ClockByte1 = ClockImage[6]; ClockByte2 = 0; break;
        default: break;
        }
        TxFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte2);
    }

    if (ExchCount != 0) {
        const int percent = static_cast<int>(int64_t(ExchAddress - StartAddress) * 100 / ExchCount);
        if (percent != LastPercent) {
            Progres->setValue(percent);
            LastPercent = percent;
        }
    }

    if (ExchAddress >= EndAddress) {
        ExchDone = true;
        return;
    }
    SendNewFrame();
}

void TObmenF::EndSilently()
{
    Running = false;
    TimerIO->stop();
    TimerGuard->stop();
    AwaitReply = false;
    CloseLink();
    // A link probe ends without a message; it found the link only when the
    // instrument answered at least once.
    if (PanelLinkTest || ServiceLinkTest)
        NoLink = !ProbeAnswered;
}

void TObmenF::FinishExchange()
{
    EndSilently();
    done(QDialog::Accepted);
}

void TObmenF::TimerIOTimer()
{
    TimerIO->stop();
    if (!AwaitReply || !Running)
        return;
    ExchangeTrace().Silence(RxBuffer.data(), RxCount, TxFrame.replyLength, TimerIO->interval());

    if (PanelLinkTest || ServiceLinkTest) {
        Beat(ProbeBeat::Silent);
        if (StopExch) {
            EndSilently();
            done(QDialog::Accepted);
        } else {
            SendNewFrame();
        }
        return;
    }

    if (++RetryCount < MaxRetries) {
        SendFrame();
        return;
    }
    LoseLink(SilenceLog);
}

void TObmenF::LoseLink(const QString &cause)
{
    AddLog(cause);
    EndSilently();
    ExchDone = true;
    NoLink = true;
    ShowMessage({MessageKind::Error, {}, NoLinkText, {}, QMessageBox::Ok | QMessageBox::Cancel});
    done(QDialog::Rejected);
}

void TObmenF::Beat(ProbeBeat beat)
{
    if (OnProbeBeat)
        OnProbeBeat(beat);
}

void TObmenF::Key_StopClick()
{
    StopExch = true;
}

void TObmenF::Key_ExitClick()
{
    if (Running)
        ExchangeTrace().Abandoned(RxBuffer.data(), RxCount, TxFrame.replyLength);
    StopExch = true;
    // Leaving ends the exchange at once. A transfer cut short is not a
    // success; for the link probes the exit is their normal end.
    EndSilently();
    if (!PanelLinkTest && !ServiceLinkTest)
        NoLink = true;
    done(QDialog::Rejected);
}

void TObmenF::Key_SaveLogClick()
{
    SaveTraceAs(this);
}
