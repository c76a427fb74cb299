#pragma once
// The person lists as the instrument keeps them: names of 16 bytes in the
// display's character set, the eight list names at 128 and list L at
// 1024 x L. Reading and writing a list go through the exchange window.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// An edited name as the lists keep it: composed (NFC), in CP1251, cut or
// filled with spaces to 16 characters.
QByteArray NormalisedName(const QString &text);

// A name from 16 display-code bytes; an erased slot (first byte 0xFF) gives
// `erased` instead.
QByteArray NameFromDisplay(const uint8_t *bytes, const QByteArray &erased);
// Puts a name, filled with spaces to 16 characters, as display codes at `out`.
void NameToDisplay(const QByteArray &name, uint8_t *out);

// The name as the instrument gives it back after a write.
QByteArray NameReadBack(const QByteArray &name);
// True when the name comes back with another character than it went out
// with: a sign the display cannot show, or Ь (sent as Ъ). The Cyrillic
// letters that go out as their Latin look-alikes do not count.
bool DisplayChangesName(const QByteArray &name);
// The names a write of `list` would change, as lines "old" → "read back":
// list names first, then the persons of the list.
QStringList NamesTheDisplayChanges(int list);

// What an erased slot reads as: "1 список фамилий" for list 1, and
// "01 номерв списке" for the first person.
QByteArray ErasedListName(int list);
QByteArray ErasedPersonName(int person);

bool IsListNumber(int list);

// Reads the eight list names and the 64 persons of `list`. Only when every
// piece has come are the names taken; otherwise all stay as they were.
bool ReadListFromInstrument(int list);

// Writes the eight list names, then the 64 persons of `list`; stops at the
// first write that fails. A list number outside 1..8 is refused.
bool WriteListToInstrument(int list);
