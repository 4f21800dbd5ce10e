// HttpClient: one easy handle driven by a multi handle, so that the calling thread wakes every
// 50 ms to look at the cancel flag instead of waiting inside libcurl.
// libcurl is loaded on the first request, not with the program: with its TLS, Kerberos and LDAP
// libraries it is a quarter of the libraries the player would otherwise map and relocate before
// its first sound, and most runs never go online.
#include "metadata/HttpClient.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace qvr {
namespace {

constexpr int kPollMilliseconds = 50;

// The libcurl functions used here, from the library loaded at run time.
struct CurlApi {
  decltype(&curl_global_init) global_init = nullptr;
  decltype(&curl_easy_init) easy_init = nullptr;
  decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&curl_easy_setopt) easy_setopt = nullptr;
  decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&curl_easy_strerror) easy_strerror = nullptr;
  decltype(&curl_multi_init) multi_init = nullptr;
  decltype(&curl_multi_cleanup) multi_cleanup = nullptr;
  decltype(&curl_multi_add_handle) multi_add_handle = nullptr;
  decltype(&curl_multi_remove_handle) multi_remove_handle = nullptr;
  decltype(&curl_multi_perform) multi_perform = nullptr;
  decltype(&curl_multi_info_read) multi_info_read = nullptr;
  decltype(&curl_multi_poll) multi_poll = nullptr;
  std::string problem;  // why the library could not be used; empty once it is loaded
};

template <class Function>
void Find(void* library, const char* name, Function& function, std::string& problem) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (!function && problem.empty()) problem = name;
}

// Loads libcurl once (kept for the life of the process) and initialises it.
const CurlApi& Curl() {
  static const CurlApi api = [] {
    CurlApi loaded;
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      const char* error = dlerror();
      loaded.problem = error ? error : "libcurl.so.4";
      return loaded;
    }
    Find(library, "curl_global_init", loaded.global_init, loaded.problem);
    Find(library, "curl_easy_init", loaded.easy_init, loaded.problem);
    Find(library, "curl_easy_cleanup", loaded.easy_cleanup, loaded.problem);
    Find(library, "curl_easy_setopt", loaded.easy_setopt, loaded.problem);
    Find(library, "curl_easy_getinfo", loaded.easy_getinfo, loaded.problem);
    Find(library, "curl_easy_strerror", loaded.easy_strerror, loaded.problem);
    Find(library, "curl_multi_init", loaded.multi_init, loaded.problem);
    Find(library, "curl_multi_cleanup", loaded.multi_cleanup, loaded.problem);
    Find(library, "curl_multi_add_handle", loaded.multi_add_handle, loaded.problem);
    Find(library, "curl_multi_remove_handle", loaded.multi_remove_handle, loaded.problem);
    Find(library, "curl_multi_perform", loaded.multi_perform, loaded.problem);
    Find(library, "curl_multi_info_read", loaded.multi_info_read, loaded.problem);
    Find(library, "curl_multi_poll", loaded.multi_poll, loaded.problem);
    if (loaded.problem.empty() && loaded.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
      loaded.problem = "curl_global_init";
    return loaded;
  }();
  if (!api.problem.empty()) {
    throw LookupError(LookupFailure::BadAnswer,
                      "通信ライブラリ libcurl を使えないため、検索できません (" + api.problem + ")");
  }
  return api;
}

struct Transfer {
  std::string body;
  std::string content_type;
  long retry_after = -1;
  bool too_large = false;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer.body.size() + bytes > HttpClient::kMaxBody) {
    transfer.too_large = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  transfer.body.append(data, bytes);
  return bytes;
}

// Keeps the headers of the last response (a redirect's headers are replaced by its target's).
std::size_t ReadHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    transfer.content_type.clear();
    transfer.retry_after = -1;
  }
  const auto colon = line.find(':');
  if (colon != std::string_view::npos) {
    std::string name(line.substr(0, colon));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n' || value.back() == ' '))
      value.remove_suffix(1);
    if (name == "content-type") transfer.content_type = value;
    if (name == "retry-after" && !value.empty() && std::isdigit(static_cast<unsigned char>(value.front()))) {
      transfer.retry_after = std::strtol(std::string(value).c_str(), nullptr, 10);
    }
  }
  return size * count;
}

struct EasyDeleter {
  void operator()(CURL* easy) const { Curl().easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { Curl().multi_cleanup(multi); }
};

LookupError Failed(CURLcode code, const std::string& server, const Transfer& transfer) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return LookupError(LookupFailure::NoNetwork,
                         "サーバー " + server + " が見つかりません。ネットワークに接続されているか確かめてください");
    case CURLE_COULDNT_CONNECT: return LookupError(LookupFailure::Refused, "サーバー " + server + " に接続できません");
    case CURLE_OPERATION_TIMEDOUT:
      return LookupError(LookupFailure::TimedOut, "サーバー " + server + " から時間内に応答がありません");
    case CURLE_WRITE_ERROR:
      if (transfer.too_large)
        return LookupError(LookupFailure::BadAnswer, "サーバー " + server + " の応答が大きすぎます");
      break;
    default: break;
  }
  return LookupError(LookupFailure::BadAnswer,
                     "サーバー " + server + " と通信できません: " + Curl().easy_strerror(code));
}

}  // namespace

HttpClient::HttpClient(std::string user_agent, std::chrono::milliseconds timeout)
    : user_agent_(std::move(user_agent)), timeout_(timeout) {}

HttpClient::~HttpClient() = default;

HttpResponse HttpClient::Get(const std::string& url, const std::string& server, const CancelFlag& cancel) {
  if (cancel.Cancelled()) throw LookupError(LookupFailure::Cancelled, "検索を中止しました");
  const CurlApi& curl = Curl();
  std::unique_ptr<CURL, EasyDeleter> easy(curl.easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl.multi_init());
  if (!easy || !multi) throw LookupError(LookupFailure::BadAnswer, "通信の準備ができません");
  Transfer transfer;
  CURL* handle = easy.get();
  curl.easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl.easy_setopt(handle, CURLOPT_USERAGENT, user_agent_.c_str());
  curl.easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl.easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout_.count()));
  curl.easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl.easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
  curl.easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl.easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl.easy_setopt(handle, CURLOPT_WRITEFUNCTION, WriteBody);
  curl.easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl.easy_setopt(handle, CURLOPT_HEADERFUNCTION, ReadHeader);
  curl.easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
  curl.multi_add_handle(multi.get(), handle);

  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl.multi_perform(multi.get(), &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    bool done = false;
    while (CURLMsg* message = curl.multi_info_read(multi.get(), &queued)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done || running == 0) break;
    if (cancel.Cancelled()) {
      curl.multi_remove_handle(multi.get(), handle);
      throw LookupError(LookupFailure::Cancelled, "検索を中止しました");
    }
    curl.multi_poll(multi.get(), nullptr, 0, kPollMilliseconds, nullptr);
  }
  curl.multi_remove_handle(multi.get(), handle);
  if (cancel.Cancelled()) throw LookupError(LookupFailure::Cancelled, "検索を中止しました");
  if (result != CURLE_OK) throw Failed(result, server, transfer);

  HttpResponse response;
  curl.easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.Status);
  response.Body = std::move(transfer.body);
  response.ContentType = std::move(transfer.content_type);
  response.RetryAfter = transfer.retry_after;
  return response;
}

std::string ServerOf(const std::string& url) {
  const auto scheme = url.find("://");
  const std::size_t host = scheme == std::string::npos ? 0 : scheme + 3;
  const auto end = url.find_first_of("/?#", host);
  return url.substr(0, end);
}

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : text) {
    const bool letter_or_digit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (letter_or_digit || c == '-' || c == '_' || c == '.' || c == '~') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

}  // namespace qvr
