// The hand-over socket: a QLocalServer in the running player (a Unix socket only the user can
// open), plain POSIX calls in the second start, which has no Qt application yet.
#include "platform/HandOver.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QLocalSocket>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>

namespace qvr {

namespace {

constexpr char kTaken = 'K';
constexpr char kRefused = 'E';

std::string LengthBytes(std::size_t length) {
  return {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
          static_cast<char>((length >> 16) & 0xFF), static_cast<char>((length >> 24) & 0xFF)};
}

std::uint32_t LengthOf(const char* data) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t{bytes[3]} << 24);
}

// One connection's bytes until a whole message is there.
class HandOverReader : public QObject {
 public:
  HandOverReader(QLocalSocket* socket, const std::function<std::string(const std::string&)>& take)
      : socket_(socket), take_(take) {
    QObject::connect(socket, &QLocalSocket::readyRead, this, [this] { Read(); });
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    setParent(socket);
  }

 private:
  void Read() {
    buffer_.append(socket_->readAll());
    if (buffer_.size() < 4) return;
    const std::uint32_t length = LengthOf(buffer_.constData());
    if (length == 0 || length > HandOverServer::kMaxPath) {
      socket_->abort();
      return;
    }
    if (static_cast<std::size_t>(buffer_.size()) < 4 + length) return;
    const std::string path(buffer_.constData() + 4, length);
    buffer_.clear();
    // The answer goes at once: the sender ends while the player switches to the path.
    std::string refusal = take_(path);
    std::string answer(1, kTaken);
    if (!refusal.empty()) {
      if (refusal.size() > HandOverServer::kMaxReason) refusal.resize(HandOverServer::kMaxReason);
      answer = kRefused + LengthBytes(refusal.size()) + refusal;
    }
    socket_->write(answer.data(), static_cast<qint64>(answer.size()));
    socket_->flush();
  }

  QLocalSocket* socket_;
  const std::function<std::string(const std::string&)>& take_;
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

// Reads `size` bytes before `deadline`; false when they did not come.
bool ReadAll(int descriptor, char* data, std::size_t size, std::chrono::steady_clock::time_point deadline) {
  while (size > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{descriptor, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(std::max<long long>(0, left.count())));
    if (polled < 0 && errno == EINTR) continue;
    if (polled != 1) return false;
    const ssize_t got = ::recv(descriptor, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// One attempt: connect, send, wait for the answer. Not answered when no one listens or it failed.
HandOverAnswer SendOnce(const std::filesystem::path& socket, const std::string& message,
                        std::chrono::milliseconds wait) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = socket.string();
  if (name.size() >= sizeof address.sun_path) return {};
  std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return {};
  HandOverAnswer answer;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  char kind = 0;
  if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      WriteAll(descriptor, message.data(), message.size()) && ReadAll(descriptor, &kind, 1, deadline)) {
    char length[4];
    if (kind == kTaken) {
      answer.answered = true;
    } else if (kind == kRefused && ReadAll(descriptor, length, 4, deadline) &&
               LengthOf(length) <= HandOverServer::kMaxReason) {
      std::string reason(LengthOf(length), '\0');
      if (ReadAll(descriptor, reason.data(), reason.size(), deadline)) {
        answer.answered = true;
        answer.refusal = reason.empty() ? "開けません" : std::move(reason);
      }
    }
  }
  ::close(descriptor);
  return answer;
}

}  // namespace

HandOverServer::HandOverServer(const std::filesystem::path& socket, std::function<std::string(const std::string&)> take)
    : take_(std::move(take)), server_(std::make_unique<QLocalServer>()), socket_(socket) {
  const QString name = QString::fromStdString(socket.string());
  QLocalServer::removeServer(name);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { Accept(); });
  server_->listen(name);
}

HandOverServer::~HandOverServer() { server_->close(); }

void HandOverServer::Accept() {
  while (QLocalSocket* connection = server_->nextPendingConnection()) {
    new HandOverReader(connection, take_);
  }
}

HandOverAnswer SendHandOver(const std::filesystem::path& socket, const std::string& path,
                            std::chrono::milliseconds timeout) {
  if (path.empty() || path.size() > HandOverServer::kMaxPath) return {};
  const std::string message = LengthBytes(path.size()) + path;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    // The player checks the path before it answers (an image is read once): it gets a while.
    HandOverAnswer answer = SendOnce(socket, message, std::max(left, std::chrono::milliseconds(5000)));
    if (answer.answered) return answer;
    if (std::chrono::steady_clock::now() >= deadline) return answer;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace qvr
