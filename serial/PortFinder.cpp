#include "serial/PortFinder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// `path` of the system inside the tree at `root`.
QString UnderRoot(const QString &root, const QString &path)
{
    if (root == QStringLiteral("/"))
        return path;
    return QDir::cleanPath(root + QLatin1Char('/') + path);
}

QString ReadLink(const QString &path)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(QFile::encodeName(path).toStdString(), error);
    return error ? QString() : QFile::decodeName(QByteArray::fromStdString(target.string()));
}

QString FirstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

const QRegularExpression &UartName()
{
    static const QRegularExpression name(QStringLiteral("^ttyS[0-9]+$"));
    return name;
}

// The kernel makes every ttyS node whether or not a UART answers there; the
// port type it found (0: none) tells the real ones.
bool HasUart(const QString &root, const QString &name)
{
    bool ok = false;
    const int type = FirstLine(UnderRoot(root, QStringLiteral("/sys/class/tty/%1/type").arg(name))).toInt(&ok);
    return ok && type != 0;
}

bool DevicePresent(const QString &root, const QString &device)
{
    if (!QFileInfo::exists(UnderRoot(root, device)))
        return false;
    const QString name = QFileInfo(device).fileName();
    return !UartName().match(name).hasMatch() || HasUart(root, name);
}

// The driver of a device folder, leaving out the serial core's own devices
// that newer kernels put between a port and the driver of its hardware.
QString DriverOf(const QString &deviceDir)
{
    const QString driver = QFileInfo(deviceDir + QStringLiteral("/driver")).canonicalFilePath();
    if (driver.contains(QStringLiteral("/bus/serial-base/")))
        return {};
    return QFileInfo(driver).fileName();
}

// "FT232R USB UART (ftdi_sio)": the USB product above the port, when it is
// on USB, and the driver that serves it.
QString DeviceDescription(const QString &root, const QString &name)
{
    const QString deviceDir =
        QFileInfo(UnderRoot(root, QStringLiteral("/sys/class/tty/%1/device").arg(name))).canonicalFilePath();
    if (deviceDir.isEmpty())
        return {};
    QString driver;
    QString product;
    QDir up(deviceDir);
    // The port, its USB interface, the USB device: the product is on the last.
    for (int level = 0; level < 3 && product.isEmpty(); ++level) {
        if (driver.isEmpty())
            driver = DriverOf(up.path());
        product = FirstLine(up.filePath(QStringLiteral("product")));
        if (!up.cdUp())
            break;
    }
    if (product.isEmpty())
        return driver;
    return driver.isEmpty() ? product : QStringLiteral("%1 (%2)").arg(product, driver);
}

// ttyACM0 < ttyS0 < ttyS2 < ttyS10 < ttyUSB0: by kind, then by number.
bool ComesBefore(const SerialDevice &a, const SerialDevice &b)
{
    static const QRegularExpression split(QStringLiteral("^(.*?)([0-9]*)$"));
    const auto ma = split.match(QFileInfo(a.device).fileName());
    const auto mb = split.match(QFileInfo(b.device).fileName());
    if (ma.captured(1) != mb.captured(1))
        return ma.captured(1) < mb.captured(1);
    return ma.captured(2).toInt() < mb.captured(2).toInt();
}

// The path as the operator knows it, with where a link points.
QString Described(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    return QStringLiteral("%1 (a link to %2)").arg(path, ReadLink(path));
}

} // namespace

ComPortTarget DescribeComPort(int number, const QString &workDir, const QString &root)
{
    ComPortTarget target;
    target.comName = QStringLiteral("COM%1").arg(number);
    const QFileInfo local(QDir(workDir), target.comName);
    if (!local.exists() && !local.isSymLink()) {
        target.device = QStringLiteral("/dev/ttyS%1").arg(number - 1);
        target.present = DevicePresent(root, target.device);
        return target;
    }
    target.localPath = local.absoluteFilePath();
    target.localIsLink = local.isSymLink();
    if (!target.localIsLink) {
        target.device = target.localPath;
        target.present = true;
        return target;
    }
    target.linkTarget = ReadLink(target.localPath);
    target.device = QDir::cleanPath(QDir(workDir).absoluteFilePath(target.linkTarget));
    target.present = DevicePresent(root, target.device);
    return target;
}

QString ComPortSummary(const ComPortTarget &target)
{
    const QString missing = target.present ? QString() : QStringLiteral("  (нет устройства)");
    if (target.localPath.isEmpty())
        return target.device + missing;
    if (!target.localIsLink)
        return QStringLiteral("%1: файл в рабочей папке, не порт").arg(target.comName);
    return QStringLiteral("%1 → %2").arg(target.comName, target.linkTarget) + missing;
}

QList<SerialDevice> ListSerialDevices(const QString &root)
{
    static const QRegularExpression serialName(QStringLiteral("^tty(USB|ACM|S)[0-9]+$"));
    const QDir dev(UnderRoot(root, QStringLiteral("/dev")));
    QStringList names;
    for (const QString &name : dev.entryList({QStringLiteral("tty*")}, QDir::Files | QDir::System)) {
        if (serialName.match(name).hasMatch() && (!UartName().match(name).hasMatch() || HasUart(root, name)))
            names << name;
    }

    QList<SerialDevice> devices;
    for (const QString &name : names)
        devices.append({QStringLiteral("/dev/") + name, {}, DeviceDescription(root, name)});

    const QDir byId(UnderRoot(root, QStringLiteral("/dev/serial/by-id")));
    for (const QFileInfo &link : byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString name = QFileInfo(link.symLinkTarget()).fileName();
        auto device = std::find_if(devices.begin(), devices.end(), [&name](const SerialDevice &d) {
            return d.device == QStringLiteral("/dev/") + name;
        });
        if (device == devices.end())
            continue;   // a link left behind by a device that has gone
        device->byId = QStringLiteral("/dev/serial/by-id/") + link.fileName();
    }
    std::sort(devices.begin(), devices.end(), ComesBefore);
    return devices;
}

namespace {

bool IsLink(const QByteArray &path)
{
    struct stat found{};
    return ::lstat(path.constData(), &found) == 0 && S_ISLNK(found.st_mode);
}

// A new link to `target` beside `path`, under a name of its own; empty when
// none could be made.
QByteArray MakeLinkBeside(const QByteArray &path, const QByteArray &target)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray temp = path + ".bind-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        if (::symlink(target.constData(), temp.constData()) == 0)
            return temp;
        if (errno != EEXIST)
            break;
    }
    return {};
}

// Puts the link `temp` in the place of `path` when that is free or a link.
// The check and the replacement are one step: the two names change places,
// and what came out is checked; anything but a link goes back.
bool ReplaceOnlyALink(const QByteArray &temp, const QByteArray &path, bool &notALink)
{
    notALink = false;
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, path.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EEXIST)
        return false;
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, path.constData(), RENAME_EXCHANGE) != 0) {
        // A file system without the exchange: the check just before the rename.
        if (errno != EINVAL)
            return false;
        notALink = !IsLink(path);
        return !notALink && ::rename(temp.constData(), path.constData()) == 0;
    }
    if (IsLink(temp)) {
        ::unlink(temp.constData());
        return true;
    }
    notALink = true;
    ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, path.constData(), RENAME_EXCHANGE);
    return false;
}

} // namespace

bool BindComPort(int number, const QString &device, const QString &workDir, QString &error)
{
    const QString name = QStringLiteral("COM%1").arg(number);
    const QByteArray path = QFile::encodeName(QDir(workDir).filePath(name));
    // The new link is made beside the name and put in its place, so that the
    // name always stands for one device or the other.
    const QByteArray temp = MakeLinkBeside(path, QFile::encodeName(device));
    if (temp.isEmpty()) {
        error = QStringLiteral("Не удалось создать ссылку %1: %2").arg(name, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    bool notALink = false;
    if (ReplaceOnlyALink(temp, path, notALink))
        return true;
    const int reason = errno;
    if (IsLink(temp))
        ::unlink(temp.constData());
    if (notALink) {
        error = QStringLiteral("%1 в рабочей папке — не ссылка на порт, а файл; он не заменен. "
                               "Переименуйте или удалите его, затем повторите.").arg(name);
    } else {
        error = QStringLiteral("Не удалось заменить ссылку %1: %2").arg(name, QString::fromLocal8Bit(strerror(reason)));
    }
    return false;
}

QStringList PortHolders(const QString &device, const QString &root)
{
    static const QRegularExpression pidName(QStringLiteral("^[0-9]+$"));
    QStringList holders;
    const QDir proc(UnderRoot(root, QStringLiteral("/proc")));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!pidName.match(pid).hasMatch())
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        const QStringList open = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        const bool holds = std::any_of(open.begin(), open.end(), [&](const QString &fd) {
            return ReadLink(fds.filePath(fd)) == device;
        });
        if (!holds)
            continue;
        const QString name = pid.toLongLong() == ::getpid() && root == QStringLiteral("/")
                                 ? QStringLiteral("this program")
                                 : FirstLine(proc.filePath(pid + QStringLiteral("/comm")));
        holders << QStringLiteral("%1 (pid %2)").arg(name, pid);
    }
    return holders;
}

QString PortFailureCause(int error, const QString &port, const QString &root)
{
    const QString path = Described(port);
    if (error == EACCES || error == EPERM) {
        return QStringLiteral("Permission denied: this user may not use %1. Add the user to the "
                              "dialout group (sudo adduser $USER dialout), then log out and in again.")
            .arg(path);
    }
    if (error == EBUSY) {
        const QString resolved = QFileInfo(port).canonicalFilePath();
        const QStringList holders = PortHolders(resolved.isEmpty() ? port : resolved, root);
        if (!holders.isEmpty()) {
            return QStringLiteral("Port busy: another program holds %1: %2. Close it and try again.")
                .arg(path, holders.join(QStringLiteral(", ")));
        }
        return QStringLiteral("Port busy: another program holds %1 (a terminal program, "
                              "ModemManager or brltty, or this program's other window). "
                              "Close it, or make it leave the port alone, and try again.")
            .arg(path);
    }
    if (error == ENOENT || error == ENODEV || error == ENXIO || error == ENOTDIR) {
        return QStringLiteral("Not found: there is no serial port %1. The adapter may not be "
                              "plugged in, or the port may have another name: the port menu "
                              "lists the serial devices present and binds a port name to one.")
            .arg(path);
    }
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(strerror(error)));
}
