#pragma once
// What the program remembers of its own files between one load and the next.
//
// A load failure is reported once: the windows load their files each time
// they become active, and a box about a file nobody has touched since would
// only come back after every dismissal. And a file that exists but could not
// be read is never replaced by a save: the data model does not hold what it
// contains, so a save would put defaults over it.

#include "store/FileOutcome.h"

#include <QString>

enum class LoadFailure { Missing, CannotOpen, CannotRead, Short };

// True when this failure of the file, as the file now is, has not been
// reported yet; it counts as reported from then on, until the file changes
// or a load of it succeeds.
bool IsNewLoadFailure(const QString &fileName, LoadFailure failure);

// The whole file was read: its earlier failures are forgotten.
void NoteLoadSucceeded(const QString &fileName);

// The file exists but its content could not be read.
void NoteUnreadable(const QString &fileName);

// Fails when the file must not be replaced because its last load could not
// read it; the operator is told so once.
FileOutcome MayReplaceFile(const QString &fileName);

// Forgets everything remembered about every file.
void ForgetFileHistory();
