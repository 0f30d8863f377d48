// The one HTTP exchange the integration client needs, behind an interface so that tests can put a
// fake in its place: a form POSTed, the reply's bytes back, within time limits and a size cap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Replies longer than this are refused as failures.
inline constexpr size_t kMaxIntegrationReplyBytes = 1 << 20;

// Asked while a transfer runs (several times a second, and about once a second even while nothing
// arrives) with the reply's bytes received so far and its announced length (0 while unknown);
// answering false cancels the transfer, which then fails. The algebra draws nothing itself: a
// window installs a hook to show its progress and to hear the user cancel.
using TransferProgressHook = bool (*)(void* context, int64_t received, int64_t expected);

// How long a request may take, in milliseconds (a limit that is not positive takes the default),
// and the progress hook that may end it sooner (none: the transfer runs to its limits).
struct TransferLimits {
  int32_t connectTimeoutMs = 5000;
  int32_t totalTimeoutMs = 30000;
  TransferProgressHook progress = nullptr;
  void* progressContext = nullptr;
};

// PostForm POSTs body as application/x-www-form-urlencoded to url and returns the reply's bytes,
// or nothing when the connection or the transfer failed, the HTTP status was not 200 (a redirect,
// 204 No Content and every error status fail), a limit ran out, the progress hook cancelled it or
// the reply passed kMaxIntegrationReplyBytes.
class IntegrationTransport {
 public:
  virtual ~IntegrationTransport() = default;
  virtual std::optional<std::string> PostForm(const std::string& url, const std::string& body,
                                              const TransferLimits& limits) = 0;
};
