#pragma once

// Open requests between launches of the program: a later launch with a gene file hands the request
// "[open("PATH")]" to the running instance over a per-user local socket and ends.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace volumira {

// Requests of this many UTF-16 units or more are dropped.
inline constexpr int kMaxOpenRequestLength = 520;

// "[open("PATH")]" for an absolute path.
QString openRequestText(const QString& absolutePath);
// The UTF-8 path of an open request in the bracketed or the bare form "open("PATH")"; nullopt for anything
// else, a path that is not absolute included.
std::optional<std::string> parseOpenRequest(const QString& request);

// Listens for the requests of later launches. Each request is a 32-bit big-endian byte count and that many
// bytes of UTF-8; the answer is one byte per request, 'A' when it was taken, 'D' when it was dropped.
class OpenRequestServer : public QObject {
  public:
    // Takes one request; false when it was dropped.
    using Receiver = std::function<bool(const QString& request)>;

    // The user's socket: in $XDG_RUNTIME_DIR when there is one, else "volumira-<uid>" in the temporary folder.
    static QString defaultName();

    OpenRequestServer(QString name, Receiver receiver, QObject* parent = nullptr);
    ~OpenRequestServer() override;

    // Starts listening; a socket left behind by an instance that is gone is removed first. False when
    // another instance listens, or the socket cannot be made.
    bool listen();
    bool isListening() const;

    enum class Delivery {
        Delivered,
        // Nobody listens (or only a socket left behind): start normally.
        NoInstance,
        // An instance took the connection but did not answer every request in time.
        Unanswered
    };
    // Hands the requests to the instance that listens on name.
    static Delivery send(const QString& name, const QStringList& requests, int timeoutMs = 20000);

  private:
    void accept();
    void read(QLocalSocket* socket);

    QString name_;
    Receiver receiver_;
    QLocalServer* server_;
};

} // namespace volumira
