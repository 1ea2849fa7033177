// single_instance.h - one copy of zor per user: a second copy hands over to the first and ends.
//
// The first copy listens on a local socket named after "ZOR 2.00" and the
// user. A later copy connects, asks the first to come to the front and ends
// with status 0; what it was asked to open is not passed on. A socket left
// behind by a copy that crashed is noticed (nobody answers on it) and
// replaced.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace zor {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // "ZOR 2.00-" followed by the user's login name (or number).
    static QString defaultServerName();

    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when a running copy answered and was asked to come to the front.
    bool notifyRunningCopy(int timeoutMs = 2000);

    // Becomes the copy that others find; false when another copy answers on
    // the name (it has then been asked to come to the front) or the socket
    // cannot be made.
    bool listen();

    QString serverName() const { return serverName_; }

signals:
    // A later copy asked this one to come to the front.
    void activationRequested();

private:
    void acceptConnections();

    QString serverName_;
    QLocalServer* server_ = nullptr;
};

}  // namespace zor
