// The remote integration client: every integral of the selection is sent as prefix text to an
// integration server over HTTP and replaced by the server's answer, read as formula text.
// Invariants: nothing is sent unless a server is configured (a failure then, and nothing on the
// wire); a request is one POST bounded by the connect and total timeouts, a reply by its size;
// the reply is untrusted text, read whole by the bounded formula reader or not at all; a failed
// request re-posts error 18 and leaves the integral as it was (a definite one becomes the
// substitution form of the indefinite one).
#pragma once

#include <string>
#include <string_view>

#include "algebra/integration_transport.h"

struct ExprNode;

// The environment variable naming the server when no setting does: a URL (http or https) or a
// host, e.g. "integrals.example.org" or "https://integrals.example.org:9000/integrate".
inline constexpr const char* kIntegrationServerVariable = "QUORVALIS_INTEGRATION_SERVER";
inline constexpr int kIntegrationServerPort = 8010;
inline constexpr const char* kIntegrationServerPath = "/integrateQV2";

// The client's process-wide settings, in one record with one reset (tests).
struct RemoteIntegrationSettings {
  std::string server;  // as the environment variable; empty: the variable decides
  TransferLimits limits;
  IntegrationTransport* transport = nullptr;  // null: CurlIntegrationTransport (curl_transport.h)
};
RemoteIntegrationSettings& RemoteIntegrationGlobals();
void ResetRemoteIntegrationForTest();

// The server's URL from a setting or the variable's text: a bare host (or host:port) becomes
// http://host; a missing port becomes 8010 and a missing path /integrateQV2. Empty when the text
// is empty, names another scheme, has no host, or holds blanks or control bytes.
std::string IntegrationServerURL(std::string_view configured);
// The URL in force: the setting, else the environment variable; empty when neither names one.
std::string ConfiguredIntegrationServer();

// "thecommand=" and the text with letters and digits kept, a blank as '+' and every other byte
// as '%' and two upper-case hex digits (0xE9 as %E9).
std::string EncodeIntegrationRequest(std::string_view text);
// The body POSTed to the configured server; the reply with A..Z lowered, read as formula text.
// Only a 200 reply whose body reads whole as one formula answers; no server, no answer, any other
// status (a redirect, 204 No Content, an error), a cancelled transfer or a body that does not read
// whole: error 18 re-posted (shown once), null.
ExprNode* QueryIntegrationServer(const std::string& body);
// Every log node of the tree becomes ln, its operands kept.
void RenameLogToLn(ExprNode* tree);
// One integral: its prefix text sent, the answer (logarithms natural, SimplifyWithReciprocals)
// put in its place; without an answer a definite integral becomes ExpandDefiniteIntegral's
// substitution and any other node stays. The wait asks the running command's progress seam
// (command_progress.h); once the user cancelled a wait of the command, nothing more is sent and
// every later integral takes the no-answer path without a message of its own.
void EvaluateNodeViaRemoteServer(ExprNode* node);
// EvaluateNodeViaRemoteServer on every integral node of the tree in post-order (inner integrals
// first; an answer is not walked again).
void RemoteEvaluateNodes(ExprNode* tree);
// RemoteEvaluateNodes on the current editor's caret node. No editor: nothing.
void RemoteEvaluateSelection();
