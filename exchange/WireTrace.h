#pragma once
// The wire trace: what went over the line to the instrument since the program
// started, for support. The exchange window reports every frame it sends,
// every reply it takes, silence and its own log lines; the trace keeps the
// last TraceCapacity lines in memory, decodes what it knows and, when asked,
// also appends every line to a file as it happens.
//
//   2026-12-08 14:03:11.482 TX 3A 06 01 00 00 2E  read memory at 0x0000, 46 bytes
//   2026-12-08 14:03:11.611 RX 3A 34 01 00 00 2E ...  reply, 52 bytes, echo 0x0000 right
//   2026-12-08 14:03:12.611 -- no complete reply within 1000 ms, 3 of 52 bytes in: 3A 34 01
//   2026-12-08 14:03:12.612 TX 3A 06 01 00 00 2E  read memory at 0x0000, 46 bytes, sent again (sending 2)
//   2026-12-08 14:03:12.700 -- COM1  - открыт
//
// The time is the PC's local time; hex bytes are upper case, one space apart.

#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <vector>

class QWidget;

class WireTrace {
public:
    static constexpr int TraceCapacity = 10000;   // lines: a whole erase, frames and replies

    explicit WireTrace(int capacity = TraceCapacity);

    // A request handed to the port; `resends` counts the sendings of the
    // same frame before this one, `queued` is false when the port refused it.
    void Sent(const uint8_t *frame, int length, int resends, bool queued = true);
    // A complete reply to the last request sent.
    void Reply(const uint8_t *reply, int length);
    // A reply framed as expected that does not answer the last request.
    void BadReply(const uint8_t *reply, int length);
    // Bytes that belong to no reply: noise, the rest of a reply cut short,
    // a late copy, or anything that came while no request was out.
    void Dropped(const uint8_t *bytes, int length);
    // `silentMs` passed with only `length` bytes of the reply in.
    void Silence(const uint8_t *partial, int length, int expected, int silentMs);
    // The operator left the exchange with `length` bytes of the reply in.
    void Abandoned(const uint8_t *partial, int length, int expected);
    void Note(const QString &text);

    // Oldest first; a first line says how many older lines are gone.
    QStringList Lines() const;
    int Dropped() const { return m_dropped; }

    // Appends every later line to `path` as well (created when missing).
    // False, with the reason in `error`, when the file cannot be opened or
    // takes no first line; a later write failure ends the copy, says so in
    // the trace and, once, in a box.
    bool MirrorTo(const QString &path, QString &error);

    // Whether `path` names the file the lines are appended to.
    bool IsMirror(const QString &path) const;

private:
    QString Keep(const QString &kind, const QString &text);   // into memory only
    void Add(const QString &kind, const QString &text);
    bool WriteToMirror(const QString &line);
    void MirrorFailed();
    static QString PartOfReply(const uint8_t *partial, int length, int expected);

    int m_capacity;
    std::deque<QString> m_lines;
    int m_dropped = 0;
    std::vector<uint8_t> m_request;   // the last frame sent, for judging its reply
    QFile m_mirror;
};

// The program's trace, which the exchange window fills.
WireTrace &ExchangeTrace();

// What a request frame asks for: "write memory at 0x2400, 8 bytes".
QString DescribeRequest(const uint8_t *frame, int length);
// What a reply says about the request it answers: "echo 0x2400 right".
QString JudgeReply(const uint8_t *request, int requestLength, const uint8_t *reply, int length);

// Writes the trace's lines to `path` as every file of the program is
// replaced, whole or not at all; false with the store's report in `error`.
bool SaveTrace(const WireTrace &trace, const QString &path, QString &error);

// Asks for a file name and saves the program's trace there; a failure is
// reported in a box. False when nothing was saved.
bool SaveTraceAs(QWidget *parent = nullptr);
