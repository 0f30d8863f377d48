// The remote integration client: the request encoding against an independent decoder, the server
// setting, the walk over integrals with a fake transport, then libcurl against a scripted server
// on 127.0.0.1 that each test starts itself (success, refusal, HTTP 500, a redirect or 204, silence,
// a slow reply with the progress hook, an unreadable or oversized reply, and no traffic at all
// without a server named), and the browser launcher.
// Every network wait is bounded by the client's time-outs and the server's own deadline.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <fstream>
#include <sstream>
#include <thread>

#include "algebra/browser_launch.h"
#include "algebra/remote_integration.h"
#include "kernel/diagnostics/error_register.h"
#include "tests/algebra/algebra_test_support.h"
#include "tests/algebra/loopback_http_server.h"

namespace {

using namespace algebra_test;

class RemoteIntegrationTest : public AlgebraTest {
 protected:
  void SetUp() override {
    AlgebraTest::SetUp();
    // A proxy named in the environment would take the loopback requests elsewhere.
    for (const char* proxy : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      unsetenv(proxy);
    }
    RemoteIntegrationGlobals().limits = TransferLimits{2000, 2000};
  }
};

// Answers each request from a list (none: no answer) and keeps the bodies.
struct FakeServer : IntegrationTransport {
  explicit FakeServer(std::vector<std::optional<std::string>> replies) : replies(std::move(replies)) {}
  std::optional<std::string> PostForm(const std::string& url, const std::string& body, const TransferLimits&) override {
    urls.push_back(url);
    bodies.push_back(body);
    return bodies.size() <= replies.size() ? replies[bodies.size() - 1] : std::nullopt;
  }
  std::vector<std::optional<std::string>> replies;
  std::vector<std::string> urls, bodies;
};

// Form decoding written from the rule, not from the encoder: '+' is a blank, %XX a byte.
std::string Decoded(const std::string& body) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '+') {
      out += ' ';
    } else if (body[i] == '%' && i + 2 < body.size()) {
      out += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += body[i];
    }
  }
  return out;
}

TEST_F(RemoteIntegrationTest, RequestsEncodeLettersDigitsBlanksAndEveryOtherByte) {
  const std::pair<std::string, std::string> cases[] = {
      {"(integrate (expt x 2) x)", "thecommand=%28integrate+%28expt+x+2%29+x%29"},
      {"\xE9", "thecommand=%E9"},
      {"*-._", "thecommand=%2A%2D%2E%5F"},
      {"", "thecommand="},
      {"azAZ09", "thecommand=azAZ09"},
      {std::string("a\0b", 3), "thecommand=a%00b"},
      {"\x7F\x80\xFF~", "thecommand=%7F%80%FF%7E"},
  };
  for (const auto& [text, body] : cases) EXPECT_EQ(EncodeIntegrationRequest(text), body) << text;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += static_cast<char>(i % 256);
  const std::string body = EncodeIntegrationRequest(text);
  ASSERT_EQ(body.compare(0, 11, "thecommand="), 0);
  EXPECT_EQ(body.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+%", 11),
            std::string::npos);
  EXPECT_EQ(Decoded(body.substr(11)), text);
}

TEST_F(RemoteIntegrationTest, TheServerSettingBecomesAURLWithTheDefaultPortAndPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"integrals.example.org", "http://integrals.example.org:8010/integrateQV2"},
      {"  host\n", "http://host:8010/integrateQV2"},
      {"host:9000", "http://host:9000/integrateQV2"},
      {"http://host", "http://host:8010/integrateQV2"},
      {"HTTPS://host:443/x/y", "https://host:443/x/y"},
      {"http://127.0.0.1:5/integrate", "http://127.0.0.1:5/integrate"},
      {"[::1]", "http://[::1]:8010/integrateQV2"},
      {"http://[::1]:7/p", "http://[::1]:7/p"},
      {"", ""}, {"   ", ""}, {"ftp://host", ""}, {"file:///etc/passwd", ""}, {"http://", ""},
      {"http://:80/p", ""}, {"host:0", ""}, {"host:65536", ""}, {"host:8x", ""}, {"host:", ""},
      {"a b", ""}, {"user@host", ""}, {"host?q", ""}, {"[::1", ""}, {"[::1]x", ""}, {"ho\x01st", ""},
  };
  for (const auto& [configured, url] : cases) EXPECT_EQ(IntegrationServerURL(configured), url) << configured;

  EXPECT_EQ(ConfiguredIntegrationServer(), "");
  setenv(kIntegrationServerVariable, "from-environment", 1);
  EXPECT_EQ(ConfiguredIntegrationServer(), "http://from-environment:8010/integrateQV2");
  RemoteIntegrationGlobals().server = "from-setting:1";
  EXPECT_EQ(ConfiguredIntegrationServer(), "http://from-setting:1/integrateQV2");
  unsetenv(kIntegrationServerVariable);
}

TEST_F(RemoteIntegrationTest, AnAnswerReplacesTheIntegralInItsPlace) {
  struct Case {
    const char* tree;
    const char* reply;
    const char* after;
  };
  const Case cases[] = {
      {"plus[integral[power[x,2],x],1]", "OVER[POWER[X,3],3]", "plus[over[power[x,3],3],1]"},
      {"integral[over[1,x],x]", "LOG[X]", "ln[x]"},  // the service's logarithms are natural
      {"integral[f,x]", "log[x,2]", "ln[x,2]"},       // with two operands too
      {"integral[f,x]", "  Y \r\n", "y"},              // blanks around the answer
      {"integral[f,x]", "power[x,minus[2]]", "over[1,power[x,2]]"},  // simplified with reciprocals
  };
  for (const Case& c : cases) {
    FakeServer server({std::string(c.reply)});
    RemoteIntegrationGlobals().server = "integrals.test";
    RemoteIntegrationGlobals().transport = &server;
    CurrentEditor e(c.tree);
    RemoteEvaluateSelection();
    EXPECT_TRUE(Is(e.editor.root, c.after)) << c.reply;
    EXPECT_EQ(server.urls, std::vector<std::string>{"http://integrals.test:8010/integrateQV2"});
    EXPECT_FALSE(HasPendingError());
  }
}

TEST_F(RemoteIntegrationTest, InnerIntegralsGoFirstAndAnswersAreNotSentAgain) {
  FakeServer server({std::string("u"), std::string("integral[v,v]")});
  RemoteIntegrationGlobals().server = "integrals.test";
  RemoteIntegrationGlobals().transport = &server;
  CurrentEditor e("integral[integral[x,x],y]");
  RemoteEvaluateSelection();
  ASSERT_EQ(server.bodies.size(), 2u);
  EXPECT_EQ(Decoded(server.bodies[0]), "thecommand=(integrate x x)");
  EXPECT_EQ(Decoded(server.bodies[1]), "thecommand=(integrate u y)");  // the inner answer in place
  EXPECT_TRUE(Is(e.editor.root, "integral[v,v]"));
}

// A reply that does not read whole is no answer: the integral stays (a definite one as the
// substitution form) and nothing is told; a failed request tells error 18, once per command.
TEST_F(RemoteIntegrationTest, FailuresLeaveTheIntegralAndTellErrorEighteenOnce) {
  for (const char* reply : {"<html>Internal error</html>", "x y z", "", "plus[x,", "times[]", "sin[x]garbage"}) {
    FakeServer server({std::string(reply), std::string(reply)});
    RemoteIntegrationGlobals().server = "integrals.test";
    RemoteIntegrationGlobals().transport = &server;
    CurrentEditor e("plus[integral[f,x],integral[g,x,a,b]]");
    RemoteEvaluateSelection();
    EXPECT_TRUE(Is(e.editor.root, "plus[integral[f,x],substitution[integral[g,x],equal[x,a],b]]")) << reply;
    EXPECT_EQ(PendingError(), kErrorIntegrationServer) << "a reply that is no formula is told: " << reply;
    ResetErrorRegister();
  }
  FakeServer withNul({std::string("x\0y", 3)});
  RemoteIntegrationGlobals().transport = &withNul;
  CurrentEditor e("integral[f,x]");
  RemoteEvaluateSelection();
  EXPECT_TRUE(Is(e.editor.root, "integral[f,x]")) << "a NUL inside the reply";
  EXPECT_EQ(PendingError(), kErrorIntegrationServer) << "a NUL inside the reply";
  ResetErrorRegister();

  FakeServer down({});
  RemoteIntegrationGlobals().transport = &down;
  CurrentEditor two("plus[integral[f,x],integral[g,x,a,b]]");
  RemoteEvaluateSelection();
  EXPECT_EQ(down.bodies.size(), 2u) << "each integral is tried";
  EXPECT_TRUE(Is(two.editor.root, "plus[integral[f,x],substitution[integral[g,x],equal[x,a],b]]"));
  EXPECT_EQ(PendingError(), kErrorIntegrationServer);
  ShowPendingError();
  EXPECT_FALSE(HasPendingError()) << "shown once";
  RemoteEvaluateSelection();  // the next command's failure is told again
  EXPECT_EQ(PendingError(), kErrorIntegrationServer);
}

TEST_F(RemoteIntegrationTest, WithoutAServerNothingIsSent) {
  FakeServer counting({std::string("x")});
  RemoteIntegrationGlobals().transport = &counting;
  for (const char* named : {"", "ftp://somewhere", "not a host"}) {
    RemoteIntegrationGlobals().server = named;
    CurrentEditor e("integral[f,x,0,1]");
    RemoteEvaluateSelection();
    EXPECT_TRUE(counting.bodies.empty()) << named;
    EXPECT_TRUE(Is(e.editor.root, "substitution[integral[f,x],equal[x,0],1]")) << named;
    EXPECT_EQ(PendingError(), kErrorIntegrationServer) << named;
    ResetErrorRegister();
  }
}

// Number text in the request never follows LC_NUMERIC.
TEST_F(RemoteIntegrationTest, NumbersGoOutWithADecimalPointInAnyLocale) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no comma locale installed";
  FakeServer server({});
  RemoteIntegrationGlobals().server = "integrals.test";
  RemoteIntegrationGlobals().transport = &server;
  CurrentEditor e("integral[times[1.5,x],x]");
  RemoteEvaluateSelection();
  std::setlocale(LC_NUMERIC, saved.c_str());
  ASSERT_EQ(server.bodies.size(), 1u);
  EXPECT_EQ(Decoded(server.bodies[0]), "thecommand=(integrate (* 1.5 x) x)");
}

// ---- libcurl against the scripted server on 127.0.0.1 ---------------------------------------

TEST_F(RemoteIntegrationTest, LoopbackAnswerArrivesInPlaceOfTheIntegral) {
  loopback::Server server({{loopback::Answer::kReply, 200, "OVER[POWER[X,3],3]"},
                           {loopback::Answer::kReply, 200, "LOG[X]"}});
  ASSERT_NE(server.Port(), 0);
  RemoteIntegrationGlobals().server = server.URL();
  CurrentEditor e("plus[integral[power[x,2],x],integral[over[1,x],x]]");
  RemoteEvaluateSelection();
  EXPECT_TRUE(Is(e.editor.root, "plus[over[power[x,3],3],ln[x]]"));
  EXPECT_FALSE(HasPendingError());
  const std::vector<loopback::Request> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/integrateQV2");
  EXPECT_EQ(requests[0].body, "thecommand=%28integrate+%28expt+x+2%29+x%29");
  EXPECT_NE(requests[0].headers.find("Content-Type: application/x-www-form-urlencoded"), std::string::npos)
      << requests[0].headers;
  EXPECT_EQ(requests[1].body, "thecommand=%28integrate+%28%2F+1+x%29+x%29");
}

TEST_F(RemoteIntegrationTest, LoopbackFailuresTellErrorEighteenAndLeaveTheIntegral) {
  struct Failure {
    const char* why;
    loopback::Script script;
    bool told;
  };
  const Failure failures[] = {
      {"HTTP 500", {loopback::Answer::kReply, 500, "x"}, true},
      {"HTTP 404", {loopback::Answer::kReply, 404, "x"}, true},
      {"closed without a reply", {loopback::Answer::kClose, 0, ""}, true},
      {"a reply past the cap", {loopback::Answer::kReply, 200, std::string(kMaxIntegrationReplyBytes + 1, 'x')}, true},
      {"an unreadable reply", {loopback::Answer::kReply, 200, "integral of x is x^2/2"}, true},
      // Only a 200 answers: a redirect's page that reads as a formula is still no integral.
      {"302 with a formula", {loopback::Answer::kReply, 302, "OVER[POWER[X,2],2]"}, true},
      {"301 with a formula", {loopback::Answer::kReply, 301, "X"}, true},
      {"204 empty", {loopback::Answer::kReply, 204, ""}, true},
      {"201 with a formula", {loopback::Answer::kReply, 201, "X"}, true},
      {"200 empty", {loopback::Answer::kReply, 200, ""}, true},
  };
  for (const Failure& f : failures) {
    loopback::Server server({f.script});
    RemoteIntegrationGlobals().server = server.URL();
    CurrentEditor e("integral[x,x,0,1]");
    RemoteEvaluateSelection();
    EXPECT_TRUE(Is(e.editor.root, "substitution[integral[x,x],equal[x,0],1]")) << f.why;
    EXPECT_EQ(PendingError() == kErrorIntegrationServer, f.told) << f.why;
    EXPECT_EQ(server.Connections(), 1) << f.why;
    ResetErrorRegister();
  }
}

// The progress hook is asked while a slow reply is awaited, sees the bytes when they come, and a
// refusal from it ends the wait at once as a failed transfer.
TEST_F(RemoteIntegrationTest, TheProgressHookIsAskedWhileWaitingAndCanCancel) {
  struct Watch {
    int calls = 0;
    int64_t received = 0;
    int cancelAfter = 0;  // 0: never
  };
  const auto hook = [](void* context, int64_t received, int64_t) {
    auto* watch = static_cast<Watch*>(context);
    ++watch->calls;
    watch->received = std::max(watch->received, received);
    return watch->cancelAfter == 0 || watch->calls < watch->cancelAfter;
  };
  RemoteIntegrationGlobals().limits = TransferLimits{2000, 10000, hook, nullptr};
  {
    Watch watch;
    RemoteIntegrationGlobals().limits.progressContext = &watch;
    loopback::Server server({{loopback::Answer::kReply, 200, "OVER[POWER[X,2],2]", 600}});
    RemoteIntegrationGlobals().server = server.URL();
    CurrentEditor e("integral[x,x]");
    RemoteEvaluateSelection();
    EXPECT_TRUE(Is(e.editor.root, "over[power[x,2],2]"));
    EXPECT_FALSE(HasPendingError());
    EXPECT_GE(watch.calls, 2) << "asked while the reply was held back";
    EXPECT_EQ(watch.received, 18) << "the whole reply counted";
  }
  {
    Watch watch;
    watch.cancelAfter = 3;
    RemoteIntegrationGlobals().limits.progressContext = &watch;
    loopback::Server server({{loopback::Answer::kReply, 200, "X", 8000}});
    RemoteIntegrationGlobals().server = server.URL();
    CurrentEditor e("integral[x,x,0,1]");
    const auto start = std::chrono::steady_clock::now();
    RemoteEvaluateSelection();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0) << "cancelled, not waited out";
    EXPECT_EQ(watch.calls, 3);
    EXPECT_TRUE(Is(e.editor.root, "substitution[integral[x,x],equal[x,0],1]"));
    EXPECT_EQ(PendingError(), kErrorIntegrationServer);
  }
}

TEST_F(RemoteIntegrationTest, LoopbackRefusalIsToldOnceForEveryIntegralTried) {
  RemoteIntegrationGlobals().server = "http://127.0.0.1:" + std::to_string(loopback::RefusingPort()) + "/integrateQV2";
  CurrentEditor e("plus[integral[f,x],integral[g,x,a,b]]");
  RemoteEvaluateSelection();
  EXPECT_TRUE(Is(e.editor.root, "plus[integral[f,x],substitution[integral[g,x],equal[x,a],b]]"));
  EXPECT_EQ(PendingError(), kErrorIntegrationServer);
  ShowPendingError();
  EXPECT_FALSE(HasPendingError());

  // Two integrals, two attempts: counted on a server that hangs up on both.
  loopback::Server hangsUp({{loopback::Answer::kClose, 0, ""}, {loopback::Answer::kClose, 0, ""}});
  RemoteIntegrationGlobals().server = hangsUp.URL();
  CurrentEditor two("plus[integral[f,x],integral[g,x]]");
  RemoteEvaluateSelection();
  EXPECT_EQ(hangsUp.Connections(), 2);
  EXPECT_EQ(PendingError(), kErrorIntegrationServer);
}

TEST_F(RemoteIntegrationTest, ASilentServerCostsTheTimeOutAndNoMore) {
  loopback::Server server({{loopback::Answer::kSilence, 0, ""}});
  RemoteIntegrationGlobals().server = server.URL();
  RemoteIntegrationGlobals().limits.totalTimeoutMs = 1000;
  CurrentEditor e("integral[f,x]");
  const auto start = std::chrono::steady_clock::now();
  RemoteEvaluateSelection();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 5.0);
  EXPECT_TRUE(Is(e.editor.root, "integral[f,x]"));
  EXPECT_EQ(PendingError(), kErrorIntegrationServer);
}

TEST_F(RemoteIntegrationTest, WithoutAServerTheLoopbackServerSeesNoTraffic) {
  loopback::Server server({{loopback::Answer::kReply, 200, "x"}});
  CurrentEditor e("integral[f,x]");
  RemoteEvaluateSelection();  // the server runs, but nothing names it
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_EQ(PendingError(), kErrorIntegrationServer);
}

// ---- The browser launcher ---------------------------------------------------------------------

TEST_F(RemoteIntegrationTest, TheBrowserLauncherGetsTheURLAsOneArgumentWithoutAShell) {
  char folder[] = "/tmp/qv-launch-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string script = std::string(folder) + "/launcher", out = std::string(folder) + "/argv";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > " << out << ".part && mv " << out << ".part "
                        << out << "\n";
  chmod(script.c_str(), 0700);
  const std::string saved = BrowserLauncher();
  BrowserLauncher() = script;
  const std::string url = "http://x/a;b $(touch " + std::string(folder) + "/pwned)'\"`";
  EXPECT_EQ(OpenURLInBrowser(url), 0);
  std::string argv;
  for (int waited = 0; waited < 100 && argv.empty(); ++waited) {  // at most 5 s
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    argv = text.str();
  }
  EXPECT_EQ(argv, script + "\n" + url + "\n");
  struct stat info;
  EXPECT_NE(stat((std::string(folder) + "/pwned").c_str(), &info), 0) << "no shell ran the URL";

  BrowserLauncher() = std::string(folder) + "/missing";
  EXPECT_EQ(OpenURLInBrowser("http://x"), -669);
  BrowserLauncher() = "quorvalis-no-such-launcher";
  EXPECT_EQ(OpenURLInBrowser("http://x"), -669);
  BrowserLauncher() = script;
  EXPECT_EQ(OpenURLInBrowser(""), -50);
  EXPECT_EQ(OpenURLInBrowser("--version"), -50);
  EXPECT_EQ(OpenURLInBrowser(std::string("http://x\0y", 10)), -50);
  BrowserLauncher() = saved;
  std::remove(out.c_str());
  std::remove(script.c_str());
  rmdir(folder);
}

}  // namespace
