#pragma once
// Finding the instrument's adapter: what each port name opens today, which
// serial devices are present, binding a port name to one of them, and why a
// port could not be opened. Every function takes the folder that stands for
// the file system's root (for /dev, /sys and /proc), so that tests can build
// trees of their own; the program passes "/".

#include <QList>
#include <QString>
#include <QStringList>

// What the port name COMn opens: the file or link COMn in the working folder
// when there is one, otherwise /dev/ttyS(n-1).
struct ComPortTarget {
    QString comName;      // "COM3"
    QString localPath;    // COMn in the working folder; empty when there is none
    bool localIsLink = false;
    QString linkTarget;   // where the link points, as written in it
    QString device;       // the path opened, as the system names it
    bool present = false; // the device is there
};
ComPortTarget DescribeComPort(int number, const QString &workDir, const QString &root = QStringLiteral("/"));

// One line for the port menu: "COM3 → /dev/ttyUSB0", "/dev/ttyS0 (нет устройства)".
QString ComPortSummary(const ComPortTarget &target);

// A serial device present on the system.
struct SerialDevice {
    QString device;        // /dev/ttyUSB0
    QString byId;          // its /dev/serial/by-id link, when there is one
    QString description;   // the USB product and the driver, as far as known
    // The name a port name is best bound to: the by-id link stays with the
    // adapter when it is plugged in elsewhere or after another one.
    QString bindPath() const { return byId.isEmpty() ? device : byId; }
};

// /dev/ttyUSB*, /dev/ttyACM* and the /dev/ttyS* that have a UART behind them
// (the kernel makes ttyS0..ttyS31 whether or not there is hardware), with
// their by-id links; sorted by device name.
QList<SerialDevice> ListSerialDevices(const QString &root = QStringLiteral("/"));

// Makes COMn in `workDir` a link to `device`, replacing a link of that name
// in one step. Anything else under that name is left alone and refused.
// False with the reason in `error` on failure.
bool BindComPort(int number, const QString &device, const QString &workDir, QString &error);

// The processes that hold `device` (a path as the system names it) open, as
// "name (pid N)"; empty when none is seen (another user's processes may be
// hidden).
QStringList PortHolders(const QString &device, const QString &root = QStringLiteral("/"));

// What the operator should know about a failure (errno `error`) to open
// `port`: the device, the likely cause and what to do about it.
QString PortFailureCause(int error, const QString &port, const QString &root = QStringLiteral("/"));
