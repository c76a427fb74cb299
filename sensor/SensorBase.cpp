#include "sensor/SensorBase.h"

#include "shell/Message.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QFile>
#include <algorithm>
#include <cstdint>
#include <limits>

SensorWordArray SensorWords{};
MixtureArray MixtureValues{};
QByteArray SensorBaseImage(SensorFileSize, '\0');
int SensorFileIndex = 0;
int SensorRecordIndex = 0;
bool DataEntryEnabled = false;

namespace {

constexpr int MixtureOffset = 128;
constexpr int VolumeCoefOffset = 148;
constexpr int NoteOffset = 150;
constexpr int Word11Base = 24000;   // word 11 of a new record: 24000 + file index
constexpr int PowerWord = 5000;
constexpr int BlowOutWord = 30;

// The file the image holds in full, or -1 when it holds none.
int LoadedFileIndex = -1;

int RecordOffset()
{
    return SensorRecordIndex * SensorRecordSize;
}

int WordAt(int offset)
{
    const auto high = static_cast<uint8_t>(SensorBaseImage[offset]);
    const auto low = static_cast<uint8_t>(SensorBaseImage[offset + 1]);
    return high * 256 + low;
}

void PutWord(int offset, int value)
{
    SensorBaseImage[offset] = static_cast<char>((value >> 8) & 0xFF);
    SensorBaseImage[offset + 1] = static_cast<char>(value & 0xFF);
}

// Values typed by the operator may be far outside a word: the arithmetic
// runs in 64 bits and the results stay ints (the record refuses them later).
int Saturated(qint64 value)
{
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

// a - (a - b) x num / den, a level part of the way from a to b.
int Between(int a, int b, int num, int den)
{
    return Saturated(a - (qint64(a) - b) * num / den);
}

void ForgetImage(int bytesKept)
{
    SensorBaseImage.resize(SensorFileSize);
    std::fill(SensorBaseImage.begin() + std::clamp(bytesKept, 0, SensorFileSize),
              SensorBaseImage.end(), '\0');
    LoadedFileIndex = -1;
}

// The file may have been replaced since it was read (a copy put back by
// hand): the records of the other sensors are taken as the file holds them
// now, so that a store changes the record of this sensor alone.
void TakeOtherRecordsFromFile(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray now = file.read(SensorFileSize + 1);
    if (now.size() != SensorFileSize || file.error() != QFileDevice::NoError)
        return;
    const int record = RecordOffset();
    now.replace(record, SensorRecordSize, SensorBaseImage.mid(record, SensorRecordSize));
    SensorBaseImage = now;
}

} // namespace

QString SensorFileName(int fileIndex)
{
    return QStringLiteral("F_%1.dat").arg(fileIndex, 2, 10, QLatin1Char('0'));
}

bool CheckSensorNumber(qint64 number)
{
    if (number >= 0 && number <= MaxSensorNumber)
        return true;
    ShowWarning(QStringLiteral("Номер сенсора %1 недопустим: номер должен быть от 0 до %2.")
                    .arg(number)
                    .arg(MaxSensorNumber));
    return false;
}

bool SelectSensorRecord(int number)
{
    if (!CheckSensorNumber(number))
        return false;
    SensorFileIndex = number / SensorRecordsPerFile;
    SensorRecordIndex = number % SensorRecordsPerFile;
    return true;
}

bool LoadSensorBase(int number)
{
    if (!SelectSensorRecord(number))
        return false;
    const QString name = SensorFileName(SensorFileIndex);
    QFile file(name);
    if (!file.exists()) {
        ShowFileNotice(FileNotFoundNotice(name));
        DataEntryEnabled = true;
        ForgetImage(0);
        LoadedFileIndex = SensorFileIndex;   // a new file is all zeros
        return StoreSensorBase(number);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        ForgetImage(0);
        ShowFileNotice(FileErrorNotice(name, QStringLiteral("не открывается для чтения. Файл оставлен без изменений."),
                                       file.errorString()));
        return false;
    }
    // One byte more than a file holds tells a longer file from a whole one.
    const QByteArray bytes = file.read(SensorFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        ForgetImage(0);
        ShowFileNotice(FileErrorNotice(name, QStringLiteral("не читается. Файл оставлен без изменений."),
                                       file.errorString()));
        return false;
    }
    const qsizetype kept = std::min<qsizetype>(bytes.size(), SensorFileSize);
    std::copy_n(bytes.begin(), kept, SensorBaseImage.begin());
    if (bytes.size() != SensorFileSize) {
        ForgetImage(static_cast<int>(kept));
        ShowFileNotice(FileErrorNotice(name,
                                       QStringLiteral("повреждён: %1 байт вместо %2. Файл оставлен без изменений; "
                                                      "записи в него не сохраняются, пока он не прочитается целиком.")
                                           .arg(std::max(file.size(), qint64(bytes.size())))
                                           .arg(SensorFileSize)));
        return false;
    }
    LoadedFileIndex = SensorFileIndex;
    return true;
}

bool StoreSensorBase(int number)
{
    if (!SelectSensorRecord(number))
        return false;
    const QString name = SensorFileName(SensorFileIndex);
    if (LoadedFileIndex != SensorFileIndex) {
        ShowError(QStringLiteral("Данные сенсора %1 не записаны: файл %2 не прочитан целиком, "
                                 "и записать его значило бы потерять записи других сенсоров.")
                      .arg(number)
                      .arg(name));
        return false;
    }
    TakeOtherRecordsFromFile(name);
    return Report(ReplaceFile(name, SensorBaseImage));
}

bool SensorBaseUsable()
{
    return LoadedFileIndex >= 0;
}

void UnpackSensorRecord()
{
    const int record = RecordOffset();
    for (int k = 0; k < SensorWordCount; ++k)
        SensorWords[k] = WordAt(record + 2 * k);
    for (int i = 0; i < MixtureCount; ++i)
        MixtureValues[i] = WordAt(record + MixtureOffset + 2 * i);
    SensorTable[VolumeCoefWord] = VolumeCoef = WordAt(record + VolumeCoefOffset);
    SensorNote = StoredSensorNote();
}

QByteArray StoredSensorNote()
{
    QByteArray note = SensorBaseImage.mid(RecordOffset() + NoteOffset, SensorNoteLength);
    for (char &c : note) {
        if (static_cast<uint8_t>(c) < 0x20)
            c = ' ';
    }
    return note;
}

QString SensorRecordProblem()
{
    for (int k = 0; k < SensorWordCount; ++k) {
        if (!IsWord(SensorWords[k])) {
            QString what = QStringLiteral("Слово %1").arg(k);
            if (k < int(SensorWordLabels.size()))
                what += QStringLiteral(" («%1»)").arg(SensorWordLabels[k].trimmed());
            return NotAWord(what, SensorWords[k]);
        }
    }
    for (int i = 0; i < MixtureCount; ++i) {
        if (!IsWord(MixtureValues[i])) {
            return NotAWord(
                QStringLiteral("Смесь «%1»").arg(CalibrationPointLabels[i].trimmed()),
                MixtureValues[i]);
        }
    }
    if (!IsWord(SensorTable[VolumeCoefWord]))
        return NotAWord(QStringLiteral("k определения объема"), SensorTable[VolumeCoefWord]);
    return {};
}

bool PackSensorRecord()
{
    const QString problem = SensorRecordProblem();
    if (!problem.isEmpty()) {
        ShowWarning(QStringLiteral("Запись сенсора не сохранена. ") + problem);
        return false;
    }
    const int record = RecordOffset();
    for (int k = 0; k < SensorWordCount; ++k)
        PutWord(record + 2 * k, SensorWords[k]);
    for (int i = 0; i < MixtureCount; ++i)
        PutWord(record + MixtureOffset + 2 * i, MixtureValues[i]);
    PutWord(record + VolumeCoefOffset, SensorTable[VolumeCoefWord]);
    const QByteArray note = SensorNote.left(SensorNoteLength).leftJustified(SensorNoteLength, ' ');
    std::copy(note.begin(), note.end(), SensorBaseImage.begin() + record + NoteOffset);
    return true;
}

void DeriveSensorWords()
{
    const MixtureArray &b = MixtureValues;
    SensorWordArray &w = SensorWords;

    // Measured levels 0.0, 0.1, 0.2, 0.5, 0.6 and 1.0 per mille.
    w[0] = b[0];
    w[1] = b[1];
    w[2] = b[2];
    w[5] = b[3];
    w[6] = b[4];
    w[10] = b[5];
    // Levels 0.3 and 0.4 between the 0.2 and 0.5 readings; 0.7, 0.8 and 0.9
    // between 0.5 and 1.0 (the 0.6 reading is not used for them).
    w[3] = Between(b[2], b[3], 6, 10);
    w[4] = Between(b[2], b[3], 78, 100);
    w[7] = Between(b[3], b[5], 6, 10);
    w[8] = Between(b[3], b[5], 78, 100);
    w[9] = Between(b[3], b[5], 9, 10);

    const int firstThreshold = Between(b[0], b[1], 8, 10);
    w[12] = firstThreshold;
    for (int i = 1; i <= 8; ++i)
        w[14 + i] = Between(w[i], w[i + 1], 7, 10);
    w[14] = firstThreshold;
    w[23] = Between(w[9], w[10], 3, 10);
    w[24] = Saturated(w[23] - (qint64(b[5]) - b[6]) / 10);

    w[25] = PowerWord;
    w[26] = BlowOutWord;
    w[28] = w[29] = w[30] = 0;
    w[31] = SensorNumber;
}

void CompleteSensorWords()
{
    SensorWordArray &w = SensorWords;
    if (w[11] == 0)
        w[11] = Word11Base + SensorFileIndex;
    w[32] = w[48] = w[11];
    w[33] = w[49] = w[12];
    w[13] = w[34] = w[50] = 0;
    for (int i = 0; i <= 10; ++i)
        w[35 + i] = w[51 + i] = w[14 + i];
    w[25] = w[46] = w[62] = PowerWord;
    w[26] = w[47] = w[63] = BlowOutWord;
    w[27] = SensorNumber;
    w[28] = w[29] = w[30] = 0;
    w[31] = SensorNumber;
}

bool BuildSensorRecord()
{
    if (!SelectSensorRecord(SensorNumber))
        return false;
    const SensorWordArray before = SensorWords;
    DeriveSensorWords();
    CompleteSensorWords();
    if (!PackSensorRecord()) {
        SensorWords = before;
        return false;
    }
    return true;
}

bool StoreSensorRecord()
{
    return BuildSensorRecord() && StoreSensorBase(SensorNumber);
}

void ResetSensorBase()
{
    SensorWords = {};
    MixtureValues = {};
    SensorFileIndex = SensorRecordIndex = 0;
    DataEntryEnabled = false;
    ForgetImage(0);
}
