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

const QString NoLinkText = QStringLiteral("Нет связи с прибором");

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

    TimerIO->setSingleShot(true);
    Clock.start();
    ExchangeLine line;
    line.nowMs = [this] { return Clock.elapsed(); };
    line.send = [this](const uint8_t *bytes, int length) { return Port->SendData(bytes, length); };
    line.startTimer = [this](ExchangeTimer timer, int ms) {
        QTimer *which = timer == ExchangeTimer::Silence ? TimerIO : TimerGuard;
        which->start(ms);
    };
    line.stopTimer = [this](ExchangeTimer timer) { (timer == ExchangeTimer::Silence ? TimerIO : TimerGuard)->stop(); };
    ExchangeReport report;
    report.log = [this](const QString &text) { AddLog(text); };
    report.progress = [this](int value) { Progres->setValue(value); };
    report.beat = [this](ProbeBeat beat) { Beat(beat); };
    report.ended = [this](ExchangeEnd end, const QString &cause) { Ended(end, cause); };
    Engine = std::make_unique<ExchangeEngine>(std::move(line), std::move(report), &ExchangeTrace());

    connect(TimerIO, &QTimer::timeout, this, &TObmenF::TimerIOTimer);
    connect(TimerGuard, &QTimer::timeout, this, [this] { Engine->TimerElapsed(ExchangeTimer::Guard); });
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
    if (!isVisible() || Engine->Running())
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
    Engine->Start();
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

void TObmenF::EndSilently()
{
    Engine->Halt();
    CloseLink();
    // A link probe ends without a message; it found the link only when the
    // instrument answered at least once.
    if (PanelLinkTest || ServiceLinkTest)
        NoLink = !Engine->ProbeAnswered();
}

void TObmenF::Ended(ExchangeEnd end, const QString &cause)
{
    switch (end) {
    case ExchangeEnd::Done:
        EndSilently();
        done(QDialog::Accepted);
        break;
    case ExchangeEnd::LinkLost:
        AddLog(cause);
        EndSilently();
        ExchDone = true;
        NoLink = true;
        ShowMessage({MessageKind::Error, {}, NoLinkText, {}, QMessageBox::Ok | QMessageBox::Cancel});
        done(QDialog::Rejected);
        break;
    case ExchangeEnd::NoFrame:
        EndSilently();
        NoLink = true;
        done(QDialog::Rejected);
        break;
    }
}

void TObmenF::PortReceiveData(TCommEr *, const uint8_t *Buffer, uint16_t BufferLength)
{
    Engine->Receive(Buffer, BufferLength);
}

void TObmenF::TimerIOTimer()
{
    Engine->TimerElapsed(ExchangeTimer::Silence);
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
    Engine->Abandon();
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
