#include "tools/vdrawer/server.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>

namespace pink::drawer_server {
namespace {

constexpr int kSendTimeoutMs = 2000;

bool make_address(const std::string& path, sockaddr_un& a, std::string& error) {
  a = sockaddr_un{};
  a.sun_family = AF_UNIX;
  if (path.size() >= sizeof a.sun_path) {
    error = path + ": the path is too long for a socket";
    return false;
  }
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Whether a server answers on the socket at `path`.
bool answers(const sockaddr_un& a) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

// Clears the way for a new socket at `path`: only a socket nobody serves
// any more is removed.
bool clear_stale(const std::string& path, const sockaddr_un& a, std::string& error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return true;
  if (!S_ISSOCK(st.st_mode)) {
    error = path + ": exists and is not a socket";
    return false;
  }
  if (answers(a)) {
    error = path + ": another server is serving this device";
    return false;
  }
  ::unlink(path.c_str());
  return true;
}

bool send_all(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t w = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, kSendTimeoutMs) > 0) continue;
    }
    return false;
  }
  return true;
}

}  // namespace

Reply Reply::framed(bool accepted, std::span<const std::uint8_t> output) {
  Reply r;
  r.bytes = devctl::frame::encode_reply(accepted, output);
  return r;
}

std::unique_ptr<SocketServer> SocketServer::listen(const std::string& path, unsigned mode,
                                                   std::string& error) {
  sockaddr_un a;
  if (!make_address(path, a, error)) return nullptr;
  std::error_code ec;
  const auto dir = std::filesystem::path(path).parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
  if (ec) {
    error = dir.string() + ": cannot make the folder: " + ec.message();
    return nullptr;
  }
  if (!clear_stale(path, a, error)) return nullptr;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return nullptr;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
      ::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0 || ::listen(fd, 16) != 0) {
    error = path + ": " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SocketServer>(new SocketServer(fd, path));
}

SocketServer::~SocketServer() {
  for (const Client& c : clients_) ::close(c.fd);
  ::close(fd_);
  ::unlink(path_.c_str());
}

void SocketServer::event(const std::string& what, int id) {
  if (sink_) sink_(what, id);
}

void SocketServer::accept_one() {
  const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  clients_.push_back(Client{fd, next_id_++, {}});
  event("connect", clients_.back().id);
}

bool SocketServer::serve_client(Client& c, const Handler& handler) {
  std::uint8_t buf[4096];
  const ssize_t r = ::recv(c.fd, buf, sizeof buf, 0);
  if (r < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (r == 0) return false;
  c.pending.insert(c.pending.end(), buf, buf + r);
  for (;;) {
    devctl::frame::Request request;
    std::size_t used = 0;
    const auto d = devctl::frame::decode_request(c.pending, request, used);
    if (d == devctl::frame::Decode::Incomplete) return true;
    if (d == devctl::frame::Decode::Malformed) {
      event("malformed", c.id);
      return false;
    }
    c.pending.erase(c.pending.begin(), c.pending.begin() + static_cast<long>(used));
    const Reply reply = handler(request);
    if (reply.kind == Reply::Kind::Silent) continue;
    if (!send_all(c.fd, reply.bytes) || reply.kind == Reply::Kind::Hangup) return false;
  }
}

bool SocketServer::serve(int timeout_ms, const Handler& handler, int watch_fd) {
  std::vector<pollfd> fds;
  fds.push_back({fd_, POLLIN, 0});
  for (const Client& c : clients_) fds.push_back({c.fd, POLLIN, 0});
  if (watch_fd >= 0) fds.push_back({watch_fd, POLLIN, 0});
  if (::poll(fds.data(), fds.size(), timeout_ms) <= 0) return false;

  const std::size_t known = clients_.size();
  std::vector<int> closing;
  for (std::size_t i = 0; i < known; ++i) {
    if (fds[i + 1].revents == 0) continue;
    if (!serve_client(clients_[i], handler)) closing.push_back(clients_[i].id);
  }
  for (const int id : closing) {
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
      if (it->id != id) continue;
      ::close(it->fd);
      clients_.erase(it);
      event("disconnect", id);
      break;
    }
  }
  if (fds[0].revents & POLLIN) accept_one();
  return watch_fd >= 0 && (fds.back().revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace pink::drawer_server
