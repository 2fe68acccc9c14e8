#include "SerialDevice.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

// Raw bytes in both directions: no line editing, echo, signals or translation of line ends,
// and input is taken as it arrives. The speed, the framing (data bits, parity, stop bits) and
// flow control, hardware and software, are the device's and stay as they are.
termios rawBytes(termios tio) {
    tio.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
    tio.c_oflag &= ~tcflag_t(OPOST);
    tio.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= tcflag_t(CREAD);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tio;
}

int pollOnce(int fd, short events, const QDeadlineTimer &deadline, short &revents) {
    pollfd entry{fd, events, 0};
    int result = 0;
    do {
        const qint64 remaining = deadline.remainingTime();
        result = ::poll(&entry, 1, remaining < 0 ? -1 : int(std::min<qint64>(remaining, 1 << 30)));
    } while (result < 0 && errno == EINTR);
    revents = entry.revents;
    return result;
}

} // namespace

struct SerialDevice::Port {
    int fd = -1;
    bool terminal = true; // false for a socket: no line discipline to set or put back
    termios saved{};
    std::unique_ptr<QLockFile> lock;
    QByteArray pending; // accepted by write(), not yet taken by the system

    // Hands the system as much of pending as it takes now; false on a failure of the device.
    bool flush() {
        while (!pending.isEmpty()) {
            const ssize_t written = ::write(fd, pending.constData(), size_t(pending.size()));
            if (written > 0) {
                pending.remove(0, written);
                continue;
            }
            if (written < 0 && errno == EINTR)
                continue;
            return written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
        return true;
    }
};

// Programs that share serial devices agree on a lock file per device, LCK..<name> in the
// first of these folders that can be used; QSerialPort and the uucp family follow it.
QString SerialDevice::lockFilePath(const QString &devicePath) {
    const QStringList folders{u"/var/lock"_s, u"/etc/locks"_s, u"/var/spool/locks"_s,
                              u"/var/spool/uucp"_s, QDir::tempPath()};
    QString name = devicePath;
    if (name.startsWith(u"/dev/"_s))
        name.remove(0, 5);
    name.replace(u'/', u'_');
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        if (info.isDir() && info.isReadable() && info.isWritable())
            return folder + u"/LCK.."_s + name;
    }
    return {};
}

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice() {
    close();
}

void SerialDevice::failOpen(OpenFailure failure, const QString &reason) {
    m_openFailure = failure;
    setErrorString(reason);
    if (m_port && m_port->fd >= 0)
        ::close(m_port->fd);
    m_port.reset();
}

bool SerialDevice::openPort(const QString &path, std::chrono::milliseconds /*writeTimeout*/) {
    close();
    m_openFailure = OpenFailure::None;
    m_linkLost = false;
    m_received.clear();
    m_port = std::make_unique<Port>();

    const QString lockPath = lockFilePath(path);
    if (lockPath.isEmpty()) {
        failOpen(OpenFailure::Other, u"No folder for serial lock files can be written."_s);
        return false;
    }
    m_port->lock = std::make_unique<QLockFile>(lockPath);
    // A lock is stale when its process is gone, never by its age alone: programs that hold
    // a port for hours do not touch their lock file.
    m_port->lock->setStaleLockTime(0);
    if (!m_port->lock->tryLock(0)) {
        const bool held = m_port->lock->error() == QLockFile::LockFailedError;
        failOpen(held ? OpenFailure::Busy : OpenFailure::Other,
                 held ? u"The device is locked by another program (%1)."_s.arg(lockPath)
                      : u"Its lock file %1 cannot be written."_s.arg(lockPath));
        return false;
    }

    m_port->fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_port->fd < 0) {
        const int error = errno;
        OpenFailure failure = OpenFailure::Other;
        if (error == ENOENT || error == ENODEV || error == ENXIO)
            failure = OpenFailure::NotFound;
        else if (error == EACCES || error == EPERM)
            failure = OpenFailure::NoPermission;
        else if (error == EBUSY)
            failure = OpenFailure::Busy;
        failOpen(failure, qt_error_string(error));
        return false;
    }
    // No other program may open it while the transfer runs (root still can).
    ::ioctl(m_port->fd, TIOCEXCL);

    if (::tcgetattr(m_port->fd, &m_port->saved) != 0) {
        const int error = errno;
        failOpen(error == ENOTTY ? OpenFailure::NotSerial : OpenFailure::Other,
                 error == ENOTTY ? u"%1 is not a serial device."_s.arg(path)
                                 : qt_error_string(error));
        return false;
    }
    const termios raw = rawBytes(m_port->saved);
    if (::tcsetattr(m_port->fd, TCSANOW, &raw) != 0) {
        failOpen(OpenFailure::Other, qt_error_string(errno));
        return false;
    }
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    return true;
}

void SerialDevice::adoptSocket(int fd) {
    close();
    m_openFailure = OpenFailure::None;
    m_linkLost = false;
    m_received.clear();
    m_port = std::make_unique<Port>();
    m_port->fd = fd;
    m_port->terminal = false;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void SerialDevice::close() {
    if (isOpen())
        QIODevice::close();
    if (!m_port)
        return;
    if (m_port->fd >= 0 && !m_port->terminal) {
        ::close(m_port->fd);
    } else if (m_port->fd >= 0) {
        // The line discipline as it was; on a device that has gone this fails, harmlessly.
        ::tcsetattr(m_port->fd, TCSANOW, &m_port->saved);
        ::ioctl(m_port->fd, TIOCNXCL);
        ::close(m_port->fd);
    }
    m_port.reset(); // and with it the lock
}

void SerialDevice::purge() {
    if (!m_port || m_port->fd < 0)
        return;
    if (m_port->terminal) {
        ::tcflush(m_port->fd, TCIOFLUSH);
    } else {
        // A socket has no queue to flush: what has arrived is read and dropped.
        std::array<char, 256> buffer{};
        while (::read(m_port->fd, buffer.data(), buffer.size()) > 0) {
        }
    }
    m_port->pending.clear();
    m_received.clear();
}

namespace {

// The name of the account the tool runs as (its effective identity, which opens the port).
QString accountName() {
    passwd entry{};
    passwd *found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(::geteuid());
}

} // namespace

namespace {

// The program's name, as ps shows it; empty for a process the user may not see.
QString processName(qint64 pid) {
    QFile comm(u"/proc/%1/comm"_s.arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readAll()).trimmed();
}

} // namespace

QList<DeviceHolder> SerialDevice::holders(const QString &path) {
    QList<DeviceHolder> found;
    const auto add = [&found](qint64 pid, const QString &fallbackName) {
        if (pid <= 0 || std::any_of(found.cbegin(), found.cend(),
                                    [pid](const DeviceHolder &h) { return h.pid == pid; }))
            return;
        const QString name = processName(pid);
        if (!name.isEmpty() || !fallbackName.isEmpty())
            found.append({pid, name.isEmpty() ? fallbackName : name});
    };

    // The lock file says who holds it on this machine, in QLockFile's form, as QSerialPort
    // writes it.
    const QString lockPath = lockFilePath(path);
    if (!lockPath.isEmpty() && QFileInfo::exists(lockPath)) {
        const QLockFile lock(lockPath);
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock.getLockInfo(&pid, &host, &application) &&
            (host.isEmpty() || host == QSysInfo::machineHostName()))
            add(pid, application);
    }

    // Then every process whose open descriptors include the device; /proc shows another
    // account's only to root. The same node, not only the same device number: each
    // instance of devpts (a container's, a chroot's) numbers its terminals from 0.
    struct stat device {};
    if (::stat(QFile::encodeName(path).constData(), &device) != 0 || !S_ISCHR(device.st_mode))
        return found;
    QList<qint64> openers;
    const QDir proc(u"/proc"_s);
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == ::getpid())
            continue;
        const QDir fds(proc.filePath(entry + u"/fd"_s));
        for (const QString &fd :
             fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
            struct stat target {};
            if (::stat(QFile::encodeName(fds.filePath(fd)).constData(), &target) == 0 &&
                S_ISCHR(target.st_mode) && target.st_rdev == device.st_rdev &&
                target.st_dev == device.st_dev) {
                openers.append(pid);
                break;
            }
        }
    }
    std::sort(openers.begin(), openers.end());
    for (const qint64 pid : openers)
        add(pid, {});
    return found;
}

QString SerialDevice::accessAdvice(const QString &path) {
    // Asked with the identity the open used, not the real user's.
    if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), R_OK | W_OK, AT_EACCESS) == 0)
        return {};
    const QString name = accountName();
    return u"Your user account (%1) is not allowed to use serial devices such as %2. Add it "
           u"to the dialout group as root (\"adduser %1 dialout\", or \"sudo adduser %1 "
           u"dialout\" where sudo is set up), then log out and in again."_s.arg(name, path);
}

qint64 SerialDevice::bytesToWrite() const {
    return (m_port ? m_port->pending.size() : 0) + QIODevice::bytesToWrite();
}

qint64 SerialDevice::readData(char *data, qint64 maxSize) {
    if (m_received.isEmpty() && !m_linkLost)
        waitForReadyRead(0);
    const qint64 count = takeReceived(data, maxSize);
    return count == 0 && m_linkLost ? -1 : count;
}

qint64 SerialDevice::writeData(const char *data, qint64 size) {
    if (!m_port || m_linkLost)
        return -1;
    m_port->pending.append(data, size);
    if (!m_port->flush()) {
        loseLink(qt_error_string(errno));
        return -1;
    }
    return size;
}

bool SerialDevice::waitForReadyRead(int msecs) {
    if (!m_port || m_linkLost)
        return false;
    const QDeadlineTimer deadline(msecs);
    for (;;) {
        short revents = 0;
        const int ready = pollOnce(m_port->fd, POLLIN, deadline, revents);
        if (ready < 0) {
            loseLink(qt_error_string(errno));
            return false;
        }
        if (ready == 0)
            return false; // timed out
        char buffer[256];
        const ssize_t count = ::read(m_port->fd, buffer, sizeof buffer);
        if (count > 0) {
            m_received.append(buffer, count);
            return true;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) &&
            (revents & (POLLHUP | POLLERR)) == 0)
            continue;
        // End of file or an error: the other side hung up, or the device is gone.
        loseLink(count < 0 && errno != EAGAIN ? qt_error_string(errno) : u"The device hung up."_s);
        return false;
    }
}

bool SerialDevice::waitForBytesWritten(int msecs) {
    if (!m_port || m_linkLost || m_port->pending.isEmpty())
        return false;
    const QDeadlineTimer deadline(msecs);
    while (!m_port->pending.isEmpty()) {
        short revents = 0;
        const int ready = pollOnce(m_port->fd, POLLOUT, deadline, revents);
        if (ready == 0)
            return false; // timed out
        if (ready < 0 || (revents & (POLLHUP | POLLERR)) != 0) {
            loseLink(ready < 0 ? qt_error_string(errno) : u"The device hung up."_s);
            return false;
        }
        if (!m_port->flush()) {
            loseLink(qt_error_string(errno));
            return false;
        }
    }
    return true;
}

} // namespace tavrenode
