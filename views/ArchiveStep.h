#pragma once
// What "Старт" and "Шаг" give the archive: every test they took, with the
// names of its list and person as they are now, the instrument's number and
// the record's index in its memory, in one transaction per step. The results
// store has the tests before the archive hears of them, and nothing the
// archive meets changes them.

#include "views/ResultSteps.h"

#include <QString>
#include <vector>

// Opens the archive of the program's folder and lets the steps feed it; it
// starts by taking what it lacks of the results file beside it. A
// file that cannot be used is named in one warning, and the program goes on
// without the archive. False then.
bool StartProgramArchive();
// Closes it: the steps feed it no more.
void StopProgramArchive();

// The steps' listener: adds `taken` to the open archive. The instrument's
// number is read once when it is not known for the port in use, or when the
// step read from the instrument's first record. A write that fails is named
// in one warning and the archive is closed for the rest of the run.
void ArchiveTakenTests(const std::vector<TakenTest> &taken, bool fromFirst);

// The warning of an archive file that cannot be used.
QString ArchiveTroubleText(const QString &reason);
