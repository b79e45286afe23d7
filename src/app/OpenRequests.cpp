#include "app/OpenRequests.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStringDecoder>
#include <QTimer>
#include <QtEndian>
#include <unistd.h>

namespace volumira {

namespace {

// A request of the longest allowed length in UTF-8, with room: anything longer is not a request.
constexpr quint32 kMaxRequestBytes = 4 * kMaxOpenRequestLength;
// A connection that sends nothing useful is not kept for ever.
constexpr int kConnectionLifeMs = 10000;

// Another user's socket at our name is neither used nor removed.
bool socketIsOurs(const QString& name) {
    const QFileInfo info(name);
    return !info.exists() || info.ownerId() == ::getuid();
}

QByteArray frame(const QString& request) {
    const QByteArray bytes = request.toUtf8();
    QByteArray data(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), data.data());
    return data + bytes;
}

} // namespace

QString openRequestText(const QString& absolutePath) {
    return "[open(\"" + absolutePath + "\")]";
}

std::optional<std::string> parseOpenRequest(const QString& request) {
    static const QString kBare = "open(\"", kPrefix = "[open(\"", kSuffix = "\")]";
    const QString text = request.startsWith(kBare) ? "[" + request + "]" : request;
    if (!text.startsWith(kPrefix) || !text.endsWith(kSuffix)) return std::nullopt;
    const QString path = text.mid(kPrefix.size(), text.size() - kPrefix.size() - kSuffix.size());
    if (!path.startsWith('/') || path.contains(QChar(0)) || !path.isValidUtf16()) return std::nullopt;
    return path.toStdString();
}

QString OpenRequestServer::defaultName() {
    const QString name = QString("volumira-%1").arg(::getuid());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // The runtime folder is the user's alone; the temporary folder is shared with everyone.
    if (runtime.startsWith('/') && QFileInfo(runtime).isDir() && socketIsOurs(runtime)) return runtime + "/" + name;
    return QDir::tempPath() + "/" + name;
}

OpenRequestServer::OpenRequestServer(QString name, Receiver receiver, QObject* parent)
    : QObject(parent), name_(std::move(name)), receiver_(std::move(receiver)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &OpenRequestServer::accept);
}

OpenRequestServer::~OpenRequestServer() = default;

bool OpenRequestServer::isListening() const {
    return server_->isListening();
}

bool OpenRequestServer::listen() {
    if (!socketIsOurs(name_)) return false;
    // Asked first: with the access option Qt would move its socket over a live one.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(1000)) return false;
    // Nobody answers: a socket left behind by an instance that is gone goes.
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

void OpenRequestServer::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QTimer::singleShot(kConnectionLifeMs, socket, [socket] { socket->abort(); });
        read(socket);
    }
}

void OpenRequestServer::read(QLocalSocket* socket) {
    // Carrying out a request may run a nested event loop (a message box) in which the socket goes.
    QPointer<QLocalSocket> guard(socket);
    while (guard && socket->bytesAvailable() >= 4) {
        char header[4];
        socket->peek(header, 4);
        const quint32 length = qFromBigEndian<quint32>(header);
        if (length > kMaxRequestBytes) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < qint64(4 + length)) return;
        socket->skip(4);
        const QByteArray bytes = socket->read(length);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString request = decoder(bytes);
        const bool taken = !decoder.hasError() && receiver_(request);
        if (!guard) return;
        socket->write(taken ? "A" : "D");
        socket->flush();
    }
}

OpenRequestServer::Delivery OpenRequestServer::send(const QString& name, const QStringList& requests,
                                                    int timeoutMs) {
    if (!socketIsOurs(name)) return Delivery::NoInstance;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000)) return Delivery::NoInstance;
    QDeadlineTimer deadline(timeoutMs);
    for (const QString& request : requests) socket.write(frame(request));
    qint64 answers = 0;
    while (answers < requests.size()) {
        if (socket.bytesToWrite() > 0) socket.waitForBytesWritten(int(deadline.remainingTime()));
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            return Delivery::Unanswered;
        answers += socket.readAll().size();
    }
    socket.disconnectFromServer();
    return Delivery::Delivered;
}

} // namespace volumira
