#include "exchange/WireTrace.h"

#include "exchange/Frames.h"
#include "shell/FileChoice.h"
#include "shell/Message.h"
#include "store/OrbACfg.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <algorithm>
#include <sys/stat.h>

namespace {

QString Hex(const uint8_t *bytes, int length)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(bytes), length).toHex(' ').toUpper());
}

QString Address(int address, int digits)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(address, digits, 16, QLatin1Char('0')).toUpper();
}

QString Address16(int address) { return Address(address, 4); }
QString Address8(int address) { return Address(address, 2); }

bool IsRequest(const uint8_t *frame, int length)
{
    return length >= 6 && frame[0] == FrameStart;
}

// Memory commands echo the whole address, register commands its low byte.
bool EchoesWholeAddress(uint8_t command)
{
    return command == CmdReadMemory || command == CmdReadMemory2 || command == CmdWriteMemory;
}

} // namespace

WireTrace::WireTrace(int capacity) : m_capacity(std::max(capacity, 1)) {}

QString WireTrace::Keep(const QString &kind, const QString &text)
{
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz "))
                         + kind + ' ' + text;
    if (static_cast<int>(m_lines.size()) == m_capacity) {
        m_lines.pop_front();
        ++m_dropped;
    }
    m_lines.push_back(line);
    return line;
}

void WireTrace::Add(const QString &kind, const QString &text)
{
    const QString line = Keep(kind, text);
    if (m_mirror.isOpen() && !WriteToMirror(line))
        MirrorFailed();
}

bool WireTrace::WriteToMirror(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    return m_mirror.write(bytes) == bytes.size() && m_mirror.flush();
}

// The copy ends; the trace in memory says why, and so does a box in the
// window that is open, once the exchange that wrote the line is over.
void WireTrace::MirrorFailed()
{
    const QString reason = m_mirror.errorString();
    const QString name = QDir::toNativeSeparators(m_mirror.fileName());
    m_mirror.close();
    Add(QStringLiteral("--"), QStringLiteral("the trace file %1 cannot be written (%2): no more lines go there")
                                  .arg(name, reason));
    if (QCoreApplication::instance()) {
        const QString text = QStringLiteral("Журнал обмена больше не записывается в файл %1: %2.\n"
                                            "Журнал в памяти программы ведётся дальше; его можно сохранить "
                                            "через \"Сохранить журнал\".")
                                 .arg(name, reason);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [text] { ShowWarning(text); }, Qt::QueuedConnection);
    }
}

bool WireTrace::IsMirror(const QString &path) const
{
    struct stat mirror {};
    struct stat other {};
    if (!m_mirror.isOpen() || ::fstat(m_mirror.handle(), &mirror) != 0)
        return false;
    return ::stat(QFile::encodeName(path).constData(), &other) == 0 && other.st_dev == mirror.st_dev
           && other.st_ino == mirror.st_ino;
}

void WireTrace::Sent(const uint8_t *frame, int length, int resends, bool queued)
{
    m_request.assign(frame, frame + length);
    QString text = Hex(frame, length) + QStringLiteral("  ") + DescribeRequest(frame, length);
    if (resends > 0)
        text += QStringLiteral(", sent again (sending %1)").arg(resends + 1);
    if (!queued)
        text += QStringLiteral(", not sent: the port is closed");
    Add(QStringLiteral("TX"), text);
}

void WireTrace::Reply(const uint8_t *reply, int length)
{
    QString text = Hex(reply, length) + QStringLiteral("  reply, %1 bytes").arg(length);
    const QString verdict = JudgeReply(m_request.data(), static_cast<int>(m_request.size()), reply, length);
    if (!verdict.isEmpty())
        text += QStringLiteral(", ") + verdict;
    Add(QStringLiteral("RX"), text);
}

void WireTrace::BadReply(const uint8_t *reply, int length)
{
    QString text = Hex(reply, length) + QStringLiteral("  bad reply, %1 bytes").arg(length);
    const QString verdict = JudgeReply(m_request.data(), static_cast<int>(m_request.size()), reply, length);
    if (!verdict.isEmpty())
        text += QStringLiteral(", ") + verdict;
    Add(QStringLiteral("RX"), text);
}

void WireTrace::Dropped(const uint8_t *bytes, int length)
{
    Add(QStringLiteral("--"), QStringLiteral("%1 bytes dropped, not part of a reply: %2").arg(length).arg(Hex(bytes, length)));
}

QString WireTrace::PartOfReply(const uint8_t *partial, int length, int expected)
{
    if (length <= 0)
        return {};
    return QStringLiteral(", %1 of %2 bytes in: %3").arg(length).arg(expected).arg(Hex(partial, length));
}

void WireTrace::Silence(const uint8_t *partial, int length, int expected, int silentMs)
{
    Add(QStringLiteral("--"), QStringLiteral("no complete reply within %1 ms").arg(silentMs)
                                  + PartOfReply(partial, length, expected));
}

void WireTrace::Abandoned(const uint8_t *partial, int length, int expected)
{
    Add(QStringLiteral("--"), QStringLiteral("left by the operator") + PartOfReply(partial, length, expected));
}

void WireTrace::Note(const QString &text)
{
    Add(QStringLiteral("--"), text);
}

QStringList WireTrace::Lines() const
{
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_lines.size()) + 1);
    if (m_dropped > 0)
        lines << QStringLiteral("(%1 earlier lines are no longer kept)").arg(m_dropped);
    lines.append(QStringList(m_lines.begin(), m_lines.end()));
    return lines;
}

bool WireTrace::MirrorTo(const QString &path, QString &error)
{
    m_mirror.close();
    m_mirror.setFileName(path);
    if (!m_mirror.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error = m_mirror.errorString();
        return false;
    }
    // A file may open and still take nothing (a full disk): the first line
    // tells.
    if (WriteToMirror(Keep(QStringLiteral("--"), QStringLiteral("the trace is appended to ")
                                                     + QDir::toNativeSeparators(path))))
        return true;
    error = m_mirror.errorString();
    m_mirror.close();
    return false;
}

WireTrace &ExchangeTrace()
{
    static WireTrace trace;
    return trace;
}

QString DescribeRequest(const uint8_t *frame, int length)
{
    if (!IsRequest(frame, length))
        return QStringLiteral("not a request frame");
    const int address = frame[3] + 256 * frame[4];
    const int n = frame[5];
    switch (frame[2]) {
    case CmdReadMemory:
        return QStringLiteral("read memory at %1, %2 bytes").arg(Address16(address)).arg(n);
    case CmdReadMemory2:
        return QStringLiteral("read memory (command 2) at %1, %2 bytes").arg(Address16(address)).arg(n);
    case CmdReadRegisters:
        return QStringLiteral("read registers at %1, %2 bytes").arg(Address8(frame[3])).arg(n);
    case CmdWriteMemory:
        return QStringLiteral("write memory at %1, %2 bytes").arg(Address16(address)).arg(n);
    case CmdWriteRegisters:
        if (length < 9)
            break;
        return QStringLiteral("write registers at %1: %2").arg(Address8(frame[3]), Hex(frame + 6, 2));
    default:
        break;
    }
    return QStringLiteral("command %1").arg(frame[2]);
}

QString JudgeReply(const uint8_t *request, int requestLength, const uint8_t *reply, int length)
{
    if (!IsRequest(request, requestLength))
        return {};
    const bool whole = EchoesWholeAddress(request[2]);
    if (length < (whole ? 5 : 4))
        return QStringLiteral("too short for an echo");
    const int asked = whole ? request[3] + 256 * request[4] : request[3];
    const int echo = whole ? reply[3] + 256 * reply[4] : reply[3];
    const QString shown = whole ? Address16(echo) : Address8(echo);
    if (echo == asked)
        return QStringLiteral("echo %1 right").arg(shown);
    return QStringLiteral("echo %1 wrong, asked %2").arg(shown, whole ? Address16(asked) : Address8(asked));
}

bool SaveTrace(const WireTrace &trace, const QString &path, QString &error)
{
    // Replacing the file the trace is appended to would leave every later
    // line in a file nobody can open any more.
    if (trace.IsMirror(path)) {
        error = QStringLiteral("Журнал не сохранён: в файл %1 программа уже дописывает журнал по ходу работы. "
                               "Выберите другое имя файла.")
                    .arg(QDir::toNativeSeparators(path));
        return false;
    }
    const FileOutcome saved = ReplaceFile(path, trace.Lines().join('\n').toUtf8() + '\n');
    for (const FileNotice &notice : saved.notices)
        error = notice.details.isEmpty() ? notice.text : notice.text + QStringLiteral("\n") + notice.details;
    return saved.done;
}

bool SaveTraceAs(QWidget *parent)
{
    const QString suggested = QDir::current().filePath(
        QDateTime::currentDateTime().toString(QStringLiteral("'orba-trace-'yyyy-MM-dd-HHmm'.txt'")));
    const QString path = ChooseSaveFile(parent, {QStringLiteral("Сохранить журнал"), suggested,
                                                 QStringLiteral("Журнал (*.txt);;Все файлы (*)"), QStringLiteral("txt")});
    if (path.isEmpty())
        return false;
    QString error;
    if (SaveTrace(ExchangeTrace(), path, error))
        return true;
    ShowError(error);
    return false;
}
