// The one HTTP exchange the integration client needs, behind an interface so that tests can put a
// fake in its place: a form POSTed, the reply's bytes back, within time limits and a size cap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Replies longer than this are refused as failures.
inline constexpr size_t kMaxIntegrationReplyBytes = 1 << 20;

// How long a request may take, in milliseconds; a limit that is not positive takes the default.
struct TransferLimits {
  int32_t connectTimeoutMs = 5000;
  int32_t totalTimeoutMs = 30000;
};

// PostForm POSTs body as application/x-www-form-urlencoded to url and returns the reply's bytes,
// or nothing when the connection, the transfer or the HTTP status (400 and up) failed, a limit
// ran out or the reply passed kMaxIntegrationReplyBytes.
class IntegrationTransport {
 public:
  virtual ~IntegrationTransport() = default;
  virtual std::optional<std::string> PostForm(const std::string& url, const std::string& body,
                                              const TransferLimits& limits) = 0;
};
