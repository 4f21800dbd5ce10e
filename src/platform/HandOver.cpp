// The hand-over socket: a QLocalServer in the running player (a Unix socket only the user can
// open), plain POSIX calls in the second start, which has no Qt application yet.
#include "platform/HandOver.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QLocalSocket>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>

namespace qvr {

namespace {

constexpr char kReceipt = 'K';

// One connection's bytes until a whole message is there.
class HandOverReader : public QObject {
 public:
  HandOverReader(QLocalSocket* socket, const std::function<void(const std::string&)>& receive)
      : socket_(socket), receive_(receive) {
    QObject::connect(socket, &QLocalSocket::readyRead, this, [this] { Read(); });
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    setParent(socket);
  }

 private:
  void Read() {
    buffer_.append(socket_->readAll());
    if (buffer_.size() < 4) return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_.constData());
    const std::uint32_t length = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
    if (length == 0 || length > HandOverServer::kMaxPath) {
      socket_->abort();
      return;
    }
    if (static_cast<std::size_t>(buffer_.size()) < 4 + length) return;
    const std::string path(buffer_.constData() + 4, length);
    buffer_.clear();
    // The receipt goes first: the sender ends at once while the player switches. The path is
    // taken from the event loop, not from inside this socket's signal: taking it can open a
    // modal box, whose loop may delete the socket once the sender has gone.
    socket_->write(&kReceipt, 1);
    socket_->flush();
    QMetaObject::invokeMethod(
        socket_->parent(), [receive = receive_, path] { receive(path); }, Qt::QueuedConnection);
  }

  QLocalSocket* socket_;
  const std::function<void(const std::string&)>& receive_;
  QByteArray buffer_;
};

bool WriteAll(int descriptor, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::send(descriptor, data, size, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// One attempt: connect, send, wait for the receipt. False when no one listens or it failed.
bool SendOnce(const std::filesystem::path& socket, const std::string& message, std::chrono::milliseconds wait) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = socket.string();
  if (name.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return false;
  bool received = false;
  if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      WriteAll(descriptor, message.data(), message.size())) {
    pollfd ready{descriptor, POLLIN, 0};
    char reply = 0;
    if (::poll(&ready, 1, static_cast<int>(wait.count())) == 1 && ::recv(descriptor, &reply, 1, 0) == 1) {
      received = reply == kReceipt;
    }
  }
  ::close(descriptor);
  return received;
}

}  // namespace

HandOverServer::HandOverServer(const std::filesystem::path& socket, std::function<void(const std::string&)> receive)
    : receive_(std::move(receive)), server_(std::make_unique<QLocalServer>()), socket_(socket) {
  const QString name = QString::fromStdString(socket.string());
  QLocalServer::removeServer(name);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { Accept(); });
  server_->listen(name);
}

HandOverServer::~HandOverServer() { server_->close(); }

void HandOverServer::Accept() {
  while (QLocalSocket* connection = server_->nextPendingConnection()) {
    new HandOverReader(connection, receive_);
  }
}

bool SendHandOver(const std::filesystem::path& socket, const std::string& path, std::chrono::milliseconds timeout) {
  if (path.empty() || path.size() > HandOverServer::kMaxPath) return false;
  const auto length = static_cast<std::uint32_t>(path.size());
  std::string message{static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
                      static_cast<char>((length >> 16) & 0xFF), static_cast<char>((length >> 24) & 0xFF)};
  message += path;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (SendOnce(socket, message, std::max(left, std::chrono::milliseconds(500)))) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace qvr
