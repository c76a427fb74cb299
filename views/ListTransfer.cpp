#include "views/ListTransfer.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "store/Cp1251.h"
#include "store/Decod.h"
#include "store/OrbADat.h"
#include "views/ViewCommon.h"

#include <array>

namespace {

constexpr int ListParts = ListBytes / ListPartBytes;
constexpr uint8_t ErasedByte = 0xFF;

// A letter whose accent CP1251 lacks is kept as its base letter (Ř as R);
// anything else without a code becomes '?'. A tab or a line end, as pasted
// from a table, is a space: inside a name it would break the lines of the
// daily copy.
char StorableChar(char32_t codePoint)
{
    if (QChar::category(codePoint) == QChar::Other_Control)
        return ' ';
    const QString character = QString::fromUcs4(&codePoint, 1);
    const QByteArray byte = ToCp1251(character);
    if (byte != "?" || codePoint == U'?')
        return byte.at(0);
    return ToCp1251(character.normalized(QString::NormalizationForm_D).left(1)).at(0);
}

// A Cyrillic letter that goes out as the Latin letter of its shape comes
// back as that Latin letter, and the display shows the same.
bool ComesBackAsLookAlike(uint8_t pc)
{
    return pc >= 0xC0 && ToDisplayChar(pc) < 0x80;
}

} // namespace

QByteArray NormalisedName(const QString &text)
{
    // Composed first: a pasted "И" + combining breve is the one letter Й. A
    // mark that composes with nothing (a stress accent over а) has no code
    // and leaves its letter bare, as a lacking accent does; an invisible
    // sign (a soft hyphen, a zero-width space) is left out.
    QByteArray name;
    for (char32_t codePoint : text.normalized(QString::NormalizationForm_C).toUcs4()) {
        if (name.size() == NameLength)
            break;
        if (QChar::isMark(codePoint) || QChar::category(codePoint) == QChar::Other_Format)
            continue;
        name.append(StorableChar(codePoint));
    }
    return name.leftJustified(NameLength, ' ');
}

QByteArray NameFromDisplay(const uint8_t *bytes, const QByteArray &erased)
{
    if (bytes[0] == ErasedByte)
        return erased;
    // A control code (noise, memory never written) is no sign of a name:
    // kept, it would break the lines of the daily copy.
    QByteArray name(NameLength, ' ');
    for (int i = 0; i < NameLength; ++i) {
        const uint8_t pc = FromDisplayChar(bytes[i]);
        if (pc >= 0x20 && pc != 0x7F)
            name[i] = static_cast<char>(pc);
    }
    return name;
}

void NameToDisplay(const QByteArray &name, uint8_t *out)
{
    const QByteArray filled = name.leftJustified(NameLength, ' ');
    for (int i = 0; i < NameLength; ++i)
        out[i] = ToDisplayChar(static_cast<uint8_t>(filled[i]));
}

QByteArray NameReadBack(const QByteArray &name)
{
    std::array<uint8_t, NameLength> display{};
    NameToDisplay(name, display.data());
    return NameFromDisplay(display.data(), {});
}

bool DisplayChangesName(const QByteArray &name)
{
    const QByteArray readBack = NameReadBack(name);
    const QByteArray filled = name.leftJustified(NameLength, ' ');
    for (int i = 0; i < NameLength; ++i) {
        const auto pc = static_cast<uint8_t>(filled[i]);
        if (readBack[i] != filled[i] && !ComesBackAsLookAlike(pc))
            return true;
    }
    return false;
}

QStringList NamesTheDisplayChanges(int list)
{
    QStringList lines;
    const auto note = [&lines](const QByteArray &name) {
        if (DisplayChangesName(name))
            lines << QStringLiteral("\"%1\" → \"%2\"")
                         .arg(FromCp1251(name).trimmed(), FromCp1251(NameReadBack(name)).trimmed());
    };
    for (int i = 1; i <= ListCount; ++i)
        note(ListNames[i]);
    if (IsListNumber(list)) {
        for (const QByteArray &person : PersonNames[list])
            note(person);
    }
    return lines;
}

QByteArray ErasedListName(int list)
{
    return ToCp1251(QStringLiteral("%1 список фамилий").arg(list));
}

QByteArray ErasedPersonName(int person)
{
    return ToCp1251(QStringLiteral("%1 номерв списке").arg(person + 1, 2, 10, QLatin1Char('0')));
}

bool IsListNumber(int list)
{
    return list >= 1 && list <= ListCount;
}

bool ReadListFromInstrument(int list)
{
    if (!IsListNumber(list))
        return false;
    PrepareExchangeProgress(ListParts);
    if (!ReadListNames())
        return false;
    std::array<QByteArray, ListCount + 1> listNames;
    for (int i = 1; i <= ListCount; ++i)
        listNames[i] = NameFromDisplay(TransferBuffer.data() + NameLength * (i - 1), ErasedListName(i));

    std::array<uint8_t, ListBytes> image{};
    for (int part = 0; part < ListParts; ++part) {
        PrepareExchangeProgress(ListParts, part);
        if (!ReadListPart(list, part))
            return false;
        std::copy_n(TransferBuffer.begin(), ListPartBytes, image.begin() + ListPartBytes * part);
    }

    for (int i = 1; i <= ListCount; ++i)
        ListNames[i] = listNames[i];
    for (int person = 0; person < PersonsPerList; ++person)
        PersonNames[list][person] = NameFromDisplay(image.data() + NameLength * person, ErasedPersonName(person));
    return true;
}

bool WriteListToInstrument(int list)
{
    if (!IsListNumber(list))
        return false;
    for (int i = 1; i <= ListCount; ++i)
        NameToDisplay(ListNames[i], TransferBuffer.data() + NameLength * (i - 1));
    PrepareExchangeProgress(100);
    if (!WriteListNames())
        return false;

    PrepareExchangeProgress(PersonsPerList);
    for (int person = 0; person < PersonsPerList; ++person)
        NameToDisplay(PersonNames[list][person], TransferBuffer.data() + NameLength * person);
    PrepareExchangeProgress(100);
    return WriteList(list);
}
