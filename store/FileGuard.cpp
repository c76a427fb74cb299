#include "store/FileGuard.h"

#include "store/OrbACfg.h"

#include <QDateTime>
#include <QFileInfo>
#include <map>
#include <optional>

namespace {

// Enough of a file's state to tell that somebody has changed it.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    QDateTime modified;
    QDateTime changed;

    bool operator==(const FileStamp &) const = default;
};

struct FileHistory {
    std::optional<std::pair<LoadFailure, FileStamp>> reported;
    bool unreadable = false;
    bool refusalReported = false;
};

std::map<QString, FileHistory> &Histories()
{
    static std::map<QString, FileHistory> histories;
    return histories;
}

QString KeyOf(const QString &fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

FileStamp StampOf(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return {};
    return {true, info.size(), info.lastModified(), info.metadataChangeTime()};
}

} // namespace

bool IsNewLoadFailure(const QString &fileName, LoadFailure failure)
{
    auto &reported = Histories()[KeyOf(fileName)].reported;
    const std::pair seen{failure, StampOf(fileName)};
    if (reported == seen)
        return false;
    reported = seen;
    return true;
}

void NoteLoadSucceeded(const QString &fileName)
{
    Histories().erase(KeyOf(fileName));
}

void NoteUnreadable(const QString &fileName)
{
    FileHistory &history = Histories()[KeyOf(fileName)];
    if (!history.unreadable)
        history.refusalReported = false;
    history.unreadable = true;
}

FileOutcome MayReplaceFile(const QString &fileName)
{
    const auto found = Histories().find(KeyOf(fileName));
    if (found == Histories().end() || !found->second.unreadable || !QFileInfo::exists(fileName))
        return {};
    FileOutcome refused = Failed();
    if (!found->second.refusalReported) {
        found->second.refusalReported = true;
        refused.Tell(FileErrorNotice(fileName, QStringLiteral("не удалось прочитать, поэтому он не перезаписан. "
                                                              "Изменения действуют до конца работы программы.")));
    }
    return refused;
}

void ForgetFileHistory()
{
    Histories().clear();
}
