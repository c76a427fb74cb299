#pragma once
// Printed pages of breath tests. A sheet is a plain copy of what a window
// shows, taken when the operator asks for it; one function lays it out on
// any paged device, so that the print preview, the printer and the PDF file
// get the same pages.
//
// Each page is A4 portrait: the title lines on the first page, then the
// table with its header row on every page, rows never cut across pages, and
// at the foot of each page the date and time of printing and "стр. N из M".

#include "store/ResultRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QPageLayout>
#include <QStringList>
#include <span>
#include <vector>

class QPagedPaintDevice;

struct PrintSheet {
    QStringList title;              // the first line is the heading
    std::vector<QStringList> rows;  // the cells of PrintColumns(), in order
    bool signatureColumn = false;   // an empty "Подпись" column, as in a register kept on paper
    QDateTime printedAt;
};

// The column headers of a sheet's table.
QStringList PrintColumns(bool signatureColumn);

// The cells of one test: its number on the sheet, list, person, date, time
// and result, written as the spreadsheet table writes them.
QStringList PrintRow(int number, const StatEntry &test);
std::vector<QStringList> PrintRows(std::span<const StatEntry> tests);

// A4 portrait with margins every printer can print.
QPageLayout SheetPageLayout();

// Draws the sheet on `device`, page after page, within the device's page
// layout. Returns the number of pages, 0 when the device cannot be painted.
int PaintSheet(const PrintSheet &sheet, QPagedPaintDevice &device);

// The sheet as a PDF document with its fonts embedded; empty when it could
// not be made.
QByteArray SheetPdf(const PrintSheet &sheet);
