// single_instance.cpp - one copy of zor per user: a second copy hands over to the first and ends.
#include "ui/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zor {

namespace {

constexpr char kActivateRequest[] = "activate\n";

// A folder of this user's that nobody else may enter or write into; never a link.
bool isPrivateFolder(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

// What lies at the socket's name: nothing, a socket of this user's, or anything else.
enum class SocketFile { Missing, Own, Foreign };

SocketFile socketFile(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return SocketFile::Missing;
    return S_ISSOCK(info.st_mode) && info.st_uid == ::getuid() ? SocketFile::Own : SocketFile::Foreign;
}

bool peerIsThisUser(const QLocalSocket& socket) {
    ucred credentials {};
    socklen_t length = sizeof credentials;
    const int descriptor = static_cast<int>(socket.socketDescriptor());
    return descriptor >= 0 && ::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == ::getuid();
}

}  // namespace

QString SingleInstance::socketFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime)) return runtime;
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("zor-%1").arg(::getuid()));
    // mkdir refuses a name that exists, link or not; the check below then
    // decides whether what is there may be used.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isPrivateFolder(own) ? own : QString();
}

QString SingleInstance::defaultServerName() {
    const QString folder = socketFolder();
    if (folder.isEmpty()) return {};
    const uid_t uid = getuid();
    const passwd* entry = getpwuid(uid);
    const QString user = entry && entry->pw_name ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
    return folder + QStringLiteral("/ZOR 2.00-") + user;
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::notifyRunningCopy(int timeoutMs) {
    if (serverName_.isEmpty() || socketFile(serverName_) != SocketFile::Own) return false;
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    // The file may have been swapped between the check and the connection.
    if (!peerIsThisUser(socket)) {
        socket.abort();
        return false;
    }
    socket.write(kActivateRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return sent;
}

bool SingleInstance::listen() {
    if (server_) return true;
    if (serverName_.isEmpty()) return false;
    // Listening with access options replaces an existing socket file, so
    // a running copy is asked first; a file nobody answers on is the
    // leftover of a copy that ended badly. Only our own socket is removed.
    if (notifyRunningCopy(500)) return false;
    switch (socketFile(serverName_)) {
    case SocketFile::Missing: break;
    case SocketFile::Own: QLocalServer::removeServer(serverName_); break;
    case SocketFile::Foreign: return false;
    }
    auto* server = new QLocalServer(this);
    // Only this user's copies may ask us to come to the front.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(serverName_)) {
        delete server;
        return false;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->canReadLine() && socket->readLine() == kActivateRequest) emit activationRequested();
        });
        // The request may have arrived with the connection itself.
        if (socket->canReadLine() && socket->readLine() == kActivateRequest) emit activationRequested();
    }
}

}  // namespace zor
