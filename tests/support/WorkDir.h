#pragma once
// Test helpers: a fresh working directory per test, and a recorder that
// answers the program's message boxes.

#include "shell/Message.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

// Changes into a new empty directory for its lifetime and back afterwards.
class ScopedWorkDir {
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Installs itself as the message handler; every box is recorded and answered
// with `answer` (OK by default).
class MessageRecorder {
public:
    explicit MessageRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok);
    ~MessageRecorder();
    const std::vector<MessageRequest> &messages() const { return m_messages; }
    QStringList texts() const;
    void clear() { m_messages.clear(); }

private:
    std::vector<MessageRequest> m_messages;
    MessageHandler m_previous;
};

// Installs itself as the file dialog; every request is recorded and answered
// with `answer` (empty: the operator cancelled).
class SaveFileRecorder {
public:
    explicit SaveFileRecorder(const QString &answer);
    ~SaveFileRecorder();
    const std::vector<SaveFileRequest> &requests() const { return m_requests; }

private:
    std::vector<SaveFileRequest> m_requests;
    SaveFileHandler m_previous;
};

QByteArray ReadWholeFile(const QString &path);
bool WriteWholeFile(const QString &path, const QByteArray &bytes);
