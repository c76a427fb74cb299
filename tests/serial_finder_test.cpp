// Finding the adapter: the serial devices of a made-up /dev and /sys, what
// each port name opens, binding a port name, and why a port would not open.

#include "WorkDir.h"

#include "serial/PortFinder.h"
#include "shell/PortDev.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

// A file system tree of its own: files, links and folders by their system path.
class FakeRoot {
public:
    QString path(const QString &system) const { return m_dir.path() + system; }
    QString root() const { return m_dir.path(); }

    void file(const QString &system, const QByteArray &text = {}) const
    {
        QDir().mkpath(QFileInfo(path(system)).path());
        ASSERT_TRUE(WriteWholeFile(path(system), text));
    }
    void folder(const QString &system) const { ASSERT_TRUE(QDir().mkpath(path(system))); }
    // A link whose target is written as given (`inside`: a system path of this tree).
    void link(const QString &system, const QString &target, bool inside = true) const
    {
        QDir().mkpath(QFileInfo(path(system)).path());
        ASSERT_TRUE(QFile::link(inside ? path(target) : target, path(system))) << system.toStdString();
    }

    // A UART the kernel found (type 4) or only a node of it (type 0).
    void uart(const QString &name, int type) const
    {
        file("/dev/" + name);
        file("/sys/class/tty/" + name + "/type", QByteArray::number(type) + "\n");
    }
    // A USB serial port: the USB device with its product, the driver, the tty.
    void usbPort(const QString &name, const QString &usbDevice, const QByteArray &product, const QString &driver,
                 bool portBelowInterface) const
    {
        const QString usb = "/sys/devices/pci0000:00/usb1/" + usbDevice;
        const QString interface = usb + "/" + usbDevice + ":1.0";
        const QString device = portBelowInterface ? interface + "/" + name : interface;
        file(usb + "/product", product + "\n");
        folder(device);
        folder("/sys/bus/usb/drivers/" + driver);
        link(device + "/driver", "/sys/bus/usb/drivers/" + driver);
        link("/sys/class/tty/" + name + "/device", device);
        file("/dev/" + name);
    }

private:
    QTemporaryDir m_dir;
};

// The tree of a PC with a built-in port, two USB adapters and leftovers.
void BuildPc(const FakeRoot &fs)
{
    // Newer kernels put the serial core's port device below the hardware's.
    fs.uart("ttyS0", 4);
    const QString port = "/sys/devices/platform/serial8250/serial8250:0/serial8250:0.0";
    fs.folder(port);
    fs.folder("/sys/bus/platform/drivers/serial8250");
    fs.folder("/sys/bus/serial-base/drivers/port");
    fs.link("/sys/devices/platform/serial8250/driver", "/sys/bus/platform/drivers/serial8250");
    fs.link(port + "/driver", "/sys/bus/serial-base/drivers/port");
    fs.link("/sys/class/tty/ttyS0/device", port);
    fs.uart("ttyS1", 0);
    fs.file("/dev/ttyS2");   // no sysfs entry: no UART known
    fs.usbPort("ttyUSB0", "1-1", "FT232R USB UART", "ftdi_sio", true);
    fs.usbPort("ttyACM0", "1-2", "Pico", "cdc_acm", false);
    fs.file("/dev/ttyUSB10");
    fs.file("/dev/ttyUSB2");
    for (const char *other : {"/dev/tty0", "/dev/ttyprintk", "/dev/console", "/dev/ttyUSB"})
        fs.file(other);
    fs.link("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0", false);
    fs.link("/dev/serial/by-id/usb-gone-if00-port0", "../../ttyUSB7", false);
}

} // namespace

TEST(PortFinder, ListsThePortsPresentWithTheirNames)
{
    FakeRoot fs;
    BuildPc(fs);
    const QList<SerialDevice> devices = ListSerialDevices(fs.root());
    QStringList names;
    for (const SerialDevice &device : devices)
        names << device.device;
    EXPECT_EQ(names, (QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
    ASSERT_EQ(devices.size(), 5);

    EXPECT_EQ(devices[0].description, "Pico (cdc_acm)");
    EXPECT_EQ(devices[1].description, "serial8250");
    EXPECT_EQ(devices[2].description, "FT232R USB UART (ftdi_sio)");
    EXPECT_EQ(devices[2].byId, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(devices[2].bindPath(), devices[2].byId);
    EXPECT_EQ(devices[3].bindPath(), "/dev/ttyUSB2");
    EXPECT_TRUE(devices[3].description.isEmpty());

    EXPECT_TRUE(ListSerialDevices(fs.path("/nowhere")).isEmpty());
}

TEST(PortFinder, TellsWhatEachPortNameOpens)
{
    FakeRoot fs;
    BuildPc(fs);
    ScopedWorkDir work;
    ASSERT_TRUE(QFile::link("/dev/ttyUSB0", work.file("COM2")));
    ASSERT_TRUE(QFile::link("/dev/ttyUSB7", work.file("COM3")));
    ASSERT_TRUE(WriteWholeFile(work.file("COM4"), "notes"));

    struct Case {
        int number;
        QString summary;
        bool present;
    };
    const Case cases[] = {
        {1, "/dev/ttyS0", true},
        {2, "COM2 → /dev/ttyUSB0", true},
        {3, "COM3 → /dev/ttyUSB7  (нет устройства)", false},
        {4, "COM4: файл в рабочей папке, не порт", true},
        {5, "/dev/ttyS4  (нет устройства)", false},
    };
    for (const Case &c : cases) {
        const ComPortTarget target = DescribeComPort(c.number, work.path(), fs.root());
        EXPECT_EQ(ComPortSummary(target), c.summary) << c.number;
        EXPECT_EQ(target.present, c.present) << c.number;
    }
    // ttyS1 has its node but no UART behind it.
    EXPECT_EQ(ComPortSummary(DescribeComPort(2, fs.path("/none"), fs.root())), "/dev/ttyS1  (нет устройства)");
}

TEST(PortFinder, BindsAPortNameByALinkAndLeavesFilesAlone)
{
    ScopedWorkDir work;
    QString error;
    ASSERT_TRUE(BindComPort(3, "/dev/ttyUSB0", work.path(), error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(work.file("COM3")).symLinkTarget(), "/dev/ttyUSB0");

    ASSERT_TRUE(BindComPort(3, "/dev/serial/by-id/usb-x", work.path(), error)) << error.toStdString();
    EXPECT_EQ(QFileInfo(work.file("COM3")).symLinkTarget(), "/dev/serial/by-id/usb-x");

    ASSERT_TRUE(WriteWholeFile(work.file("COM4"), "notes"));
    ASSERT_TRUE(QDir(work.path()).mkdir("COM5"));
    for (int number : {4, 5}) {
        EXPECT_FALSE(BindComPort(number, "/dev/ttyUSB0", work.path(), error));
        EXPECT_TRUE(error.contains(QStringLiteral("COM%1").arg(number))) << error.toStdString();
    }
    EXPECT_EQ(ReadWholeFile(work.file("COM4")), "notes");
    EXPECT_TRUE(QFileInfo(work.file("COM5")).isDir());
    // Nothing left beside the names.
    EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{"COM3", "COM4", "COM5"}));
}

TEST(PortFinder, TheCauseNamesTheDeviceAndWhatToDo)
{
    FakeRoot fs;
    fs.file("/proc/4242/comm", "minicom\n");
    fs.link("/proc/4242/fd/3", "/dev/ttyUSB0", false);
    fs.file("/proc/17/comm", "bash\n");
    fs.link("/proc/17/fd/0", "/dev/pts/0", false);
    fs.file("/proc/self/comm", "x\n");

    EXPECT_EQ(PortHolders("/dev/ttyUSB0", fs.root()), QStringList{"minicom (pid 4242)"});
    const QString busy = PortFailureCause(EBUSY, "/dev/ttyUSB0", fs.root());
    EXPECT_TRUE(busy.startsWith("Port busy")) << busy.toStdString();
    EXPECT_TRUE(busy.contains("/dev/ttyUSB0: minicom (pid 4242)")) << busy.toStdString();

    const QString unknownHolder = PortFailureCause(EBUSY, "/dev/ttyUSB1", fs.root());
    EXPECT_TRUE(unknownHolder.contains("another program holds /dev/ttyUSB1 (")) << unknownHolder.toStdString();
    EXPECT_TRUE(PortFailureCause(EACCES, "/dev/ttyUSB0", fs.root()).contains("dialout group"));
    const QString missing = PortFailureCause(ENOENT, "/dev/ttyUSB3", fs.root());
    EXPECT_TRUE(missing.startsWith("Not found: there is no serial port /dev/ttyUSB3")) << missing.toStdString();

    // A port name's link says where it points.
    ScopedWorkDir work;
    ASSERT_TRUE(QFile::link("/dev/ttyUSB9", work.file("COM1")));
    EXPECT_TRUE(PortFailureCause(ENOENT, work.file("COM1"), fs.root()).contains("(a link to /dev/ttyUSB9)"));
}

TEST(PortFinder, TheWindowBindsTheChosenDevice)
{
    FakeRoot fs;
    BuildPc(fs);
    ScopedWorkDir work;
    TPortDevF window(fs.root(), work.path(), 2);
    ASSERT_EQ(window.GridDevices->rowCount(), 5);
    EXPECT_EQ(window.GridDevices->item(2, 1)->text(), "FT232R USB UART (ftdi_sio)");
    EXPECT_EQ(window.box_Com->currentText(), "COM2");

    window.GridDevices->selectRow(2);
    window.box_Com->setCurrentIndex(5);
    window.Key_Bind->click();
    EXPECT_EQ(window.BoundPort(), 6);
    EXPECT_EQ(QFileInfo(work.file("COM6")).symLinkTarget(),
              "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

    ASSERT_TRUE(WriteWholeFile(work.file("COM7"), "notes"));
    window.box_Com->setCurrentIndex(6);
    window.Key_Bind->click();
    EXPECT_EQ(window.BoundPort(), 6);
    EXPECT_TRUE(window.LBindNote->text().contains("COM7")) << window.LBindNote->text().toStdString();

    TPortDevF empty(fs.path("/none"), work.path(), 1);
    EXPECT_EQ(empty.GridDevices->rowCount(), 0);
    EXPECT_FALSE(empty.Key_Bind->isEnabled());
}
