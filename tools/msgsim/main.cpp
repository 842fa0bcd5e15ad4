// msgsim: the messaging provider for integrators and tests. Listens on a TCP
// port, serves every connection on a thread of its own (logins, messages with
// their attachments, scripted answers and misbehaviour), keeps each message
// received in the store folder and logs every step on standard output. The
// first line is "listening on <address>:<port>". See README.md.
#include <atomic>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "cli/help.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "tools/msgsim/options.h"
#include "tools/msgsim/session.h"
#include "tools/msgsim/store.h"

namespace {

std::mutex g_output;

void line(const std::string& cp949) {
  std::lock_guard lock(g_output);
  pink::console::out(cp949 + "\n");
}

std::string stamp() {
  const auto t = pink::clock::now_local();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
  return buf;
}

void log_line(std::uint64_t connection, const std::string& text) {
  line(stamp() + " [" + std::to_string(connection) + "] " + text);
}

struct Worker {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
};

void serve(std::unique_ptr<pink::net::Socket> socket, std::uint64_t connection, const pink::msgsim::Options& o,
           pink::msgsim::Store& store) {
  socket->set_no_delay(true);  // answers go out at once, as small records should
  log_line(connection, "connected");
  auto steps = [connection, quiet = o.quiet](const std::string& t) {
    if (!quiet) log_line(connection, t);
  };
  auto errors = [connection](const std::string& t) { log_line(connection, t); };
  pink::msgsim::Session(*socket, o.script, store, steps, errors).run();
  socket.reset();
  log_line(connection, "done");
}

// Finished workers are joined as new connections come.
void join_finished(std::list<Worker>& workers) {
  for (auto it = workers.begin(); it != workers.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = workers.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::vector<std::string> args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, "msgsim", pink::msgsim::kUsage)) return *status;
  const auto options = pink::msgsim::parse_options(args, error);
  if (!options) {
    pink::console::err("msgsim: " + error + "\n" + pink::msgsim::kUsage);
    return 2;
  }
  if (options->help) {
    pink::console::out(pink::msgsim::kUsage);
    return 0;
  }
  auto listener = pink::net::listen(options->host, options->port);
  if (!listener) {
    pink::console::err("msgsim: cannot listen on " + options->host + ":" + std::to_string(options->port) + ": " +
                       pink::text::utf8_to_cp949(listener.why()) + "\n");
    return 2;
  }
  pink::msgsim::Store store(pink::text::cp949_to_utf8(options->store));
  line("listening on " + options->host + ":" + std::to_string(listener->port()));

  std::list<Worker> workers;
  for (std::uint64_t connection = 1; options->connections == 0 || connection <= options->connections;) {
    auto socket = listener->accept(1000);
    join_finished(workers);
    if (!socket) continue;
    Worker& w = workers.emplace_back();
    w.thread = std::thread([socket = std::move(socket), connection, &options, &store, done = w.done]() mutable {
      serve(std::move(socket), connection, *options, store);
      done->store(true);
    });
    ++connection;
  }
  for (Worker& w : workers) w.thread.join();
  return 0;
}
