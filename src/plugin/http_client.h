// The HTTP client of the download: one GET of an already encoded URL into a byte buffer, with
// progress notifications.
//
// The dialog creates a fresh client for every download and frees it afterwards. The libcurl
// client speaks HTTP/1.1, follows no redirects and sends the request headers
// Accept "text/html, */*" and User-Agent "Mozilla/3.0 (compatible; Indy Library)". Used on one
// thread; the notifications run on it, inside Get.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace veltra::plugin {

enum class TWorkMode { wmRead, wmWrite };

// The running total of bytes moved in one direction within one transfer (from 0 at its start).
using THttpWorkEvent = std::function<void(TWorkMode mode, int64_t count)>;

// A failed transfer: a refused connection, a broken transfer, a non-success HTTP status or an
// answer too large to take. what() is a message for the user.
class EHttpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kAcceptHeader = "Accept: text/html, */*";
inline constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
// An answer larger than this is refused, so a misbehaving server cannot exhaust memory.
inline constexpr int64_t kMaxResponseBytes = int64_t{64} << 20;

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // GETs `url` and returns the whole response body as it came (no character set conversion).
  // `on_work` (may be empty) sees the cumulative counts. Throws EHttpError on failure; a 2xx
  // status is success, any other status (redirects included) is a failure that names the status.
  virtual std::string Get(const std::string& url, const THttpWorkEvent& on_work) = 0;
};

using HttpClientFactory = std::function<std::unique_ptr<HttpClient>()>;

// A client on libcurl with the settings above.
std::unique_ptr<HttpClient> NewCurlHttpClient();

}  // namespace veltra::plugin
