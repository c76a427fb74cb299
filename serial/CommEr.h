#pragma once
// The serial port component: opened and closed on demand by the window that
// owns it, fed with blocks of bytes to send, raising its events on the thread
// that created it. A receive and a transmit worker do all the waiting.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <stdexcept>

enum class TParity { None, Odd, Even, Mark, Space };
enum class TStopBits { _1, _1_5, _2 };
enum class TByteSize { _5, _6, _7, _8 };
enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

// Notifications the workers post to the owner's thread.
enum CommNotification : int {
    NotifyReceiveData = 1025,
    NotifyReceiveError = 1026,
    NotifyRequestHangup = 1027,
    NotifyModemState = 1028,
    NotifySendEmpty = 1029,
};

// Raised by OpenComm. what() is the component's fixed English text; Reason()
// tells, in the operator's words, what the operating system said (empty when
// there is nothing more to say).
class ECommsError : public std::runtime_error {
public:
    explicit ECommsError(const QString &message, const QString &reason = {});
    QString Message() const { return QString::fromUtf8(what()); }
    QString Reason() const { return m_reason; }

private:
    QString m_reason;
};

class TCommEr;
using TReceiveDataEvent = std::function<void(TCommEr *Sender, const uint8_t *Buffer, uint16_t BufferLength)>;
using TReceiveErrorEvent = std::function<void(TCommEr *Sender, uint32_t EventMask)>;
using TModemStateChangeEvent = std::function<void(TCommEr *Sender, uint32_t ModemEvent)>;
using TNotifyEvent = std::function<void(TCommEr *Sender)>;
using TSendDataEmptyEvent = std::function<void(TCommEr *Sender)>;

class TCommEr : public QObject {
    Q_OBJECT
public:
    explicit TCommEr(QObject *owner = nullptr);
    ~TCommEr() override;   // closes a port its owner left open

    void OpenComm();                                  // throws ECommsError
    void CloseComm();                                 // harmless when closed
    bool SendData(const void *data, uint16_t count);  // queues a copy
    bool IsOpen() const;
    bool SendIdle() const;

    // Properties, with the constructor values of the component.
    QString CommName() const;              void SetCommName(const QString &v);        // "COM2"
    uint32_t BaudRate() const;             void SetBaudRate(uint32_t v);              // 9600
    bool ParityCheck() const;              void SetParityCheck(bool v);
    bool Outx_CtsFlow() const;             void SetOutx_CtsFlow(bool v);
    bool Outx_DsrFlow() const;             void SetOutx_DsrFlow(bool v);
    TDtrControl DtrControl() const;        void SetDtrControl(TDtrControl v);         // DtrDisable
    bool DsrSensitivity() const;           void SetDsrSensitivity(bool v);
    bool TxContinueOnXoff() const;         void SetTxContinueOnXoff(bool v);
    bool Outx_XonXoffFlow() const;         void SetOutx_XonXoffFlow(bool v);
    bool Inx_XonXoffFlow() const;          void SetInx_XonXoffFlow(bool v);
    bool ReplaceWhenParityError() const;   void SetReplaceWhenParityError(bool v);
    bool IgnoreNullChar() const;           void SetIgnoreNullChar(bool v);
    TRtsControl RtsControl() const;        void SetRtsControl(TRtsControl v);         // RtsDisable
    uint16_t XonLimit() const;             void SetXonLimit(uint16_t v);              // 500
    uint16_t XoffLimit() const;            void SetXoffLimit(uint16_t v);             // 500
    TByteSize ByteSize() const;            void SetByteSize(TByteSize v);             // _8
    TParity Parity() const;                void SetParity(TParity v);                 // None, next opening
    TStopBits StopBits() const;            void SetStopBits(TStopBits v);             // _1
    char XonChar() const;                  void SetXonChar(char v);                   // 0x11
    char XoffChar() const;                 void SetXoffChar(char v);                  // 0x13
    char ReplacedChar() const;             void SetReplacedChar(char v);              // 0x00
    uint32_t ReadIntervalTimeout() const;  void SetReadIntervalTimeout(uint32_t v);   // 100 ms
    uint32_t ReadTotalTimeoutMultiplier() const;  void SetReadTotalTimeoutMultiplier(uint32_t v);
    uint32_t ReadTotalTimeoutConstant() const;    void SetReadTotalTimeoutConstant(uint32_t v);
    uint32_t WriteTotalTimeoutMultiplier() const; void SetWriteTotalTimeoutMultiplier(uint32_t v);
    uint32_t WriteTotalTimeoutConstant() const;   void SetWriteTotalTimeoutConstant(uint32_t v);

    // Events, raised on the owner's thread in the order the workers posted them.
    TReceiveDataEvent OnReceiveData;
    TReceiveErrorEvent OnReceiveError;
    TModemStateChangeEvent OnModemStateChange;
    TNotifyEvent OnRequestHangup;
    TSendDataEmptyEvent OnSendDataEmpty;

    // The device path a port name stands for: "COMn" is the file or symlink
    // COMn in the working directory when there is one, else /dev/ttyS(n-1).
    static QString DevicePath(const QString &commName);

private:
    struct Impl;
    Impl *d;
};
