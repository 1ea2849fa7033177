// single_instance.h - one copy of zor per user: a second copy hands over to the first and ends.
//
// The first copy listens on a local socket named after "ZOR 2.00" and the
// user, in a folder only that user can enter: $XDG_RUNTIME_DIR, or else a
// folder "zor-UID" of the user's own in the temporary folder. A later copy
// connects, asks the first to come to the front and ends with status 0;
// what it was asked to open is not passed on. It hands over only to a
// socket of its own user (the socket file's owner and the peer's
// credentials both say so), so another user cannot make the window
// vanish. A socket left behind by a copy that crashed is noticed (nobody
// answers on it) and replaced.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace zor {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The folder for the socket: $XDG_RUNTIME_DIR when it is the user's own
    // and closed to others, else "zor-UID" in the temporary folder (made
    // with mode 0700 when missing, used only when the user owns it and
    // nobody else may enter it). Empty when neither is fit.
    static QString socketFolder();
    // That folder + "/ZOR 2.00-" + the user's login name (or number); empty
    // without a fit folder, and then the program runs unfindable.
    static QString defaultServerName();

    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when a running copy of this user answered and was asked to come
    // to the front.
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
