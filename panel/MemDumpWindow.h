#pragma once
// "Сохранить память" of the memory page: asks for the file, reads the whole
// memory with a progress window that can cancel, and says how it ended in
// the page's note. The exchange window's stop button cancels as well.

class QLabel;
class QWidget;

void SaveMemoryDump(QWidget *parent, QLabel *note);
