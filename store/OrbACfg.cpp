#include "store/OrbACfg.h"

#include "store/Cp1251.h"
#include "store/FileGuard.h"
#include "store/OrbADat.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace {

constexpr int ConfigHeaderBytes = 8;
constexpr int ResultsReservedBytes = 58;
constexpr int RecordSize = 6;

// Reads a file image field by field. Once the bytes run out every read fails;
// a field cut off by the end of a short file takes the bytes there are and
// keeps the rest of its old value, so that a save of the data model keeps
// every byte that was read.
class ByteReader {
public:
    explicit ByteReader(const QByteArray &bytes) : m_bytes(bytes) {}

    bool Take(qsizetype count, QByteArray &value)
    {
        const qsizetype available = std::min(count, m_bytes.size() - m_pos);
        value.replace(0, available, m_bytes.mid(m_pos, available));
        m_pos += available;
        return available == count;
    }

    bool Take(std::span<uint8_t> value)
    {
        const auto available = std::min<qsizetype>(std::ssize(value), m_bytes.size() - m_pos);
        std::copy_n(m_bytes.cbegin() + m_pos, available, value.begin());
        m_pos += available;
        return available == std::ssize(value);
    }

    bool Skip(qsizetype count)
    {
        if (m_pos + count > m_bytes.size())
            return false;
        m_pos += count;
        return true;
    }

    bool Byte(int &value)
    {
        if (m_pos >= m_bytes.size())
            return false;
        value = static_cast<uint8_t>(m_bytes[m_pos++]);
        return true;
    }

    // High byte first, as the configuration file keeps its words.
    bool Word(int &value)
    {
        int high = 0;
        int low = value & 0xFF;
        if (!Byte(high))
            return false;
        const bool whole = Byte(low);
        value = high * 256 + low;
        return whole;
    }

    // Bytes of the file read so far.
    qsizetype Position() const { return m_pos; }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

void AppendByte(QByteArray &out, int value)
{
    out.append(static_cast<char>(value & 0xFF));
}

void AppendWord(QByteArray &out, int value)
{
    AppendByte(out, value >> 8);
    AppendByte(out, value);
}

// A failure to load a file, told unless the same failure of the unchanged
// file has been told already.
FileOutcome LoadFailed(const QString &fileName, LoadFailure failure, const QString &problem,
                       const QString &details = {})
{
    FileOutcome failed = Failed();
    if (IsNewLoadFailure(fileName, failure))
        failed.Tell(FileErrorNotice(fileName, problem, details));
    return failed;
}

// Reads a file of fixed size into the data model through `parse`. A file that
// does not exist is handed to `createNew`; a file that exists but cannot be
// read is reported and never replaced; a short one is reported, and what it
// holds stays in the data model.
FileOutcome LoadFixedFile(const QString &fileName, int size, const std::function<FileOutcome()> &createNew,
                          const std::function<void(ByteReader &)> &parse)
{
    QFile file(fileName);
    if (!file.exists()) {
        // A file that could not be created is not tried again at every
        // activation: the operator has been told.
        if (!IsNewLoadFailure(fileName, LoadFailure::Missing))
            return Failed();
        FileOutcome created;
        created.Tell(MissingFileNotice(fileName));
        if (created.Take(createNew()))
            NoteLoadSucceeded(fileName);
        return created;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        NoteUnreadable(fileName);
        return LoadFailed(fileName, LoadFailure::CannotOpen, QStringLiteral("не открывается для чтения."),
                          file.errorString());
    }
    const QByteArray bytes = file.read(size);
    if (file.error() != QFileDevice::NoError) {
        NoteUnreadable(fileName);
        return LoadFailed(fileName, LoadFailure::CannotRead, QStringLiteral("не читается."), file.errorString());
    }
    ByteReader in(bytes);
    parse(in);
    if (bytes.size() < size) {
        return LoadFailed(fileName, LoadFailure::Short,
                          QStringLiteral("короче положенного: %1 байт вместо %2. Прочитано только "
                                         "то, что в нём есть.")
                              .arg(bytes.size())
                              .arg(size));
    }
    NoteLoadSucceeded(fileName);
    return {};
}

// --- Configuration ---------------------------------------------------------

// Where the fields lie in the configuration file.
constexpr int PortAt = 0;
constexpr int SensorNumberAt = 1;
constexpr int IdentityAt = 3;

// Whether a save that changes `changed` writes word k.
bool ChangesWord(unsigned changed, int k)
{
    return (changed & ConfigSensorWords) || (k == VolumeCoefWord && (changed & ConfigVolumeCoef));
}

// The first sensor word a save would write that the configuration file could
// keep only cut down, or empty when every such word fits.
QString WordProblem(const std::array<int, SavedSensorWords> &words, unsigned changed)
{
    for (int k = 0; k < SavedSensorWords; ++k) {
        if (!ChangesWord(changed, k) || IsWord(words[k]))
            continue;
        QString what = QStringLiteral("слово %1").arg(k);
        if (k < int(InstrumentWordLabels.size()))
            what += QStringLiteral(" «%1»").arg(InstrumentWordLabels[k].trimmed());
        return NotAWord(what, words[k]);
    }
    return {};
}

// The configuration file as it is on disk now; empty when it cannot be read.
QByteArray ConfigOnDisk()
{
    QFile file(ConfigFileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(ConfigFileSize);
}

QByteArray ConfigImage(const std::array<int, SavedSensorWords> &words)
{
    QByteArray out;
    AppendByte(out, PortNumber);
    AppendWord(out, SensorNumber);
    AppendByte(out, ConfigNumber / 10000);
    AppendByte(out, ConfigNumber % 10000 / 100);
    AppendByte(out, ConfigNumber % 100);
    out.append("v9");
    for (int k = 0; k < SavedSensorWords; ++k)
        AppendWord(out, IsWord(words[k]) ? words[k] : 0);
    return out;
}

// `image` with the bytes [at, at + count) of `disk`, when the disk holds them.
void KeepFromDisk(QByteArray &image, const QByteArray &disk, int at, int count)
{
    if (disk.size() >= at + count)
        image.replace(at, count, disk.mid(at, count));
}

// The new file: the changed fields from memory, the others as on disk. A
// word the file cannot hold keeps what the disk has for it.
QByteArray MergedConfig(const std::array<int, SavedSensorWords> &words, unsigned changed)
{
    QByteArray image = ConfigImage(words);
    if (changed == ConfigAll && WordProblem(words, changed).isEmpty())
        return image;
    const QByteArray disk = ConfigOnDisk();
    if (!(changed & ConfigPort))
        KeepFromDisk(image, disk, PortAt, 1);
    if (!(changed & ConfigSensorNumber))
        KeepFromDisk(image, disk, SensorNumberAt, 2);
    if (!(changed & ConfigIdentity))
        KeepFromDisk(image, disk, IdentityAt, 3);
    for (int k = 0; k < SavedSensorWords; ++k) {
        if (!ChangesWord(changed, k) || !IsWord(words[k]))
            KeepFromDisk(image, disk, ConfigHeaderBytes + 2 * k, 2);
    }
    return image;
}

void TakePort(int port)
{
    PortNumber = port > 9 ? 1 : port;
    if (PortNumber != 0)
        PortName = QStringLiteral("COM%1").arg(PortNumber);
}

void ParseConfig(ByteReader &in)
{
    int port = 0;
    if (!in.Byte(port))
        return;
    TakePort(port);

    if (!in.Word(SensorNumber))
        return;
    int parts[] = {ConfigNumber / 10000, ConfigNumber % 10000 / 100, ConfigNumber % 100};
    const bool whole = in.Byte(parts[0]) && in.Byte(parts[1]) && in.Byte(parts[2]);
    ConfigNumber = (parts[0] * 100 + parts[1]) * 100 + parts[2];
    if (!whole)
        return;

    if (!in.Skip(2))   // the letters "v9"
        return;
    for (int k = 0; k < SavedSensorWords; ++k) {
        int word = SensorTable[k];
        const bool whole = in.Word(word);
        if (in.Position() > ConfigHeaderBytes + 2 * k) {
            SensorTable[k] = SensorTableSaved[k] = word;
            if (k == VolumeCoefWord)
                VolumeCoef = word;
        }
        if (!whole)
            return;
    }
}

FileOutcome CreateConfig()
{
    PortNumber = 1;
    PortName = QStringLiteral("COM1");
    return SaveConfig();
}

// --- Lists -----------------------------------------------------------------

// The names in the order of the list file.
std::vector<QByteArray *> NamesInFileOrder()
{
    std::vector<QByteArray *> names;
    for (int list = 1; list <= ListCount; ++list)
        names.push_back(&ListNames[list]);
    for (int list = 1; list <= ListCount; ++list) {
        for (QByteArray &person : PersonNames[list])
            names.push_back(&person);
    }
    return names;
}

QByteArray FixedName(const QByteArray &name)
{
    return name.left(NameLength).leftJustified(NameLength, ' ');
}

QByteArray ListsImage()
{
    QByteArray out;
    for (const QByteArray *name : NamesInFileOrder())
        out.append(FixedName(*name));
    return out;
}

void ParseLists(ByteReader &in)
{
    for (QByteArray *name : NamesInFileOrder()) {
        if (!in.Take(NameLength, *name))
            return;
    }
}

void FillDefaultLists()
{
    for (int list = 1; list <= ListCount; ++list) {
        ListNames[list] = ToCp1251(QStringLiteral("Название цеха %1").arg(list));
        for (int person = 0; person < PersonsPerList; ++person) {
            PersonNames[list][person] = ToCp1251(
                QStringLiteral("Цех %1 Фамилия %2").arg(list).arg(person, 2, 10, QLatin1Char('0')));
        }
    }
}

// --- Results ---------------------------------------------------------------

// The read mark in the reserved bytes 2..59 of the results file: byte 2 is
// 1 when a mark is kept, 3 and 4 the next record (low byte first), 5 is 1
// when the six bytes 6..11 hold the last record read, 12 and 13 the count of
// the file that the mark belongs to, 14 is 1 when the last step was cut off.
// The other reserved bytes stay 0.
// Offsets below count from byte 2.
constexpr int MarkKept = 1;
constexpr int MarkNextAt = 1;
constexpr int MarkHasLastReadAt = 3;
constexpr int MarkLastReadAt = 4;
constexpr int MarkCountAt = 10;
constexpr int MarkCutOffAt = 12;

QByteArray ReadMarkImage(int count)
{
    QByteArray out(ResultsReservedBytes, '\0');
    if (!ReadMark)
        return out;
    QByteArray mark;
    AppendByte(mark, MarkKept);
    AppendByte(mark, ReadMark->next);
    AppendByte(mark, ReadMark->next >> 8);
    AppendByte(mark, ReadMark->lastRead ? 1 : 0);
    const ResultRecord lastRead = ReadMark->lastRead.value_or(ResultRecord{});
    mark.append(reinterpret_cast<const char *>(lastRead.bytes.data()), RecordSize);
    AppendByte(mark, count);
    AppendByte(mark, count >> 8);
    AppendByte(mark, ReadMark->cutOff ? 1 : 0);
    return out.replace(0, mark.size(), mark);
}

// The mark kept in `reserved`, when it is whole and belongs to a file of
// `count` records.
std::optional<InstrumentReadMark> ParseReadMark(const QByteArray &reserved, int count)
{
    const auto byte = [&reserved](int offset) { return static_cast<uint8_t>(reserved[offset]); };
    const auto word = [&byte](int offset) { return byte(offset) + 256 * byte(offset + 1); };
    if (reserved.size() != ResultsReservedBytes || byte(0) != MarkKept || word(MarkCountAt) != count)
        return std::nullopt;
    InstrumentReadMark mark;
    mark.next = word(MarkNextAt);
    mark.cutOff = byte(MarkCutOffAt) == 1;
    const bool hasLastRead = byte(MarkHasLastReadAt) == 1;
    if (byte(MarkHasLastReadAt) > 1 || mark.next > InstrumentRecords || (hasLastRead && mark.next == 0))
        return std::nullopt;
    if (hasLastRead) {
        ResultRecord lastRead;
        std::copy_n(reserved.cbegin() + MarkLastReadAt, RecordSize, lastRead.bytes.begin());
        mark.lastRead = lastRead;
    }
    return mark;
}

int FileCount(const QByteArray &file)
{
    return static_cast<uint8_t>(file[0]) + 256 * static_cast<uint8_t>(file[1]);
}

QByteArray ResultsImage()
{
    QByteArray out;
    const int count = std::clamp(ResultCount, 0, ResultSlots);
    AppendByte(out, count);
    AppendByte(out, count >> 8);
    out.append(ReadMarkImage(count));
    for (const ResultRecord &record : Results)
        out.append(reinterpret_cast<const char *>(record.bytes.data()), RecordSize);
    return out;
}

void ParseResults(ByteReader &in)
{
    int count = ResultCount;
    if (!in.Byte(count))
        return;
    int high = 0;
    in.Byte(high);
    count += high * 256;

    QByteArray reserved(ResultsReservedBytes, '\0');
    const bool whole = in.Take(ResultsReservedBytes, reserved);
    ReadMark = whole ? ParseReadMark(reserved, count) : std::nullopt;

    // A file shorter than its count holds fewer records than it says.
    int slotsRead = 0;
    if (whole) {
        for (ResultRecord &record : Results) {
            if (!in.Take(record.bytes))
                break;
            ++slotsRead;
        }
    }
    ResultCount = std::min(count, slotsRead);
}

QString MissingText(const QString &fileName)
{
    return QStringLiteral("Файл ") + fileName + QStringLiteral("  не найден.");
}

} // namespace

FileOutcome SaveConfig(unsigned changed)
{
    FileOutcome outcome;
    if ((changed & ConfigSensorNumber) && !IsWord(SensorNumber)) {
        outcome.Fail({FileNotice::Kind::Warning,
                      QStringLiteral("Конфигурация не сохранена: ") + NotAWord(QStringLiteral("номер сенсора"), SensorNumber)
                          + QStringLiteral(" Файл ") + ConfigFileName + QStringLiteral(" оставлен без изменений."),
                      {}, false});
        return outcome;
    }
    std::array<int, SavedSensorWords> words{};
    std::copy_n(SensorTable.begin(), SavedSensorWords, words.begin());
    words[VolumeCoefWord] = VolumeCoef;
    std::copy(words.begin(), words.end(), SensorTable.begin());
    std::copy(words.begin(), words.end(), SensorTableSaved.begin());
    // The port choice and every word that fits are saved all the same: a
    // derived word out of range must not cost the operator the port.
    const QString problem = WordProblem(words, changed);
    if (!problem.isEmpty()) {
        outcome.Fail({FileNotice::Kind::Warning, QStringLiteral("Конфигурация сохранена не полностью: ") + problem
                                                     + QStringLiteral(" В файле ") + ConfigFileName
                                                     + QStringLiteral(" такие слова оставлены прежними."),
                      {}, false});
    }
    outcome.Take(ReplaceFile(ConfigFileName, MergedConfig(words, changed)));
    return outcome;
}

QByteArray ConfigFileBytes()
{
    const QByteArray disk = ConfigOnDisk();
    return disk.size() == ConfigFileSize ? disk : QByteArray();
}

void LoadConfigPort()
{
    const QByteArray disk = ConfigFileBytes();
    if (!disk.isEmpty())
        TakePort(static_cast<uint8_t>(disk[PortAt]));
}

FileOutcome PutBackConfig(const QByteArray &earlier, unsigned fields)
{
    const QByteArray disk = ConfigFileBytes();
    if (disk.isEmpty() || earlier.size() != ConfigFileSize)
        return {};
    QByteArray image = disk;
    if (fields & ConfigPort)
        KeepFromDisk(image, earlier, PortAt, 1);
    if (fields & ConfigSensorNumber)
        KeepFromDisk(image, earlier, SensorNumberAt, 2);
    if (fields & ConfigIdentity)
        KeepFromDisk(image, earlier, IdentityAt, 3);
    for (int k = 0; k < SavedSensorWords; ++k) {
        if (ChangesWord(fields, k))
            KeepFromDisk(image, earlier, ConfigHeaderBytes + 2 * k, 2);
    }
    return image == disk ? FileOutcome{} : ReplaceFile(ConfigFileName, image);
}

FileOutcome LoadConfig()
{
    return LoadFixedFile(ConfigFileName, ConfigFileSize, CreateConfig, ParseConfig);
}

FileOutcome SaveLists()
{
    return ReplaceFile(ListFileName, ListsImage());
}

FileOutcome LoadLists()
{
    const auto createDefaults = [] {
        FillDefaultLists();
        return SaveLists();
    };
    return LoadFixedFile(ListFileName, ListFileSize, createDefaults, ParseLists);
}

FileOutcome SaveResults()
{
    return ReplaceFile(ResultsFileName, ResultsImage());
}

FileOutcome LoadResults()
{
    return LoadFixedFile(ResultsFileName, ResultsFileSize, SaveResults, ParseResults);
}

FileOutcome ForgetInstrumentRecords()
{
    ReadMark = InstrumentReadMark{};
    QFile file(ResultsFileName);
    if (!file.exists())
        return {};   // the mark goes into the file when it is made
    const auto failed = [](const QString &problem, const QString &details = {}) {
        FileOutcome outcome = Failed();
        outcome.Tell(FileErrorNotice(ResultsFileName,
                                     problem + QStringLiteral(" Следующий \"Шаг\" найдет память прибора "
                                                              "измененной."),
                                     details));
        return outcome;
    };
    if (!file.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("не открывается для чтения."), file.errorString());
    QByteArray bytes = file.read(ResultsFileSize + 1);
    file.close();
    if (bytes.size() != ResultsFileSize)
        return failed(QStringLiteral("имеет размер %1 байт вместо %2.").arg(bytes.size()).arg(ResultsFileSize));
    bytes.replace(2, ResultsReservedBytes, ReadMarkImage(FileCount(bytes)));
    return ReplaceFile(ResultsFileName, bytes);
}

void MakeDailyFileName(const QDate &today)
{
    SetToday(today);
    DailyFileName = TwoDigits(TodayDay) + '_' + TwoDigits(TodayMonth) + QStringLiteral(".txt");
}

void MakeDailyFileName()
{
    MakeDailyFileName(PcNow().date());
}

FileOutcome ReplaceFile(const QString &fileName, const QByteArray &bytes)
{
    if (FileOutcome allowed = MayReplaceFile(fileName); !allowed)
        return allowed;
    FileOutcome outcome;
    const QFileInfo old(fileName);
    // The rename would go through even so (and the new file would be
    // writable): the operator's protection has to be honoured here.
    if (old.exists() && (!old.isWritable() || !(old.permissions() & QFileDevice::WriteOwner))) {
        outcome.Fail(FileErrorNotice(fileName, QStringLiteral("защищён от записи и оставлен без изменений.")));
        return outcome;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.Fail(FileErrorNotice(
            fileName, QStringLiteral("не удаётся создать для записи. Прежний файл оставлен без изменений."),
            file.errorString()));
        return outcome;
    }
    // A full disk shows only as a short count, and commit() would then keep
    // the truncated file: the count is what must be checked.
    const qint64 written = file.write(bytes);
    if (written != bytes.size() || !file.commit()) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("Записано %1 байт из %2.")
                                         .arg(std::max<qint64>(written, 0))
                                         .arg(bytes.size());
        outcome.Fail(FileErrorNotice(
            fileName, QStringLiteral("не удаётся записать. Прежний файл оставлен без изменений."), reason));
    }
    return outcome;
}

FileNotice MissingFileNotice(const QString &fileName)
{
    return {FileNotice::Kind::Warning,
            MissingText(fileName) + QStringLiteral("Будет создан новый файл")
                + QStringLiteral("Проверьте установки в программе"),
            {}, true};
}

FileNotice FileNotFoundNotice(const QString &fileName)
{
    return {FileNotice::Kind::Warning, MissingText(fileName), {}, true};
}

FileNotice FileErrorNotice(const QString &fileName, const QString &problem, const QString &details)
{
    return {FileNotice::Kind::Error, QStringLiteral("Ошибка ввода-вывода: файл ") + fileName + ' ' + problem, details};
}

QString HexByte(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

QString TwoDigits(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 10, QLatin1Char('0'));
}

QString JoinColon(int a, int b, int c)
{
    return TwoDigits(a) + ':' + TwoDigits(b) + ':' + TwoDigits(c);
}

QString JoinDash(int a, int b, int c)
{
    return TwoDigits(a) + '-' + TwoDigits(b) + '-' + TwoDigits(c);
}

QString NotAWord(const QString &what, int value)
{
    return QStringLiteral("%1 = %2, а допустимо от 0 до %3.").arg(what).arg(value).arg(MaxWord);
}

int TypedNumber(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == QLatin1Char('-') || text[pos] == QLatin1Char('+')))
        negative = text[pos++] == QLatin1Char('-');
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    for (; pos < text.size() && text[pos] >= QLatin1Char('0') && text[pos] <= QLatin1Char('9'); ++pos)
        value = std::min(value * 10 + text[pos].digitValue(), limit);
    value = negative ? -value : std::min(value, limit - 1);
    return static_cast<int>(value);
}

const std::array<QString, 32> SensorWordLabels = {
    QStringLiteral("Алкоголь 0.0"),
    QStringLiteral("Алкоголь 0.1"),
    QStringLiteral("Алкоголь 0.2"),
    QStringLiteral("Алкоголь 0.3"),
    QStringLiteral("Алкоголь 0.4"),
    QStringLiteral("Алкоголь 0.5"),
    QStringLiteral("Алкоголь 0.6"),
    QStringLiteral("Алкоголь 0.7"),
    QStringLiteral("Алкоголь 0.8"),
    QStringLiteral("Алкоголь 0.9"),
    QStringLiteral("Алкоголь 1.0"),
    QStringLiteral("Коэффиц. U/F"),
    QStringLiteral("G_FOULL     "),
    QStringLiteral("Служебн.    "),
    QStringLiteral("Переход 0.0/0.1"),
    QStringLiteral("Переход 0.1/0.2"),
    QStringLiteral("Переход 0.2/0.3"),
    QStringLiteral("Переход 0.3/0.4"),
    QStringLiteral("Переход 0.4/0.5"),
    QStringLiteral("Переход 0.5/0.6"),
    QStringLiteral("Переход 0.6/0.7"),
    QStringLiteral("Переход 0.7/0.8"),
    QStringLiteral("Переход 0.8/0.9"),
    QStringLiteral("Переход 0.9/1.0"),
    QStringLiteral("Переход 1.0/-  "),
    QStringLiteral("Питание        "),
    QStringLiteral("BLOW_OUT       "),
    QStringLiteral("Номер прибора  "),
    QStringLiteral("Стат. 0.5-0.9  "),
    QStringLiteral("Стат. 1.0-2.0  "),
    QStringLiteral("Стат. от 2.1   "),
    QStringLiteral("Номер сенсора  "),
};

const std::array<QString, SensorTableRows> InstrumentWordLabels = {
    QStringLiteral("Алкоголь 0.0"),
    QStringLiteral("Алкоголь 0.1"),
    QStringLiteral("Алкоголь 0.2"),
    QStringLiteral("Алкоголь 0.5"),
    QStringLiteral("Алкоголь 0.6"),
    QStringLiteral("Алкоголь 1.0"),
    QStringLiteral("Алкоголь 2.0"),
    QStringLiteral("Переход 0.0/0.1"),
    QStringLiteral("Переход 0.1/0.2"),
    QStringLiteral("Переход 0.2/0.3"),
    QStringLiteral("Переход 0.3/0.4"),
    QStringLiteral("Переход 0.4/0.5"),
    QStringLiteral("Переход 0.5/0.6"),
    QStringLiteral("Переход 0.6/0.7"),
    QStringLiteral("Переход 0.7/0.8"),
    QStringLiteral("Переход 0.8/0.9"),
    QStringLiteral("Переход 0.9/1.0"),
    QStringLiteral("k опред. объема"),
    QStringLiteral("Экстрополяция"),
    QStringLiteral("G_FOULL "),
    QStringLiteral("Коффиц. U/F "),
    QStringLiteral("№ прибора"),
    QStringLiteral("№ сенсора"),
};

const std::array<QString, 7> CalibrationPointLabels = {
    QStringLiteral("\"Чистый\" воздух"),
    QStringLiteral("0.1 промиле "),
    QStringLiteral("0.2 промиле "),
    QStringLiteral("0.5 промиле "),
    QStringLiteral("0.6 промиле "),
    QStringLiteral("1.0 промиле "),
    QStringLiteral("2.0 промиле "),
};
