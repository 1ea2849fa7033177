// single_instance.cpp - one copy of zor per user: a second copy hands over to the first and ends.
#include "ui/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <pwd.h>
#include <unistd.h>

namespace zor {

namespace {

constexpr char kActivateRequest[] = "activate\n";

}  // namespace

QString SingleInstance::defaultServerName() {
    const uid_t uid = getuid();
    const passwd* entry = getpwuid(uid);
    const QString user = entry && entry->pw_name ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
    return QStringLiteral("ZOR 2.00-") + user;
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::notifyRunningCopy(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kActivateRequest);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return sent;
}

bool SingleInstance::listen() {
    if (server_) return true;
    // Listening with access options replaces an existing socket file, so
    // a running copy is asked first; a file nobody answers on is the
    // leftover of a copy that ended badly.
    if (notifyRunningCopy(500)) return false;
    QLocalServer::removeServer(serverName_);
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
