#pragma once
// A pseudo-terminal that stands in for a serial device: the test plays the
// device on the master side, the program opens the slave side through a
// link named like a port (COM1) in the working directory.

#include <QByteArray>
#include <QString>
#include <termios.h>

class PseudoTerminal {
public:
    // Creates the link `linkName` in the current directory when one is given.
    explicit PseudoTerminal(const QString &linkName = {});
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return m_master >= 0; }
    int master() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

    bool write(const QByteArray &bytes);
    // Reads what the program sent until `count` bytes have come, the program
    // closed its side, or `timeoutMs` passed.
    QByteArray read(qsizetype count, int timeoutMs = 10000);
    // True when the program has sent something not read yet.
    bool hasInput(int waitMs = 0);
    // Unplugs the device: the program's side then reads end of file.
    void closeMaster();
    // The line settings of the program's side.
    termios settings() const;

private:
    int m_master = -1;
    QString m_slavePath;
    QString m_linkPath;
};

// What the process holds, to check that nothing is left behind.
int OpenDescriptorCount();
int ThreadCount();
