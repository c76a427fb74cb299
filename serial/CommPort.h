#pragma once
// The operating-system side of a serial port: the exclusively opened terminal
// device, and the event descriptors the workers wait on.

#include <QString>
#include <memory>
#include <termios.h>

// An open terminal device held exclusively: locked with flock() against any
// other opener and marked TIOCEXCL. Closing restores the line settings it had
// when it was opened and releases both.
class TPortFile {
public:
    // Throws ECommsError with "Error opening serial port" or
    // "File handle is not a comm handle ".
    static std::unique_ptr<TPortFile> Open(const QString &path);
    ~TPortFile();
    TPortFile(const TPortFile &) = delete;
    TPortFile &operator=(const TPortFile &) = delete;

    int Fd() const { return m_fd; }

private:
    TPortFile() = default;

    int m_fd = -1;
    bool m_exclusive = false;
    bool m_haveSettings = false;
    termios m_foundSettings{};
};

// An event the workers can wait on with poll(). Once set it stays set until
// Clear() (a manual-reset event).
class TEventFd {
public:
    TEventFd();
    ~TEventFd();
    TEventFd(const TEventFd &) = delete;
    TEventFd &operator=(const TEventFd &) = delete;

    bool Valid() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    void Set();
    void Clear();
    bool IsSet() const;

private:
    int m_fd = -1;
};

// What the operator should know about a failure to open `path`: the cause,
// and what to do about it.
QString OpenFailureReason(int error, const QString &path);
