// A scripted HTTP server on 127.0.0.1 for the integration client's tests. It binds port 0, and one
// thread accepts at most one connection a script line, each with its answer: a status and a body
// (possibly held back a while), a close without a word, or silence until the client gives up. It
// records each request's method, path, headers and body. Every wait is bounded (poll with
// time-outs, a deadline for the whole life), and the destructor stops and joins the thread, so no test
// can hang on it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace loopback {

enum class Answer { kReply, kClose, kSilence };

struct Script {
  Answer answer = Answer::kReply;
  int status = 200;
  std::string body;
  int delayMs = 0;  // of a reply: held back this long after the request (or until the client hangs up)
};

struct Request {
  std::string method, path, headers, body;
};

// A port on 127.0.0.1 where nothing listens: bound, then closed.
inline int RefusingPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

class Server {
 public:
  explicit Server(std::vector<Script> scripts) : scripts_(std::move(scripts)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~Server() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int Port() const { return port_; }
  std::string URL() const { return "http://127.0.0.1:" + std::to_string(port_) + "/integrateQV2"; }
  int Connections() const { return connections_; }
  std::vector<Request> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  static constexpr auto kLifetime = std::chrono::seconds(20);
  static constexpr size_t kMaxRequestBytes = 1 << 20;

  bool Expired() const { return stop_ || std::chrono::steady_clock::now() > deadline_; }

  // Waits up to 100 ms for fd to become readable; false when it did not.
  static bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 100) > 0;
  }

  void Run() {
    for (const Script& script : scripts_) {
      int client = -1;
      while (client < 0 && !Expired()) {
        if (Readable(listener_)) client = accept(listener_, nullptr, nullptr);
      }
      if (client < 0) return;
      ++connections_;
      Serve(client, script);
      close(client);
    }
  }

  // Reads the head and the body its Content-Length announces.
  bool ReadRequest(int client, Request* request) {
    std::string data;
    size_t headEnd = std::string::npos, wanted = std::string::npos;
    char buffer[4096];
    while (!Expired() && data.size() < kMaxRequestBytes && (wanted == std::string::npos || data.size() < wanted)) {
      if (!Readable(client)) continue;
      const ssize_t n = read(client, buffer, sizeof buffer);
      if (n <= 0) return false;
      data.append(buffer, static_cast<size_t>(n));
      if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
        const std::string head = data.substr(0, headEnd);
        size_t length = 0;
        const size_t at = Lowered(head).find("content-length:");
        if (at != std::string::npos) length = std::stoul(head.substr(at + 15));
        wanted = headEnd + 4 + length;
      }
    }
    if (headEnd == std::string::npos) return false;
    const std::string head = data.substr(0, headEnd);
    const size_t firstSpace = head.find(' '), secondSpace = head.find(' ', firstSpace + 1);
    request->method = head.substr(0, firstSpace);
    request->path = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    request->headers = head.substr(head.find("\r\n") + 2);
    request->body = data.substr(headEnd + 4);
    return true;
  }

  void Serve(int client, const Script& script) {
    Request request;
    if (ReadRequest(client, &request)) {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    if (script.answer == Answer::kClose) return;
    if (script.answer == Answer::kSilence) {  // until the client hangs up
      char byte;
      while (!Expired()) {
        if (Readable(client) && read(client, &byte, 1) <= 0) return;
      }
      return;
    }
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(script.delayMs);
    while (std::chrono::steady_clock::now() < due && !Expired()) {
      char byte;
      if (Readable(client) && read(client, &byte, 1) <= 0) return;
    }
    const std::string reply = "HTTP/1.1 " + std::to_string(script.status) + " Scripted\r\nContent-Type: text/plain\r\n" +
                              "Content-Length: " + std::to_string(script.body.size()) + "\r\nConnection: close\r\n\r\n" +
                              script.body;
    for (size_t sent = 0; sent < reply.size() && !Expired();) {
      const ssize_t n = send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  static std::string Lowered(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
  }

  std::vector<Script> scripts_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  const std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::now() + kLifetime;
  std::mutex mutex_;
  std::vector<Request> requests_;
};

}  // namespace loopback
