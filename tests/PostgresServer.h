#pragma once

#include <csignal>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// A PostgreSQL server of the machine's own release for one test: initdb into a temporary
// folder, its socket there, TCP on a free loopback port with password login for user
// tavrenode, trust on the socket. PostgreSQL will not run as root, so as root the server
// runs as nobody. It dies with the test process, and is stopped when this goes.
class PostgresServer {
public:
    static constexpr auto kUser = "tavrenode";
    static constexpr auto kPassword = "station-secret";

    PostgresServer() {
        const QString bin = binDir();
        if (bin.isEmpty() || !m_dir.isValid()) {
            m_why = u"no PostgreSQL server under /usr/lib/postgresql (tools/dev test installs "
                    u"it)"_s;
            return;
        }
        if (::geteuid() == 0) {
            passwd entry{};
            passwd *nobody = nullptr;
            char buffer[1024];
            if (::getpwnam_r("nobody", &entry, buffer, sizeof buffer, &nobody) != 0 || !nobody) {
                m_why = u"no user nobody to run the server as"_s;
                return;
            }
            m_uid = nobody->pw_uid;
            m_gid = nobody->pw_gid;
            if (::chown(QFile::encodeName(m_dir.path()).constData(), m_uid, m_gid) != 0) {
                m_why = u"cannot hand the server's folder to nobody"_s;
                return;
            }
        }
        QFile passwordFile(m_dir.filePath(u"password"_s));
        if (!passwordFile.open(QIODevice::WriteOnly) || passwordFile.write(kPassword) < 0)
            return;
        passwordFile.close();
        if (m_uid != uid_t(-1) &&
            ::chown(QFile::encodeName(passwordFile.fileName()).constData(), m_uid, m_gid) != 0) {
            m_why = u"cannot hand the password file to nobody"_s;
            return;
        }

        QProcess initdb;
        prepare(initdb);
        initdb.start(bin + u"/initdb"_s,
                     {u"-D"_s, dataDir(), u"-U"_s, QString::fromLatin1(kUser), u"-E"_s, u"UTF8"_s,
                      u"--no-sync"_s, u"--auth-local=trust"_s, u"--auth-host=scram-sha-256"_s,
                      u"--pwfile"_s, passwordFile.fileName()});
        if (!initdb.waitForFinished(120000) || initdb.exitCode() != 0) {
            m_why = u"initdb failed: "_s + QString::fromLocal8Bit(initdb.readAll());
            return;
        }
        m_port = freePort();
        prepare(m_server);
        m_server.start(bin + u"/postgres"_s,
                       {u"-D"_s, dataDir(), u"-k"_s, m_dir.path(), u"-p"_s, QString::number(m_port),
                        u"-c"_s, u"listen_addresses=127.0.0.1"_s});
        const bool up =
            m_server.waitForStarted() &&
            QTest::qWaitFor([&] { return psql(u"postgres"_s, u"SELECT 1"_s) == 0; }, 30000);
        if (!up) {
            m_why = u"the server did not start: "_s + QString::fromLocal8Bit(m_server.readAll());
            return;
        }
        m_ready = true;
    }

    ~PostgresServer() {
        if (m_server.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_server.processId()), SIGINT); // fast shutdown
            if (!m_server.waitForFinished(20000))
                m_server.kill();
        }
    }

    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }
    [[nodiscard]] const QString &why() const { return m_why; }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString socketDir() const { return m_dir.path(); }

    // A fresh database, and the --ledger URL of it.
    QString createDatabase(const QString &name) {
        if (psql(u"postgres"_s, u"CREATE DATABASE \"%1\""_s.arg(name)) != 0)
            return {};
        return u"postgresql://%1@127.0.0.1:%2/%3"_s.arg(QString::fromLatin1(kUser))
            .arg(m_port)
            .arg(name);
    }

    // Runs SQL through the socket; psql's exit code.
    int psql(const QString &database, const QString &sql) const {
        QProcess client;
        client.start(binDir() + u"/psql"_s,
                     {u"-h"_s, m_dir.path(), u"-p"_s, QString::number(m_port), u"-U"_s,
                      QString::fromLatin1(kUser), u"-d"_s, database, u"-v"_s, u"ON_ERROR_STOP=1"_s,
                      u"-qAtc"_s, sql});
        if (!client.waitForFinished(30000))
            return -1;
        return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
    }

private:
    static QString binDir() {
        QDir lib(u"/usr/lib/postgresql"_s);
        QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(versions.begin(), versions.end(),
                  [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
            if (QFile::exists(lib.filePath(*it + u"/bin/initdb"_s)))
                return lib.filePath(*it + u"/bin"_s);
        }
        return {};
    }

    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    [[nodiscard]] QString dataDir() const { return m_dir.filePath(u"data"_s); }

    // As nobody when root, and dying with the test.
    void prepare(QProcess &process) const {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_dir.path());
        const uid_t uid = m_uid;
        const gid_t gid = m_gid;
        process.setChildProcessModifier([uid, gid] {
            if (uid != uid_t(-1) &&
                (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
                ::_exit(127);
            // After setuid, which clears it.
            ::prctl(PR_SET_PDEATHSIG, SIGQUIT);
        });
    }

    QTemporaryDir m_dir;
    QProcess m_server;
    uid_t m_uid = uid_t(-1);
    gid_t m_gid = gid_t(-1);
    int m_port = 0;
    bool m_ready = false;
    QString m_why;
};
