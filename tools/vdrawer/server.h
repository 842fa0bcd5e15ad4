// Serving a drawer device socket: the listening Unix-domain socket, its
// connections and the request framing. A handler decides each reply. Used
// by vdrawer, drawerd, the tests and the benchmark. Linux only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/common/devctl_frame.h"

namespace pink::drawer_server {

// What to do with one request.
struct Reply {
  enum class Kind {
    Send,    // send `bytes` (normally a framed reply, but anything goes)
    Silent,  // send nothing; the connection stays open
    Hangup,  // send `bytes` (often none), then close the connection
  };
  Kind kind = Kind::Send;
  std::vector<std::uint8_t> bytes;

  static Reply framed(bool accepted, std::span<const std::uint8_t> output = {});
};

using Handler = std::function<Reply(const devctl::frame::Request&)>;

// Connection events, for logs: "connect", "disconnect", or "malformed" (a
// request that breaks the framing; the connection is then dropped).
using EventSink = std::function<void(const std::string& event, int connection)>;

class SocketServer {
 public:
  // Listens on `path` with the access mode `mode` (for example 0660): makes
  // the folder when it is missing and removes a stale socket that no server
  // answers any more. Null, with the reason in `error`, when the path is in
  // use by a live server or is something other than a socket.
  static std::unique_ptr<SocketServer> listen(const std::string& path, unsigned mode,
                                              std::string& error);
  ~SocketServer();  // closes every connection and removes the socket
  SocketServer(const SocketServer&) = delete;
  SocketServer& operator=(const SocketServer&) = delete;

  const std::string& path() const noexcept { return path_; }
  std::size_t connections() const noexcept { return clients_.size(); }
  void set_event_sink(EventSink sink) { sink_ = std::move(sink); }

  // One round: waits up to timeout_ms for a new connection, bytes from a
  // client, or `watch_fd` (-1: none) to become readable, then serves every
  // whole request that came, in order, through `handler`. True when
  // `watch_fd` is readable (or at its end).
  bool serve(int timeout_ms, const Handler& handler, int watch_fd = -1);

 private:
  struct Client {
    int fd;
    int id;
    std::vector<std::uint8_t> pending;
  };

  SocketServer(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  void accept_one();
  // Reads from the client and serves its whole requests; false when the
  // connection is to be closed.
  bool serve_client(Client& c, const Handler& handler);
  void event(const std::string& what, int id);

  int fd_;
  std::string path_;
  std::vector<Client> clients_;
  int next_id_ = 1;
  EventSink sink_;
};

}  // namespace pink::drawer_server
