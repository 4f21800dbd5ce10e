// HTTP GET through libcurl for the online lookups: a time limit for the whole request, a
// cancellation another thread can set at any moment (seen within 50 ms), redirects followed on
// HTTP(S) only, a bound on the body's size, and failures sorted into what the user is told.
//
// Threads: an HttpClient belongs to the thread that calls Get; only its CancelFlag is shared.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "util/Error.h"

namespace qvr {

// Why a lookup failed, as the user is told.
enum class LookupFailure {
  NoNetwork,    // the server's name could not be resolved, or no route to it
  Refused,      // the server refused the connection
  TimedOut,     // no complete answer within the time limit
  ServerError,  // the server answered with an error status
  BadAnswer,    // the answer could not be read
  NotFound,     // the server does not know the disc
  NoDiscId,     // the disc's ID for the service cannot be computed from its table of contents
  Cancelled,    // the user cancelled
};

// A failed lookup step; the message is one line in the user's language.
class LookupError : public Error {
 public:
  LookupError(LookupFailure failure, const std::string& message) : Error(message), failure_(failure) {}
  LookupFailure Failure() const { return failure_; }

 private:
  LookupFailure failure_;
};

// Set from any thread to end the requests (and the waits between them) of the lookup it was
// given to.
class CancelFlag {
 public:
  void Cancel() { cancelled_.store(true); }
  bool Cancelled() const { return cancelled_.load(); }

 private:
  std::atomic<bool> cancelled_{false};
};

struct HttpResponse {
  long Status = 0;
  std::string Body;
  std::string ContentType;
  // "Retry-After" in seconds when the server sent one, else -1.
  long RetryAfter = -1;
};

class HttpClient {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{10000};
  static constexpr std::size_t kMaxBody = 32u << 20;

  // `user_agent` names the program and its version, as the services ask.
  explicit HttpClient(std::string user_agent, std::chrono::milliseconds timeout = kDefaultTimeout);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Fetches `url`. Returns every answer the server gave, error statuses too. Raises LookupError
  // for no network, a refused connection, the time limit, a cancellation or an unreadable answer
  // (a body past kMaxBody among them). `server` names the server in messages.
  HttpResponse Get(const std::string& url, const std::string& server, const CancelFlag& cancel);

  const std::string& UserAgent() const { return user_agent_; }

 private:
  std::string user_agent_;
  std::chrono::milliseconds timeout_;
};

// The scheme and host of `url` ("http://127.0.0.1:8080"), for messages.
std::string ServerOf(const std::string& url);

// `text` with every byte outside the unreserved set percent-encoded, for a URL's query.
std::string UrlEncode(std::string_view text);

}  // namespace qvr
