// A small HTTP/1.1 server on 127.0.0.1 for the online lookup's tests: it listens on a free port,
// answers each request (one connection at a time, closed after the answer) with what the test's
// handler returns, and records the requests. Replies can be delayed to run into time limits.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qvr::test {

struct HttpRequest {
  std::string Target;  // path and query, as sent
  std::string UserAgent;
  std::chrono::steady_clock::time_point At;
};

struct HttpReply {
  HttpReply(int status = 200, std::string body = {}, std::string content_type = "application/json",
            std::vector<std::string> headers = {}, std::chrono::milliseconds delay = std::chrono::milliseconds(0))
      : Status(status),
        Body(std::move(body)),
        ContentType(std::move(content_type)),
        Headers(std::move(headers)),
        Delay(delay) {}
  int Status;
  std::string Body;
  std::string ContentType;
  std::vector<std::string> Headers;  // extra "Name: value" lines
  std::chrono::milliseconds Delay;   // before the answer is sent
};

class LocalHttpServer {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;

  explicit LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error("socket failed");
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 8) != 0) {
      close(listener_);
      throw std::runtime_error("bind/listen failed");
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LocalHttpServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int Port() const { return port_; }
  std::vector<HttpRequest> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  bool WaitReadable(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
  }

  void Serve() {
    while (!stop_) {
      if (!WaitReadable(listener_, 20)) continue;
      const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      Answer(connection);
      close(connection);
    }
  }

  void Answer(int connection) {
    std::string head;
    char buffer[4096];
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (head.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < give_up && !stop_) {
      if (!WaitReadable(connection, 20)) continue;
      const ssize_t got = read(connection, buffer, sizeof buffer);
      if (got <= 0) return;
      head.append(buffer, static_cast<std::size_t>(got));
    }
    HttpRequest request;
    request.At = std::chrono::steady_clock::now();
    const auto first_space = head.find(' ');
    const auto second_space = head.find(' ', first_space + 1);
    if (first_space == std::string::npos || second_space == std::string::npos) return;
    request.Target = head.substr(first_space + 1, second_space - first_space - 1);
    if (auto at = head.find("\r\nUser-Agent: "); at != std::string::npos) {
      at += 14;
      request.UserAgent = head.substr(at, head.find("\r\n", at) - at);
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    const HttpReply reply = handler_(request);
    const auto send_at = std::chrono::steady_clock::now() + reply.Delay;
    while (std::chrono::steady_clock::now() < send_at) {
      if (stop_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string text = "HTTP/1.1 " + std::to_string(reply.Status) + " Answer\r\nContent-Type: " + reply.ContentType +
                       "\r\nContent-Length: " + std::to_string(reply.Body.size()) + "\r\nConnection: close\r\n";
    for (const std::string& header : reply.Headers) text += header + "\r\n";
    text += "\r\n" + reply.Body;
    for (std::size_t sent = 0; sent < text.size();) {
      const ssize_t wrote = send(connection, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (wrote <= 0) return;
      sent += static_cast<std::size_t>(wrote);
    }
  }

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<HttpRequest> requests_;
  std::thread thread_;
};

}  // namespace qvr::test
