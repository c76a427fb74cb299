#pragma once
// Tests as a table for spreadsheet programs: CSV in UTF-8 with a byte-order
// mark (without it the programs guess the locale's code page), ';' between
// the fields (the separator where the decimal mark is a comma), CR LF after
// every row. First the header row "Список;ФИО;Дата;Время;Рез.", then one row
// per entry: the list and the person as the windows show them, without the
// spaces that pad the names to 16 characters; the date DD.MM.YYYY; the time
// HH:MM; the result in per mille with a decimal comma (1,5).
//
// A field holding a quote, a ';' or a line break is put in quotes, its
// quotes doubled. A field beginning with '=', '+', '-', '@', a tab or a
// carriage return would be taken for a formula: it gets a leading
// apostrophe, so that the spreadsheet shows it as the text it is. Names
// beginning with a letter or a digit are never changed.

#include "store/ResultRecord.h"

#include <QByteArray>
#include <span>

QByteArray SpreadsheetText(std::span<const StatEntry> entries);

// The fields as the table writes them, for every other copy of the tests
// that leaves the program: a name without the spaces that pad it, the date
// of a date key as DD.MM.YYYY, the time of a time key as HH:MM, a result in
// tenths of a per mille with a decimal comma.
QString WithoutPadding(const QString &name);
QString TableDate(int dateKey);
QString TableTime(int timeKey);
QString TableResult(int tenths);
