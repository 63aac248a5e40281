// The delay relay (see Relay.h).
#include "Relay.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace zt::bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSocketName = ".s.PGSQL.5432";

sockaddr_un Address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long: " + path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// What one direction of a connection holds back: chunks and when each is due.
struct Held {
  std::deque<std::pair<Clock::time_point, std::string>> chunks;
  size_t sentOfFirst = 0;
  bool closed = false;  // the sender closed its side
};

}  // namespace

DelayRelay::DelayRelay(const std::string& listenDir, const std::string& serverDir)
    : socketPath_(listenDir + "/" + kSocketName), serverSocket_(serverDir + "/" + kSocketName) {
  std::filesystem::create_directories(listenDir);
  ::unlink(socketPath_.c_str());
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = Address(socketPath_);
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 64) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0) {
    throw std::runtime_error("the relay cannot listen on " + socketPath_ + ": " + std::strerror(errno));
  }
  acceptor_ = std::thread([this] { Accept(); });
}

DelayRelay::~DelayRelay() {
  stopping_ = true;
  (void)!::write(stopPipe_[1], "x", 1);
  acceptor_.join();
  while (open_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::close(listener_);
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
  ::unlink(socketPath_.c_str());
}

void DelayRelay::Accept() {
  for (;;) {
    pollfd ready[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(ready, 2, -1) < 0 && errno != EINTR) return;
    if (stopping_) return;
    if ((ready[0].revents & POLLIN) == 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ++connections_;
    ++open_;
    std::thread([this, client] {
      Forward(client);
      --open_;
    }).detach();
  }
}

void DelayRelay::Forward(int client) {
  const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = Address(serverSocket_);
  if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(client);
    if (server >= 0) ::close(server);
    return;
  }
  const int fds[2] = {client, server};
  Held held[2];  // [0]: from the client to the server, [1]: back
  bool heardFromServer = true;  // the first message is a turn of its own
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const Clock::time_point now = Clock::now();
    // Forward what is due.
    for (int d = 0; d < 2; ++d) {
      Held& h = held[d];
      while (!h.chunks.empty() && h.chunks.front().first <= now) {
        const std::string& chunk = h.chunks.front().second;
        const ssize_t n = ::send(fds[1 - d], chunk.data() + h.sentOfFirst, chunk.size() - h.sentOfFirst,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0) {
          h.chunks.clear();
          h.closed = true;
          break;
        }
        h.sentOfFirst += static_cast<size_t>(n);
        if (h.sentOfFirst < chunk.size()) break;
        h.chunks.pop_front();
        h.sentOfFirst = 0;
      }
      if (h.closed && h.chunks.empty()) ::shutdown(fds[1 - d], SHUT_WR);
    }
    if (held[0].closed && held[1].closed && held[0].chunks.empty() && held[1].chunks.empty()) break;
    if (stopping_ && held[0].chunks.empty() && held[1].chunks.empty()) break;
    // Wait for data or for the next chunk to fall due.
    pollfd ready[2];
    for (int d = 0; d < 2; ++d) {
      ready[d] = {held[d].closed ? -1 : fds[d], POLLIN, 0};
      if (!held[d].chunks.empty() && held[d].chunks.front().first <= now) {
        ready[1 - d].events |= POLLOUT;
        if (held[1 - d].closed) ready[1 - d].fd = fds[1 - d];
      }
    }
    Clock::duration wait = std::chrono::milliseconds(200);
    for (const Held& h : held) {
      if (!h.chunks.empty()) wait = std::min(wait, std::max<Clock::duration>(h.chunks.front().first - now, {}));
    }
    const timespec timeout{0, static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count())};
    if (::ppoll(ready, 2, &timeout, nullptr) < 0 && errno != EINTR) break;
    const Clock::time_point arrived = Clock::now();
    for (int d = 0; d < 2; ++d) {
      if (held[d].closed || (ready[d].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = ::recv(fds[d], buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) {
        held[d].closed = true;
        continue;
      }
      if (d == 0 && heardFromServer) ++roundTrips_;
      heardFromServer = d == 1;
      held[d].chunks.emplace_back(arrived + std::chrono::microseconds(delayUs_.load()),
                                  std::string(buffer.data(), static_cast<size_t>(n)));
    }
  }
  ::close(client);
  ::close(server);
}

}  // namespace zt::bench
