#pragma once
// What a file operation of the store has to tell the operator, in the order
// it happened. The store shows nothing itself: the caller shows the notices
// (shell/Message.h, Report) and acts on whether the operation completed.

#include <QString>
#include <vector>

struct FileNotice {
    enum class Kind { Warning, Error };
    Kind kind = Kind::Error;
    QString text;
    QString details;         // what the operating system said, when anything
    bool okCancel = false;   // the box offers OK and Cancel rather than OK alone
};

struct [[nodiscard]] FileOutcome {
    bool done = true;
    std::vector<FileNotice> notices;

    explicit operator bool() const { return done; }

    // A notice that does not stop the operation.
    void Tell(FileNotice notice) { notices.push_back(std::move(notice)); }
    // A notice of what stopped it.
    void Fail(FileNotice notice)
    {
        Tell(std::move(notice));
        done = false;
    }
    // What a step of the operation had to tell; false when the step failed.
    bool Take(FileOutcome step)
    {
        notices.insert(notices.end(), step.notices.begin(), step.notices.end());
        done = done && step.done;
        return step.done;
    }
};

inline FileOutcome Failed()
{
    return {false, {}};
}

// The warning that a file was not found and is made anew, and its short
// form for callers that say themselves what follows.
FileNotice MissingFileNotice(const QString &fileName);
FileNotice FileNotFoundNotice(const QString &fileName);

// The general input/output error report: names the file and what is wrong
// with it; `details` carries what the operating system said.
FileNotice FileErrorNotice(const QString &fileName, const QString &problem, const QString &details = {});
