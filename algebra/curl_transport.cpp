// libcurl behind IntegrationTransport. Any HTTP status but 200 fails the transfer (400 and up
// end it early through CURLOPT_FAILONERROR), only http and https are spoken, redirects are not
// followed (a 3xx fails), the proxy
// comes from the environment as libcurl reads it, and no signal is used for the timeouts, so the
// call is safe beside other threads.
#include "algebra/curl_transport.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <new>

namespace {

struct Reply {
  std::string bytes;
  bool overflowed = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  auto* reply = static_cast<Reply*>(user);
  const size_t n = size * count;
  if (reply->bytes.size() + n > kMaxIntegrationReplyBytes) {
    reply->overflowed = true;
    return 0;  // fewer bytes than given: libcurl ends the transfer as failed
  }
  try {
    reply->bytes.append(data, n);
  } catch (const std::bad_alloc&) {  // never through libcurl's C frames
    reply->overflowed = true;
    return 0;
  }
  return n;
}

// libcurl's transfer-info callback: the installed hook asked; non-zero aborts the transfer.
int Progress(void* user, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  const auto* limits = static_cast<const TransferLimits*>(user);
  const bool going =
      limits->progress(limits->progressContext, static_cast<int64_t>(received), static_cast<int64_t>(expected));
  return going ? 0 : 1;
}

// A time limit in milliseconds; libcurl reads 0 as none, so a limit that is not positive takes
// the default instead.
long Limit(int32_t ms, int32_t fallback) { return static_cast<long>(ms > 0 ? ms : fallback); }

class CurlTransport final : public IntegrationTransport {
 public:
  std::optional<std::string> PostForm(const std::string& url, const std::string& body,
                                      const TransferLimits& limits) override {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    if (!ready) return std::nullopt;
    const std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return std::nullopt;
    // Without it libcurl would send "Expect: 100-continue" on larger bodies and wait for it.
    const std::unique_ptr<curl_slist, void (*)(curl_slist*)> headers(curl_slist_append(nullptr, "Expect:"),
                                                                      curl_slist_free_all);
    if (!headers) return std::nullopt;
    Reply reply;
    CURL* c = curl.get();
    const TransferLimits defaults;
    const long connectMs = Limit(limits.connectTimeoutMs, defaults.connectTimeoutMs);
    const long totalMs = Limit(limits.totalTimeoutMs, defaults.totalTimeoutMs);
    const bool set =
        curl_easy_setopt(c, CURLOPT_URL, url.c_str()) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_POST, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, connectMs) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, totalMs) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect) == CURLE_OK &&
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &reply) == CURLE_OK &&
        (limits.progress == nullptr ||
         (curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress) == CURLE_OK &&
          curl_easy_setopt(c, CURLOPT_XFERINFODATA, &limits) == CURLE_OK &&
          curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) == CURLE_OK));
    if (!set || curl_easy_perform(c) != CURLE_OK || reply.overflowed) return std::nullopt;
    // Only a 200 carries an answer: a redirect's page or a 204's emptiness is no integral.
    long status = 0;
    if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) return std::nullopt;
    return std::move(reply.bytes);
  }
};

}  // namespace

IntegrationTransport& CurlIntegrationTransport() {
  static CurlTransport transport;
  return transport;
}
