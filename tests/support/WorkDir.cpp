#include "WorkDir.h"

#include <QDir>
#include <QFile>

ScopedWorkDir::ScopedWorkDir() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

ScopedWorkDir::~ScopedWorkDir()
{
    QDir::setCurrent(m_previous);
}

MessageRecorder::MessageRecorder(QMessageBox::StandardButton answer)
{
    m_previous = SetMessageHandler([this, answer](const MessageRequest &request) {
        m_messages.push_back(request);
        return answer;
    });
}

MessageRecorder::~MessageRecorder()
{
    SetMessageHandler(m_previous);
}

QStringList MessageRecorder::texts() const
{
    QStringList list;
    for (const MessageRequest &m : m_messages)
        list << m.text;
    return list;
}

SaveFileRecorder::SaveFileRecorder(const QString &answer)
{
    m_previous = SetSaveFileHandler([this, answer](const SaveFileRequest &request) {
        m_requests.push_back(request);
        return answer;
    });
}

SaveFileRecorder::~SaveFileRecorder()
{
    SetSaveFileHandler(m_previous);
}

QByteArray ReadWholeFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
