#include "Ledger.h"

#include <sys/vfs.h>

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

namespace {

// statfs(2)'s f_type of the file systems that reach another machine.
struct NetworkFs {
    decltype(statfs::f_type) magic;
    const char16_t *name;
};

constexpr NetworkFs kNetworkFileSystems[] = {
    {0x6969, u"NFS"},
    {0x517B, u"SMB"},
    {decltype(statfs::f_type)(0xFF534D42), u"CIFS"},
    {decltype(statfs::f_type)(0xFE534D42), u"SMB2"},
    {0x5346414F, u"AFS"},
    {0x73757245, u"Coda"},
    {0x564C, u"NCP"},
    {0x01021997, u"9P"},
    {0x00C36400, u"Ceph"},
};

} // namespace

QString networkFileSystem(const QString &path) {
    // The file may not exist yet: its folder decides.
    QFileInfo info(path);
    const QString folder = info.exists() ? info.absoluteFilePath() : info.absolutePath();
    struct statfs fs {};
    if (::statfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return {};
    for (const NetworkFs &entry : kNetworkFileSystems) {
        if (fs.f_type == entry.magic)
            return QString::fromUtf16(entry.name);
    }
    return {};
}

} // namespace tavrenode::prog
