#pragma once
// Runs the virtual instrument program for a test.
//
//   ScopedWorkDir dir;
//   VirtualInstrument instrument(dir.path());                 // COM1, fast replies
//   ASSERT_TRUE(instrument.isReady());
//   ... open instrument.portPath() (dir/COM1) and talk to it ...
//   EXPECT_EQ(instrument.receivedFrames().at(0), QByteArray::fromHex("3a0601 00002e"));
//
// Faults are played with the program's flags, e.g.
//   VirtualInstrument instrument(dir.path(), {.flags = {"--drop-every", "3"}});
// The flags: --silent, --answer-from K, --drop-every K, --wrong-echo M,
// --noise N, --split-gap MS, --truncate N, --unplug-after N (requests are
// counted from 1, every well-formed request counts).
//
// The instrument logs every request it received and every reply it sent
// (replies are logged just before they go out, so a reply that has arrived is
// always in the log already). The destructor stops the program.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <vector>

class VirtualInstrument {
public:
    struct Setup {
        QString port = QStringLiteral("COM1");
        QStringList flags = {};   // extra command-line flags
        bool paced = false;  // true: replies at the pace of 19200 baud
        QString memoryFile = {};  // memory image to load (when present) and save at the end
        QString registersFile = {};  // the same for the 256 internal registers
    };

    explicit VirtualInstrument(const QString &dir, const Setup &setup);
    explicit VirtualInstrument(const QString &dir) : VirtualInstrument(dir, Setup{}) {}
    ~VirtualInstrument();
    VirtualInstrument(const VirtualInstrument &) = delete;
    VirtualInstrument &operator=(const VirtualInstrument &) = delete;

    // Whether the program started and put its port in place.
    bool isReady() const { return m_ready; }
    QString portPath() const { return m_portPath; }
    QString logPath() const { return m_logPath; }

    // Lines of the log, e.g. "12:00:01.234 RX 3A 06 01 00 00 2E".
    QStringList logLines() const;
    std::vector<QByteArray> receivedFrames() const;  // the "RX" lines
    std::vector<QByteArray> replies() const;         // the "TX" lines
    // Waits until at least `count` requests have been received.
    bool waitForReceived(int count, int msecs = 5000) const;

    // SIGTERM, then waits. Returns the exit code, or -1 when the program
    // crashed or had to be killed. Stopping twice is harmless.
    int stop();

private:
    std::vector<QByteArray> loggedBytes(const QString &direction) const;

    QProcess m_process;
    QString m_portPath;
    QString m_logPath;
    bool m_ready = false;
};
