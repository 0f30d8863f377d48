// The integration client above its transport: which server, the request body, the reply read as
// a formula, and the walk over the selection's integrals. Failures are told through the error
// register (error 18, re-armed each time so one command shows it once however many integrals
// failed), never returned to the command.
#include "algebra/remote_integration.h"

#include <cstdlib>

#include "algebra/command_progress.h"
#include "algebra/curl_transport.h"
#include "algebra/expansion_by_kind.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/text/formula_reader.h"
#include "kernel/text/formula_writer.h"
#include "kernel/trees/expr_node.h"

namespace {

bool IsAlphanumeric(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// 1..65535 in decimal digits.
bool IsPort(std::string_view s) {
  if (s.empty() || s.size() > 5) return false;
  int port = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535;
}

void PostIntegrationError() {
  ClearErrorPosted(kErrorIntegrationServer);  // each failure is told again, shown once
  PostError(kErrorIntegrationServer);
}

// The settings' limits, with a progress hook that asks the settings' own hook (if any) and then
// the running command's progress seam, which shows the wait and hears the user cancel it.
TransferLimits WaitLimits(const TransferLimits* own) {
  TransferLimits limits = *own;
  limits.progress = [](void* context, int64_t received, int64_t expected) {
    const auto* settings = static_cast<const TransferLimits*>(context);
    if (settings->progress != nullptr && !settings->progress(settings->progressContext, received, expected)) return false;
    return KeepWaitingForServer(received, expected);
  };
  limits.progressContext = const_cast<TransferLimits*>(own);
  return limits;
}

}  // namespace

RemoteIntegrationSettings& RemoteIntegrationGlobals() {
  static RemoteIntegrationSettings settings;
  return settings;
}

void ResetRemoteIntegrationForTest() { RemoteIntegrationGlobals() = RemoteIntegrationSettings{}; }

std::string IntegrationServerURL(std::string_view configured) {
  const std::string_view text = TrimBlanks(configured);
  for (unsigned char c : text) {
    if (c <= ' ' || c >= 0x7F) return {};
  }
  std::string scheme = "http";
  std::string_view rest = text;
  if (const size_t colon = text.find("://"); colon != std::string_view::npos) {
    scheme.clear();
    for (char c : text.substr(0, colon)) scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    if (scheme != "http" && scheme != "https") return {};
    rest = text.substr(colon + 3);
  }
  const size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  const std::string_view path = slash == std::string_view::npos ? std::string_view(kIntegrationServerPath) : rest.substr(slash);
  if (authority.find_first_of("@?#") != std::string_view::npos) return {};
  // The host, and the port after it: an IPv6 literal stands in brackets, whose colons are its own.
  size_t hostEnd = authority.rfind(':');
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos || close == 1) return {};
    hostEnd = close + 1 < authority.size() ? close + 1 : std::string_view::npos;
    if (hostEnd != std::string_view::npos && authority[hostEnd] != ':') return {};
  }
  const std::string_view host = authority.substr(0, hostEnd);
  if (host.empty()) return {};
  std::string url = scheme + "://" + std::string(host) + ":";
  if (hostEnd == std::string_view::npos) {
    url += std::to_string(kIntegrationServerPort);
  } else if (IsPort(authority.substr(hostEnd + 1))) {
    url += authority.substr(hostEnd + 1);
  } else {
    return {};
  }
  return url + std::string(path);
}

std::string ConfiguredIntegrationServer() {
  const std::string& server = RemoteIntegrationGlobals().server;
  if (!server.empty()) return IntegrationServerURL(server);
  const char* variable = std::getenv(kIntegrationServerVariable);
  return variable != nullptr ? IntegrationServerURL(variable) : std::string();
}

std::string EncodeIntegrationRequest(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string body = "thecommand=";
  body.reserve(body.size() + 3 * text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsAlphanumeric(c)) {
      body += ch;
    } else if (c == ' ') {
      body += '+';
    } else {
      body += '%';
      body += kHex[c >> 4];
      body += kHex[c & 0xF];
    }
  }
  return body;
}

ExprNode* QueryIntegrationServer(const std::string& body) {
  const std::string url = ConfiguredIntegrationServer();
  std::optional<std::string> reply;
  if (!url.empty()) {  // with no server named nothing goes out
    const RemoteIntegrationSettings& settings = RemoteIntegrationGlobals();
    IntegrationTransport& transport = settings.transport != nullptr ? *settings.transport : CurlIntegrationTransport();
    reply = transport.PostForm(url, body, WaitLimits(&settings.limits));
  }
  if (!reply) {
    PostIntegrationError();
    return nullptr;
  }
  // A NUL inside would end the text early and let a readable beginning stand for the whole.
  ExprNode* answer = nullptr;
  if (reply->find('\0') == std::string::npos) {
    for (char& c : *reply) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    answer = ReadWholeFormula(reply->c_str());
  }
  // A reply that is no formula is a failed exchange too: the user is told, not left guessing.
  if (answer == nullptr) PostIntegrationError();
  return answer;
}

void RenameLogToLn(ExprNode* tree) {
  ForEachPostOrder(tree, [](ExprNode* node) {
    if (node->kind == KindLog) node->kind = KindLn;
  });
}

void EvaluateNodeViaRemoteServer(ExprNode* node) {
  ExprNode* result = nullptr;
  // Once the user cancelled a wait, the command's other integrals are not sent: each stays as a
  // failed one does, and the one message already posted tells of them all.
  const bool send = !MathCommandTransfersCancelled() && !MathCommandStopped();
  if (char* text = send ? FormatExpressionLisp(node) : nullptr) {
    result = QueryIntegrationServer(EncodeIntegrationRequest(text));
    FreeMemory(text);
  }
  if (result == nullptr) {
    ExpandDefiniteIntegral(node);  // only a four-operand integral changes
    return;
  }
  RenameLogToLn(result);
  SimplifyWithReciprocals(result);
  ReplaceExpression(result, node);
}

void RemoteEvaluateNodes(ExprNode* tree) {
  ForEachPostOrder(tree, [](ExprNode* node) {
    if (node->kind == KindIntegral) EvaluateNodeViaRemoteServer(node);
  });
}

void RemoteEvaluateSelection() {
  const FormulaEditor* editor = TypesettingGlobals().currentEditor;
  if (editor != nullptr && editor->caretNode != nullptr) RemoteEvaluateNodes(editor->caretNode);
}
