#include "views/List.h"

#include "exchange/Transfers.h"
#include "shell/FirstUse.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/ListTransfer.h"
#include "views/Stat.h"
#include "views/ViewCommon.h"
#include "shell/Message.h"

#include <QFile>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

TListF *ListF = nullptr;

TListF *ListWindow()
{
    return MadeOnFirstUse(ListF);
}

namespace {

const QStringList MemoLines = {
    QStringLiteral("Прибор  \"Орбиск 7м\"  хранит  8  списков "),
    QStringLiteral("по 64 строки  в  каждом  списке."),
    QStringLiteral("Название  списка  и  каждая  строка  не  "),
    QStringLiteral("должны  превышать  16  символов."),
};

constexpr int FioRows = PersonsPerList + 1;
constexpr int GridRowHeight = 18;

// Hands every change of an edited cell's text to `edited` as it is typed, so
// that the lists always hold what the grid shows. An edit given up with
// Escape hands back the text the cell kept.
class LiveEditDelegate : public QStyledItemDelegate {
public:
    using Edited = std::function<void(int row, const QString &text)>;

    LiveEditDelegate(Edited edited, QObject *parent) : QStyledItemDelegate(parent), m_edited(std::move(edited)) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            const int row = index.row();
            const QString kept = index.data().toString();
            connect(line, &QLineEdit::textEdited, this, [this, row](const QString &text) { m_edited(row, text); });
            connect(this, &QAbstractItemDelegate::closeEditor, line,
                    [this, line, row, kept](QWidget *closed, EndEditHint hint) {
                        if (closed == line && hint == RevertModelCache && line->text() != kept)
                            m_edited(row, kept);
                    });
        }
        return editor;
    }

private:
    Edited m_edited;
};

QTableWidget *MakeNameGrid(QWidget *parent, const char *name, int rows, int columns)
{
    auto *grid = new QTableWidget(rows, columns, parent);
    grid->setObjectName(name);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    grid->setFont(GridFont());
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::SelectedClicked);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column)
            grid->setItem(row, column, new QTableWidgetItem);
    }
    return grid;
}

// The fixed row and column of a grid: shown like a header, never edited.
void MakeFixed(QTableWidgetItem *item, const QPalette &palette)
{
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(palette.button());
}

QToolButton *MakeListButton(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setMinimumSize(110, 30);
    return button;
}

// An open editor would later write its old text over names just read.
void CloseEditors(QTableWidget *grid)
{
    if (!grid->viewport()->findChildren<QLineEdit *>().isEmpty())
        grid->reset();
}

} // namespace

TListF::TListF(QWidget *parent) : QDialog(parent)
{
    setObjectName("ListF");
    setWindowTitle(QStringLiteral("Списки  тестируемых"));

    Memo1 = new QPlainTextEdit(MemoLines.join('\n'), this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFixedHeight(80);

    GroupBox1 = new QGroupBox(QStringLiteral(" Названия  списков  тестируемых  "), this);
    GroupBox1->setObjectName("GroupBox1");
    GridName = MakeNameGrid(GroupBox1, "GridName", ListCount, 1);
    GridName->setColumnWidth(0, 184);
    GridName->setFixedSize(184 + 4, ListCount * GridRowHeight + 4);
    auto *groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(GridName);

    GridFIO = MakeNameGrid(this, "GridFIO", FioRows, 2);
    GridFIO->setColumnWidth(0, 50);
    GridFIO->setColumnWidth(1, 184);
    GridFIO->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    GridFIO->setFixedWidth(50 + 184 + GridFIO->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    for (int row = 0; row < FioRows; ++row)
        MakeFixed(GridFIO->item(row, 0), palette());
    MakeFixed(GridFIO->item(0, 1), palette());

    GridName->setItemDelegate(new LiveEditDelegate(
        [this](int row, const QString &text) { GridNameSetEditText(row, text); }, GridName));
    GridFIO->setItemDelegate(new LiveEditDelegate(
        [this](int row, const QString &text) { GridFIOSetEditText(row, text); }, GridFIO));

    auto *left = new QVBoxLayout;
    left->addWidget(Memo1);
    left->addWidget(GroupBox1);
    left->addWidget(BuildButtons());
    left->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(GridFIO);
    resize(560, 560);

    connect(GridName, &QTableWidget::currentCellChanged, this, [this](int row) { GridNameSelectCell(row); });
    connect(GridName, &QTableWidget::itemChanged, this, &TListF::NameCommitted);
    connect(GridFIO, &QTableWidget::currentCellChanged, this, [this](int row) { GridFIOSelectCell(row); });
    connect(GridFIO, &QTableWidget::itemChanged, this, &TListF::PersonCommitted);
    connect(GridFIO, &QTableWidget::cellDoubleClicked, this, [this](int row) { GridFIODblClick(row); });
    connect(KeyInput, &QToolButton::clicked, this, &TListF::KeyInputClick);
    connect(Key_InputSel, &QToolButton::clicked, this, &TListF::Key_InputSelClick);
    connect(Key_OutputSel, &QToolButton::clicked, this, &TListF::Key_OutputSelClick);
    connect(init_EEPROM, &QToolButton::clicked, this, &TListF::init_EEPROMClick);
    connect(Key_Exit, &QToolButton::clicked, this, &TListF::Key_ExitClick);
}

QWidget *TListF::BuildButtons()
{
    auto *panel = new QWidget(this);
    KeyInput = MakeListButton(panel, "KeyInput", QStringLiteral("Очистить"),
                              QStringLiteral("Очистить выбранный список"));
    Key_InputSel = MakeListButton(panel, "Key_InputSel", QStringLiteral("Прием"),
                                  QStringLiteral("Считать выбранный список из прибора"));
    Key_OutputSel = MakeListButton(panel, "Key_OutputSel", QStringLiteral("Передать"),
                                   QStringLiteral("Записать выбранный список в прибор"));
    init_EEPROM = MakeListButton(panel, "init_EEPROM", QStringLiteral("Инициализация"),
                                 QStringLiteral("Очистить выбранный список"));
    Key_Exit = MakeExitButton(panel);

    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(KeyInput, 0, 0);
    grid->addWidget(init_EEPROM, 0, 1);
    grid->addWidget(Key_InputSel, 1, 0);
    grid->addWidget(Key_OutputSel, 1, 1);
    grid->addWidget(Key_Exit, 0, 2, 2, 1);
    return panel;
}

void TListF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Only an opening activates the window, not the return from an
    // exchange or a message box.
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TListF::FormActivate, Qt::QueuedConnection);
}

void TListF::FormActivate()
{
    Key_Exit->setDown(false);
    m_list = IsListNumber(CurrentList) ? CurrentList : 1;
    m_fileRead = Report(LoadLists());
    m_saveOnClose = false;
    m_listSaveFailed = false;
    ShowLists();
}

void TListF::SetCell(QTableWidget *grid, int row, int column, const QString &text)
{
    const QSignalBlocker blocker(grid);
    grid->item(row, column)->setText(text);
}

void TListF::ShowLists()
{
    CloseEditors(GridName);
    CloseEditors(GridFIO);
    for (int list = 1; list <= ListCount; ++list)
        SetCell(GridName, list - 1, 0, FromCp1251(ListNames[list]));
    {
        const QSignalBlocker blocker(GridName);
        GridName->setCurrentCell(m_list - 1, 0);
    }
    ShowPersons(m_list);
    for (int row = 1; row < FioRows; ++row)
        SetCell(GridFIO, row, 0, QStringLiteral("%1").arg(row, 2));
}

void TListF::ShowPersons(int list)
{
    if (!IsListNumber(list))
        return;
    SetCell(GridFIO, 0, 1, FromCp1251(ListNames[list]));
    for (int person = 0; person < PersonsPerList; ++person)
        SetCell(GridFIO, person + 1, 1, FromCp1251(PersonNames[list][person]));
}

void TListF::GridNameSelectCell(int row)
{
    if (!IsListNumber(row + 1))
        return;
    m_list = row + 1;
    CurrentList = m_list;
    ShowPersons(m_list);
}

void TListF::GridNameSetEditText(int row, const QString &text)
{
    if (!IsListNumber(row + 1))
        return;
    ListNames[row + 1] = NormalisedName(text);
    m_list = row + 1;
    CurrentList = m_list;
    ShowPersons(m_list);
    m_saveOnClose = true;
}

// A finished edit: the cell shows the name as it is kept and sent, cut to
// 16 characters, with what CP1251 lacks replaced.
void TListF::NameCommitted(QTableWidgetItem *item)
{
    const int row = item->row();
    GridNameSetEditText(row, item->text());
    if (IsListNumber(row + 1))
        SetCell(GridName, row, 0, FromCp1251(ListNames[row + 1]));
}

void TListF::PersonCommitted(QTableWidgetItem *item)
{
    const int row = item->row();
    GridFIOSetEditText(row, item->text());
    if (row >= 1 && row <= PersonsPerList && IsListNumber(m_list))
        SetCell(GridFIO, row, 1, FromCp1251(PersonNames[m_list][row - 1]));
}

void TListF::GridFIOSelectCell(int row)
{
    if (row > 0)
        CurrentPerson = row - 1;
}

void TListF::GridFIOSetEditText(int row, const QString &text)
{
    if (row < 1 || row > PersonsPerList || !IsListNumber(m_list))
        return;
    PersonNames[m_list][row - 1] = NormalisedName(text);
    CurrentPerson = row - 1;
    m_saveOnClose = true;
}

void TListF::GridFIODblClick(int row)
{
    if (row < 1 || row > PersonsPerList)
        return;
    CurrentList = m_list;
    CurrentPerson = row - 1;
    StatPage = 0;
    // The statistics show the lists as this window shows them, from memory:
    // the file may since have been replaced or removed. The edits are saved
    // on the way; a save that fails is told once.
    if (m_saveOnClose && !m_listSaveFailed)
        m_listSaveFailed = !Report(SaveLists());
    if (TStatF *stat = StatWindow())
        stat->Open(this, TStatF::ListsOnOpening::KeepInMemory);
}

void TListF::KeyInputClick()
{
    if (!IsListNumber(m_list))
        return;
    PersonNames[m_list].fill(QByteArray(NameLength, ' '));
    m_saveOnClose = true;
    ShowLists();
}

void TListF::Key_InputSelClick()
{
    if (!ReadListFromInstrument(m_list))
        return;
    m_saveOnClose = true;
    ShowLists();
}

void TListF::Key_OutputSelClick()
{
    const QStringList changed = NamesTheDisplayChanges(m_list);
    if (!changed.isEmpty()
        && ShowWarning(QStringLiteral("Дисплей прибора не показывает некоторые знаки. "
                                      "Из прибора эти имена вернутся такими:\n")
                           + changed.join('\n'),
                       QMessageBox::Ok | QMessageBox::Cancel)
               != QMessageBox::Ok)
        return;
    WriteListToInstrument(m_list);
}

void TListF::init_EEPROMClick()
{
    ClearListRegisters();
}

void TListF::Key_ExitClick()
{
    accept();
}

void TListF::done(int result)
{
    // Only what was changed here is written: a list file that could not be
    // read, or that another copy of the program saved meanwhile, is not
    // overwritten by names the operator never touched. A file that has gone
    // meanwhile is written again with the lists shown.
    if (m_saveOnClose || (m_fileRead && !QFile::exists(ListFileName)))
        Report(SaveLists());
    QDialog::done(result);
}
