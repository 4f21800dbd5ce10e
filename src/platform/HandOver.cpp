// The hand-over socket: plain POSIX calls on both ends, a Unix socket only the user can open.
// The running player watches its descriptors with QSocketNotifier (Qt Core) rather than using
// QLocalServer: Qt Network and its Kerberos and proxy libraries would be loaded and relocated at
// every start, before the first sound, for this one socket.
#include "platform/HandOver.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <QSocketNotifier>

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

// Writes all of `data`; on a non-blocking socket it waits up to a second at a time for room.
bool WriteAll(int descriptor, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::send(descriptor, data, size, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd room{descriptor, POLLOUT, 0};
      if (::poll(&room, 1, 1000) == 1) continue;
      return false;
    }
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

// One connection in the running player: its bytes until a whole message is there, then the
// answer, and the connection is closed (the answer reaches the sender before the end of stream).
class HandOverReader : public QObject {
 public:
  HandOverReader(int descriptor, const std::function<std::string(const std::string&)>& take, QObject* parent)
      : QObject(parent), descriptor_(descriptor), notifier_(descriptor, QSocketNotifier::Read), take_(take) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] { Read(); });
  }
  ~HandOverReader() override { ::close(descriptor_); }
  HandOverReader(const HandOverReader&) = delete;
  HandOverReader& operator=(const HandOverReader&) = delete;

 private:
  void Read() {
    char chunk[4096];
    for (;;) {
      const ssize_t got = ::recv(descriptor_, chunk, sizeof chunk, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (got <= 0) return End();  // the sender went, or the connection failed
      buffer_.append(chunk, static_cast<std::size_t>(got));
      if (buffer_.size() < 4) continue;
      const std::uint32_t length = LengthOf(buffer_.data());
      if (length == 0 || length > HandOverServer::kMaxPath) return End();
      if (buffer_.size() < 4 + std::size_t{length}) continue;
      const std::string path = buffer_.substr(4, length);
      // The answer goes at once: the sender ends while the player switches to the path.
      std::string refusal = take_(path);
      std::string answer(1, kTaken);
      if (!refusal.empty()) {
        if (refusal.size() > HandOverServer::kMaxReason) refusal.resize(HandOverServer::kMaxReason);
        answer = kRefused + LengthBytes(refusal.size()) + refusal;
      }
      WriteAll(descriptor_, answer.data(), answer.size());
      return End();
    }
  }

  void End() {
    notifier_.setEnabled(false);
    deleteLater();
  }

  int descriptor_;
  QSocketNotifier notifier_;
  const std::function<std::string(const std::string&)>& take_;
  std::string buffer_;
};

}  // namespace

HandOverServer::HandOverServer(const std::filesystem::path& socket, std::function<std::string(const std::string&)> take)
    : take_(std::move(take)), connections_(std::make_unique<QObject>()), socket_(socket) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = socket.string();
  if (name.size() >= sizeof address.sun_path) return;
  std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
  ::unlink(name.c_str());
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return;
  // Only the user may connect: the rights of others go before the socket takes connections.
  if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::chmod(name.c_str(), S_IRUSR | S_IWUSR) != 0 || ::listen(descriptor, 16) != 0) {
    ::close(descriptor);
    return;
  }
  descriptor_ = descriptor;
  notifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Accept(); });
}

HandOverServer::~HandOverServer() {
  notifier_.reset();
  connections_.reset();
  if (descriptor_ >= 0) {
    ::close(descriptor_);
    ::unlink(socket_.c_str());
  }
}

void HandOverServer::Accept() {
  for (;;) {
    const int connection = ::accept4(descriptor_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (connection < 0 && errno == EINTR) continue;
    if (connection < 0) return;
    new HandOverReader(connection, take_, connections_.get());
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
