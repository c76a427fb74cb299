#include "views/Arch.h"

#include "shell/FileChoice.h"
#include "shell/FirstUse.h"
#include "shell/Message.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "store/Spreadsheet.h"
#include "views/ArchiveModel.h"
#include "views/ViewCommon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TArchF *ArchF = nullptr;

TArchF *ArchWindow()
{
    return MadeOnFirstUse(ArchF);
}

namespace {

const int ColumnWidths[ArchColumnCount] = {150, 50, 139, 139, 45, 60, 70, 135, 110};

QLabel *AddLabel(QGridLayout *grid, const QString &text, int row, int column)
{
    auto *label = new QLabel(text);
    grid->addWidget(label, row, column);
    return label;
}

QLineEdit *MakeEdit(const char *name, const QString &placeholder)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

QDateEdit *MakeDate(const char *name)
{
    auto *date = new QDateEdit;
    date->setObjectName(name);
    date->setCalendarPopup(true);
    date->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    return date;
}

QByteArray WholeFile(const QString &path, bool &read)
{
    QFile file(path);
    read = file.open(QIODevice::ReadOnly);
    return read ? file.readAll() : QByteArray();
}

} // namespace

QString ImportedText(const ArchiveAdded &added)
{
    return QStringLiteral("Добавлено в архив тестов: %1.\nУже были в архиве: %2.").arg(added.added).arg(added.already);
}

TArchF::TArchF(QWidget *parent) : QDialog(parent)
{
    setObjectName("ArchF");
    setWindowTitle(QStringLiteral("Архив"));

    m_model = new ArchiveModel(this);
    GridArch = new QTableView(this);
    GridArch->setObjectName("GridArch");
    GridArch->setModel(m_model);
    GridArch->setFont(GridFont());
    GridArch->setSortingEnabled(true);
    GridArch->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridArch->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridArch->verticalHeader()->setDefaultSectionSize(GridArch->fontMetrics().height() + 4);
    GridArch->horizontalHeader()->setSortIndicator(ArchTested, Qt::DescendingOrder);
    // The file's name column takes the room left, so its title shows whole.
    GridArch->horizontalHeader()->setStretchLastSection(true);
    // The header has its sections once the first search has run.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model->columnCount() != ArchColumnCount || m_widthsSet)
            return;
        m_widthsSet = true;
        for (int column = 0; column < ArchColumnCount; ++column)
            GridArch->setColumnWidth(column, ColumnWidths[column]);
    });

    Key_Exit = MakeExitButton(this);
    Key_Export = MakeExportButton(this);
    Key_Import = new QPushButton(QStringLiteral("Импорт в архив..."), this);
    Key_Import->setObjectName("Key_Import");
    Key_Import->setToolTip(QStringLiteral("Добавить в архив тесты файла результатов (например, старого orbisk_a.dat)"));
    Key_Import->setAutoDefault(false);
    LabelCount = new QLabel(this);
    LabelCount->setObjectName("LabelCount");

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(LabelCount, 1);
    bottom->addWidget(Key_Import);
    bottom->addWidget(Key_Export);
    auto *top = new QHBoxLayout;
    top->addWidget(BuildSearch(), 1);
    top->addWidget(Key_Exit, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(GridArch, 1);
    layout->addLayout(bottom);
    resize(1000, 600);

    connect(key_Poisk, &QPushButton::clicked, this, &TArchF::key_PoiskClick);
    connect(Key_Export, &QPushButton::clicked, this, &TArchF::Key_ExportClick);
    connect(Key_Import, &QPushButton::clicked, this, &TArchF::Key_ImportClick);
    connect(Key_Exit, &QToolButton::clicked, this, &TArchF::Key_ExitClick);
    for (QLineEdit *edit : {edit_Name, edit_Instrument, edit_ResultFrom, edit_ResultTo})
        connect(edit, &QLineEdit::returnPressed, this, &TArchF::key_PoiskClick);
    connect(check_Period, &QCheckBox::toggled, date_From, &QWidget::setEnabled);
    connect(check_Period, &QCheckBox::toggled, date_To, &QWidget::setEnabled);
}

QWidget *TArchF::BuildSearch()
{
    auto *box = new QWidget(this);
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);

    edit_Name = MakeEdit("edit_Name", QStringLiteral("часть фамилии или имени"));
    box_List = new QComboBox;
    box_List->setObjectName("box_List");
    edit_Instrument = MakeEdit("edit_Instrument", QStringLiteral("любой"));
    edit_Instrument->setValidator(new QIntValidator(0, MaxWord, edit_Instrument));
    check_Period = new QCheckBox(QStringLiteral("Период с"));
    check_Period->setObjectName("check_Period");
    date_From = MakeDate("date_From");
    date_To = MakeDate("date_To");
    edit_ResultFrom = MakeEdit("edit_ResultFrom", QStringLiteral("0.0"));
    edit_ResultTo = MakeEdit("edit_ResultTo", QStringLiteral("6.3"));
    key_Poisk = new QPushButton(QStringLiteral("ПОИСК"));
    key_Poisk->setObjectName("key_Poisk");
    key_Poisk->setDefault(true);

    AddLabel(grid, QStringLiteral("ФИО:"), 0, 0);
    grid->addWidget(edit_Name, 0, 1, 1, 3);
    AddLabel(grid, QStringLiteral("Список:"), 0, 4);
    grid->addWidget(box_List, 0, 5, 1, 3);
    AddLabel(grid, QStringLiteral("Прибор №:"), 1, 0);
    grid->addWidget(edit_Instrument, 1, 1);
    grid->addWidget(check_Period, 1, 2);
    grid->addWidget(date_From, 1, 3);
    AddLabel(grid, QStringLiteral("по"), 1, 4);
    grid->addWidget(date_To, 1, 5);
    AddLabel(grid, QStringLiteral("Рез. от"), 1, 6);
    auto *results = new QHBoxLayout;
    results->addWidget(edit_ResultFrom);
    results->addWidget(new QLabel(QStringLiteral("до")));
    results->addWidget(edit_ResultTo);
    grid->addLayout(results, 1, 7);
    grid->addWidget(key_Poisk, 0, 8, 2, 1);
    return box;
}

void TArchF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TArchF::FormActivate, Qt::QueuedConnection);
}

void TArchF::FillListBox()
{
    const int chosen = box_List->currentIndex();
    box_List->clear();
    box_List->addItem(QStringLiteral("все"));
    box_List->addItem(QStringLiteral("0  анонимные тесты"));
    for (int list = 1; list <= ListCount; ++list)
        box_List->addItem(QStringLiteral("%1  %2").arg(list).arg(WithoutPadding(FromCp1251(ListNames[list]))));
    box_List->setCurrentIndex(std::max(chosen, 0));
}

void TArchF::FormActivate()
{
    Key_Exit->setDown(false);
    Report(LoadLists());
    FillListBox();
    if (!check_Period->isChecked()) {
        const QDate today = PcNow().date();
        date_From->setDate(today.addYears(-1));
        date_To->setDate(today);
        date_From->setEnabled(false);
        date_To->setEnabled(false);
    }
    const bool open = ProgramArchive() != nullptr;
    for (QWidget *control : std::initializer_list<QWidget *>{key_Poisk, Key_Export, Key_Import})
        control->setEnabled(open);
    key_PoiskClick();
}

ArchiveFilter TArchF::Filter() const
{
    ArchiveFilter filter;
    filter.name = edit_Name->text();
    if (box_List->currentIndex() > 0)
        filter.list = box_List->currentIndex() - 1;
    if (!edit_Instrument->text().trimmed().isEmpty())
        filter.instrument = edit_Instrument->text().toInt();
    if (check_Period->isChecked()) {
        filter.from = date_From->date();
        filter.to = date_To->date();
    }
    filter.resultFrom = TypedTenths(edit_ResultFrom->text());
    filter.resultTo = TypedTenths(edit_ResultTo->text());
    return filter;
}

void TArchF::key_PoiskClick()
{
    const Archive *archive = ProgramArchive();
    if (!archive) {
        m_model->Show(nullptr, {});
        LabelCount->setText(QStringLiteral("Архив недоступен: программа работает без него."));
        return;
    }
    const ArchiveFilter filter = Filter();
    m_model->Show(archive, filter);
    LabelCount->setText(QStringLiteral("Найдено тестов: %1").arg(archive->Count(filter)));
}

void TArchF::Key_ExportClick()
{
    // The tests found, as shown: fields changed since the search do not count.
    if (const Archive *archive = ProgramArchive())
        ExportToSpreadsheet(this, ArchiveEntries(*archive, m_model->Filter(), m_model->SortColumn(),
                                                 m_model->SortOrder()));
}

void TArchF::Key_ImportClick()
{
    Archive *archive = ProgramArchive();
    if (!archive)
        return;
    const QString path = ChooseOpenFile(this, {QStringLiteral("Импорт в архив"),
                                               QDir::current().absoluteFilePath(QString::fromLatin1(ResultsFileName)),
                                               QStringLiteral("Файл результатов (*.dat);;Все файлы (*)"), {}});
    if (path.isEmpty())
        return;
    bool read = false;
    const QByteArray results = WholeFile(path, read);
    if (!read) {
        ShowWarning(QStringLiteral("Файл %1 не удалось прочитать.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    bool listsRead = false;
    const QByteArray lists = WholeFile(QFileInfo(path).dir().filePath(QString::fromLatin1(ListFileName)), listsRead);
    QString error;
    const std::optional<ArchiveAdded> added =
        archive->Import(results, lists, QFileInfo(path).absoluteFilePath(), PcNow(), error);
    if (!added) {
        ShowWarning(QStringLiteral("Тесты файла %1 не добавлены в архив: %2.").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    ShowInfo(ImportedText(*added));
    key_PoiskClick();
}

void TArchF::Key_ExitClick()
{
    accept();
}
