#include "shell/PortDev.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int PortCount = 9;

} // namespace

TPortDevF::TPortDevF(const QString &root, const QString &workDir, int portNumber, QWidget *parent)
    : QDialog(parent), m_root(root), m_workDir(workDir)
{
    setObjectName("PortDevF");
    setWindowTitle(QStringLiteral("Последовательные порты"));

    GridDevices = new QTableWidget(0, 3, this);
    GridDevices->setObjectName("GridDevices");
    GridDevices->setHorizontalHeaderLabels(
        {QStringLiteral("Устройство"), QStringLiteral("Описание"), QStringLiteral("Постоянное имя")});
    GridDevices->verticalHeader()->hide();
    GridDevices->horizontalHeader()->setStretchLastSection(true);
    GridDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridDevices->setSelectionMode(QAbstractItemView::SingleSelection);

    box_Com = new QComboBox(this);
    box_Com->setObjectName("box_Com");
    for (int number = 1; number <= PortCount; ++number)
        box_Com->addItem(QStringLiteral("COM%1").arg(number), number);
    box_Com->setCurrentIndex(qBound(1, portNumber, PortCount) - 1);

    Key_Bind = new QPushButton(QStringLiteral("Связать"), this);
    Key_Bind->setObjectName("Key_Bind");
    Key_Bind->setToolTip(QStringLiteral("Связать выбранное устройство с именем порта"));
    Key_Refresh = new QPushButton(QStringLiteral("Обновить"), this);
    Key_Refresh->setObjectName("Key_Refresh");
    Key_Close = new QPushButton(QStringLiteral("Закрыть"), this);
    Key_Close->setObjectName("Key_Close");
    for (QPushButton *button : {Key_Bind, Key_Refresh, Key_Close})
        button->setAutoDefault(false);
    LBindNote = new QLabel(this);
    LBindNote->setObjectName("LBindNote");
    LBindNote->setWordWrap(true);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Имя порта:"), this));
    row->addWidget(box_Com);
    row->addWidget(Key_Bind);
    row->addStretch();
    row->addWidget(Key_Refresh);
    row->addWidget(Key_Close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GridDevices, 1);
    layout->addLayout(row);
    layout->addWidget(LBindNote);
    resize(640, 300);

    connect(Key_Bind, &QPushButton::clicked, this, &TPortDevF::Key_BindClick);
    connect(Key_Refresh, &QPushButton::clicked, this, &TPortDevF::Key_RefreshClick);
    connect(Key_Close, &QPushButton::clicked, this, &QDialog::accept);
    Key_RefreshClick();
}

void TPortDevF::Key_RefreshClick()
{
    m_devices = ListSerialDevices(m_root);
    GridDevices->setRowCount(int(m_devices.size()));
    for (int row = 0; row < m_devices.size(); ++row) {
        const SerialDevice &device = m_devices[row];
        const QString texts[3] = {device.device, device.description, device.byId};
        for (int column = 0; column < 3; ++column)
            GridDevices->setItem(row, column, new QTableWidgetItem(texts[column]));
    }
    GridDevices->resizeColumnsToContents();
    if (!m_devices.isEmpty())
        GridDevices->selectRow(0);
    Key_Bind->setEnabled(!m_devices.isEmpty());
    if (m_devices.isEmpty())
        LBindNote->setText(QStringLiteral("Последовательные порты не найдены. Подключите адаптер и нажмите \"Обновить\"."));
}

void TPortDevF::Key_BindClick()
{
    const int row = GridDevices->currentRow();
    if (row < 0 || row >= m_devices.size())
        return;
    const int number = box_Com->currentData().toInt();
    const QString target = m_devices[row].bindPath();
    QString error;
    if (!BindComPort(number, target, m_workDir, error)) {
        LBindNote->setText(error);
        return;
    }
    m_bound = number;
    LBindNote->setText(QStringLiteral("COM%1 → %2").arg(number).arg(target));
}
