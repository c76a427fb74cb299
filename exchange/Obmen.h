#pragma once
// The exchange window: the one path by which the program talks to the
// instrument. A caller fills the request variables (exchange/ExchVars.h),
// shows this window modally and reads NoLink when it has closed itself; the
// functions of exchange/Transfers.h wrap that shape once per transfer.
//
// The window opens the port and runs the exchange engine (exchange/Engine.h)
// on it: the engine frames, sends, checks, continues and resends; the window
// shows its progress and log, and when the engine gives up shows
// "Нет связи с прибором"; then it closes the port and itself.

#include "exchange/Engine.h"
#include "exchange/Transfers.h"
#include "serial/CommEr.h"

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <memory>

class QFrame;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QShowEvent;
class QTimer;
class QToolButton;

class TObmenF : public QDialog {
    Q_OBJECT
public:
    explicit TObmenF(QWidget *parent = nullptr);
    ~TObmenF() override;

    static constexpr int SilenceIntervalMs = ExchangeEngine::SilenceIntervalMs;
    static constexpr int MaxRetries = ExchangeEngine::MaxSendings;
    static constexpr uint32_t DefaultReadIntervalMs = 100;

    QFrame *Panel1 = nullptr;
    QProgressBar *Progres = nullptr;   // callers set its maximum before long transfers
    QFrame *Panel2 = nullptr;
    QPlainTextEdit *Memo = nullptr;
    QToolButton *Key_Stop = nullptr;
    QToolButton *Key_Exit = nullptr;
    QPushButton *Key_SaveLog = nullptr;   // saves the wire trace
    QTimer *TimerIO = nullptr;
    QTimer *TimerGuard = nullptr;         // the fast exchange's pause before the next request
    TCommEr *Port = nullptr;

    // Handlers.
    void FormActivate();
    void PortReceiveData(TCommEr *Sender, const uint8_t *Buffer, uint16_t BufferLength);
    void TimerIOTimer();
    void Key_StopClick();
    void Key_ExitClick();
    void Key_SaveLogClick();

    // Puts the window's top edge at `top` (and its left edge at `left` when
    // given) for the next exchange, so that it leaves the caller's controls
    // in view.
    void PlaceAt(int top, int left = -1);

    // The port's inter-byte time-out, which delays every reply: 100 ms in the
    // program; tests shorten it to run long transfers fast.
    void SetReadIntervalTimeout(uint32_t ms);

    // Told of every answer and every silent interval of a link probe.
    ProbeProgress OnProbeBeat;

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void OpenLink();
    void CloseLink();
    void EndSilently();
    void Ended(ExchangeEnd end, const QString &cause);
    void AddLog(const QString &line);
    void Beat(ProbeBeat beat);

    std::unique_ptr<ExchangeEngine> Engine;   // kept across exchanges: the guard and the progress run on
    QElapsedTimer Clock;
    uint32_t ReplyIntervalMs = DefaultReadIntervalMs;
};

extern TObmenF *ObmenF;

// The exchange window, made on its first use as a child of the owner that
// SetObmenWindowOwner named; without an owner, ObmenF as it is.
TObmenF *ObmenWindow();
void SetObmenWindowOwner(QWidget *owner);

// Sets a port up for the instrument's line: 19200 baud 8N1, no flow control,
// DTR and RTS off, replies ended by `readIntervalMs` of silence.
void PrepareInstrumentPort(TCommEr *port, const QString &name, uint32_t readIntervalMs);
