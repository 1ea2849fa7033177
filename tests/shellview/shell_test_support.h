// shell_test_support.h - a scratch folder to fill with files, folders and links, and a wait that keeps Qt's events running.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>
#include <ostream>

QT_BEGIN_NAMESPACE
// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '{' << texts.join(QStringLiteral(", ")).toStdString() << '}';
}
QT_END_NAMESPACE

namespace zor::test {

class ScratchFolder {
public:
    QString path() const { return dir_.path(); }
    QString at(const QString& name) const { return dir_.filePath(name); }

    void File(const QString& name, qint64 bytes = 0) const {
        QFile file(at(name));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(bytes, 'x'));
    }
    void Folder(const QString& name) const { QDir(path()).mkpath(name); }
    void Link(const QString& name, const QString& target) const { QFile::link(target, at(name)); }

private:
    QTemporaryDir dir_;
};

// Runs events until `done` holds or `timeoutMs` passes; tells whether it held.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace zor::test
