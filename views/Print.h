#pragma once
// "Печать..." and "PDF..." of the results and the statistics windows: the
// sheets they print (views/PrintSheet.h), the print preview from which the
// operator prints on any printer or saves a PDF, and the PDF written
// directly.

#include "views/PrintSheet.h"

#include <functional>

class QPrintPreviewDialog;
class QPushButton;
class QWidget;

QPushButton *MakePrintButton(QWidget *parent);
QPushButton *MakePdfButton(QWidget *parent);

// The results window's register: the tests it shows, with an empty column
// for the tested persons' signatures.
PrintSheet RegisterSheet(std::span<const StatEntry> tests);

// The statistics window's records found, under the person with the search's
// summary, or under the period.
PrintSheet FoundSheet(std::span<const StatEntry> found);

// Opens the print preview of `sheet` over `parent`. The sheet is the
// operator's snapshot: the preview draws it, whatever the window does since.
void PreviewSheet(QWidget *parent, const PrintSheet &sheet);

// Asks for a file name, offering the daily file's name with .pdf in the
// program's folder, and writes the sheet there as a PDF. False when the
// operator cancelled, or when the save failed, which has been reported and
// has left an old file as it was.
bool SaveSheetPdf(QWidget *parent, const PrintSheet &sheet);

// Replaces running the preview dialog modally, so that the tests can look at
// it without a person at the screen; an empty handler restores it. Returns
// the handler that was installed before.
using PreviewHandler = std::function<void(QPrintPreviewDialog &)>;
PreviewHandler SetPreviewHandler(PreviewHandler handler);
