// The libcurl client. One easy handle per client, made when the client is made and cleaned up
// with it; libcurl's global state is set up once per process.

#include <curl/curl.h>

#include <mutex>
#include <string>

#include "plugin/http_client.h"

namespace veltra::plugin {
namespace {

// A transfer that moves less than one byte per second for this long is abandoned, so a server
// that accepts the connection and then goes silent cannot hang the dialog.
constexpr long kStallSeconds = 60;
// The longest status line quoted in an error.
constexpr size_t kMaxStatusLineLength = 200;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  std::string body;
  std::string status_line;
  bool in_headers = true;
  bool too_large = false;
  const THttpWorkEvent* on_work = nullptr;
  std::exception_ptr handler_error;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  size_t bytes = size * count;
  if (static_cast<int64_t>(t.body.size() + bytes) > kMaxResponseBytes) {
    t.too_large = true;
    return 0;  // makes libcurl stop with CURLE_WRITE_ERROR
  }
  t.body.append(data, bytes);
  if (t.on_work && *t.on_work) {
    try {
      (*t.on_work)(TWorkMode::wmRead, static_cast<int64_t>(t.body.size()));
    } catch (...) {
      t.handler_error = std::current_exception();
      return 0;
    }
  }
  return bytes;
}

// Keeps the status line of the last response ("HTTP/1.1 404 Not Found"), for the error text.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  std::string_view line(data, size * count);
  if (line.rfind("HTTP/", 0) == 0) {
    t.status_line.clear();
    for (char c : line) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20 || u >= 0x7F) continue;
      if (t.status_line.size() >= kMaxStatusLineLength) break;
      t.status_line += c;
    }
    while (!t.status_line.empty() && t.status_line.back() == ' ') t.status_line.pop_back();
  }
  return size * count;
}

class CurlHttpClient final : public HttpClient {
 public:
  CurlHttpClient() {
    InitCurlOnce();
    handle_ = curl_easy_init();
    if (handle_ == nullptr) throw EHttpError("The HTTP client could not be created");
  }
  ~CurlHttpClient() override {
    curl_easy_cleanup(handle_);
    curl_slist_free_all(headers_);
  }
  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  std::string Get(const std::string& url, const THttpWorkEvent& on_work) override {
    Transfer t;
    t.on_work = &on_work;
    char error_text[CURL_ERROR_SIZE] = {};
    curl_slist_free_all(headers_);
    headers_ = curl_slist_append(nullptr, kAcceptHeader);
    if (headers_ == nullptr) throw EHttpError("The HTTP client ran out of memory");

    curl_easy_reset(handle_);
    curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle_, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(handle_, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle_, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, error_text);

    if (on_work) on_work(TWorkMode::wmRead, 0);
    CURLcode code = curl_easy_perform(handle_);
    curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, nullptr);
    if (t.handler_error) std::rethrow_exception(t.handler_error);
    if (t.too_large) {
      throw EHttpError("The answer of the results service is larger than " +
                       std::to_string(kMaxResponseBytes) + " bytes");
    }
    if (code != CURLE_OK) {
      std::string message = "HTTP transfer failed: ";
      message += curl_easy_strerror(code);
      if (error_text[0] != '\0') {
        message += " (";
        message += error_text;
        message += ")";
      }
      throw EHttpError(message);
    }
    long status = 0;
    curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
      throw EHttpError(t.status_line.empty() ? "HTTP error " + std::to_string(status)
                                             : t.status_line);
    }
    return std::move(t.body);
  }

 private:
  CURL* handle_ = nullptr;
  curl_slist* headers_ = nullptr;
};

}  // namespace

std::unique_ptr<HttpClient> NewCurlHttpClient() { return std::make_unique<CurlHttpClient>(); }

}  // namespace veltra::plugin
