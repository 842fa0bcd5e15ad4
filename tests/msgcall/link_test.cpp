// The connection layer on loopback: send-all and receive-exactly with their
// result codes, the options of a new connection, the server fallback and its
// log lines, the table of batch connections; and sending one attachment,
// with the retries while a file is held by another process.
#include "msgcall/link.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "msgcall/attachment.h"
#include "tools/testkit/testkit.h"

namespace pink::msgcall {
namespace {

std::span<const std::uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A connection to a loopback port; null (and the test failed) when refused.
std::unique_ptr<net::Socket> dial(std::uint16_t port) {
  auto connected = net::connect("127.0.0.1", port, 5000);
  EXPECT_TRUE(connected) << connected.why();
  return connected ? std::move(*connected) : nullptr;
}

// A loopback listener on a free port; the test stops when there is none.
std::unique_ptr<net::Listener> loopback_listener() {
  auto listening = net::listen("127.0.0.1", 0);
  if (!listening) {
    ADD_FAILURE() << listening.why();
    std::abort();
  }
  return std::move(*listening);
}

// A connected pair on loopback: `client` as the library holds it, `server` as the provider.
struct Pair {
  std::unique_ptr<net::Listener> listener = loopback_listener();
  std::unique_ptr<net::Socket> client, server;
  Pair() {
    client = dial(listener->port());
    server = listener->accept(5000);
  }
  // Everything the server side receives until the client closes.
  std::string drain() {
    std::string out;
    std::vector<std::uint8_t> buf(65536);
    server->set_timeouts(10000, 10000);
    for (long n = 1; n > 0;) {
      n = server->recv(buf);
      if (n > 0) out.append(buf.begin(), buf.begin() + n);
    }
    return out;
  }
};

int int_option(const net::Socket& s, int level, int name) {
  int v = -1;
  socklen_t len = sizeof v;
  ::getsockopt(static_cast<int>(s.native()), level, name, &v, &len);
  return v;
}

TEST(Link, SendAllAndReceiveExactlyReportTheClientsCodes) {
  std::array<std::uint8_t, 4> four{};
  EXPECT_EQ(link::send_all(nullptr, bytes_of("x")), link::kSendInvalidSocket);
  EXPECT_EQ(link::recv_exact(nullptr, four), link::kRecvInvalidSocket);

  Pair p;
  ASSERT_TRUE(p.client && p.server);
  // A large block goes out whole while the other side reads it.
  std::string block(4 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
  std::string received;
  std::thread reader([&] {
    std::vector<std::uint8_t> buf(block.size());
    if (link::recv_exact(p.server.get(), buf) == static_cast<long>(buf.size())) received.assign(buf.begin(), buf.end());
  });
  EXPECT_EQ(link::send_all(p.client.get(), bytes_of(block)), static_cast<long>(block.size()));
  reader.join();
  EXPECT_TRUE(received == block);

  // Pieces are gathered up to the count asked for; the rest stays for the next receive.
  p.server->send(std::string_view("12"));
  p.server->send(std::string_view("345"));
  EXPECT_EQ(link::recv_exact(p.client.get(), four), 4);
  EXPECT_EQ(std::string(four.begin(), four.end()), "1234");
  // A time-out is the negated system code of a time-out.
  p.client->set_timeouts(50, 50);
  EXPECT_EQ(link::recv_exact(p.client.get(), four), -ETIMEDOUT);
  // The peer closes in the middle: -44.
  p.server->send(std::string_view("6"));
  p.server.reset();
  p.client->set_timeouts(5000, 5000);
  EXPECT_EQ(link::recv_exact(p.client.get(), four), link::kRecvClosedOrWouldBlock);
  // Sending to the closed peer fails sooner or later with a negated system code.
  long sent = 0;
  for (int i = 0; i < 100 && sent >= 0; ++i) sent = link::send_all(p.client.get(), bytes_of(std::string(65536, 'x')));
  EXPECT_TRUE(sent == -EPIPE || sent == -ECONNRESET) << sent;
}

TEST(Link, ConnectionsGetTheirOptionsAndFailuresAreLogged) {
  testkit::TempDir logs;
  testkit::ScopedEnv log_folder("PINK_MSG_LOGDIR", logs.path());
  auto listener = net::listen("127.0.0.1", 0);
  std::uint16_t closed_port = 0;
  {
    auto other = net::listen("127.0.0.1", 0);
    closed_port = other->port();
  }

  const auto s = link::connect_either({{"127.0.0.1", closed_port}, {"localhost", listener->port()}});
  ASSERT_TRUE(s);
  EXPECT_TRUE(listener->accept(5000));
  EXPECT_EQ(int_option(*s, IPPROTO_TCP, TCP_NODELAY), 1);
  linger l{};
  socklen_t len = sizeof l;
  ::getsockopt(static_cast<int>(s->native()), SOL_SOCKET, SO_LINGER, &l, &len);
  EXPECT_EQ(l.l_onoff, 1);
  EXPECT_EQ(l.l_linger, 5);
  timeval tv{};
  len = sizeof tv;
  ::getsockopt(static_cast<int>(s->native()), SOL_SOCKET, SO_RCVTIMEO, &tv, &len);
  EXPECT_EQ(tv.tv_sec, 20);
  ::getsockopt(static_cast<int>(s->native()), SOL_SOCKET, SO_SNDTIMEO, &tv, &len);
  EXPECT_EQ(tv.tv_sec, 20);

  EXPECT_FALSE(link::connect_one({"nosuch.invalid", 7744}));
  EXPECT_FALSE(link::connect_one({"127.0.0.1", 0}));  // a port setting that was no number
  std::string log;
  for (const auto& file : std::filesystem::directory_iterator(logs.path())) log += logs.read(file.path().filename());
  const std::size_t step3 = log.find(" step3\n");
  EXPECT_NE(step3, std::string::npos) << log;
  EXPECT_NE(log.find(" step2 host[nosuch.invalid]["), std::string::npos) << log;
  EXPECT_NE(log.find(" step3\n", step3 + 1), std::string::npos) << log;
}

TEST(Link, BatchConnectionsAreKeptByIdentifier) {
  auto listener = loopback_listener();
  const std::int32_t a = link::add(dial(listener->port()));
  const std::int32_t b = link::add(dial(listener->port()));
  EXPECT_GT(a, 0);
  EXPECT_GT(b, a);
  EXPECT_TRUE(link::find(a));
  EXPECT_NE(link::find(a), link::find(b));
  EXPECT_FALSE(link::find(0));
  EXPECT_FALSE(link::find(-1));
  EXPECT_TRUE(link::remove(a));
  EXPECT_FALSE(link::find(a));
  EXPECT_FALSE(link::remove(a));
  EXPECT_TRUE(link::find(b));
  // A closed connection's identifier is not handed out again.
  const std::int32_t c = link::add(dial(listener->port()));
  EXPECT_NE(c, a);
}

// A reader that reports the file busy `busy` times, then gives its bytes.
struct HeldFile {
  int busy = 0;
  int calls = 0;
  std::string bytes;
  FileReader reader() {
    return [this](std::string_view) {
      ++calls;
      if (calls <= busy) return files::SharedRead{files::SharedReadStatus::Busy, {}};
      return files::SharedRead{files::SharedReadStatus::Ok, bytes};
    };
  }
};

TEST(Attachment, AFileHeldByAnotherProcessIsTriedTenTimesInAll) {
  HeldFile soon{3, 0, "data"};
  EXPECT_EQ(read_attachment("a.txt", soon.reader()), "data");
  EXPECT_EQ(soon.calls, 4);

  HeldFile never{1000, 0, "data"};
  EXPECT_FALSE(read_attachment("a.txt", never.reader()));
  EXPECT_EQ(never.calls, kOpenTries);

  HeldFile last_try{9, 0, "ok"};
  EXPECT_EQ(read_attachment("a.txt", last_try.reader()), "ok");

  int calls = 0;
  const FileReader missing = [&](std::string_view) {
    ++calls;
    return files::SharedRead{files::SharedReadStatus::Failed, {}};
  };
  EXPECT_FALSE(read_attachment("a.txt", missing));
  EXPECT_EQ(calls, 1);  // only a busy file is tried again
}

TEST(Attachment, HeaderThenEveryByteOfTheFileEvenASingleOne) {
  const std::string z9(9, '\0');
  EXPECT_EQ(extension_of("c:\\img\\photo.jpeg"), "jpeg");
  EXPECT_EQ(extension_of("a.b.tiff5"), "tiff5");
  EXPECT_EQ(extension_of("noext"), std::nullopt);

  testkit::TempDir dir;
  dir.write("one.gif", "G");
  dir.write("empty.txt", "");
  dir.write("noext", "data");
  Pair p;
  EXPECT_EQ(send_attachment(p.client.get(), dir.file("one.gif"), files::read_shared), kAttachmentSent);
  EXPECT_EQ(send_attachment(p.client.get(), dir.file("empty.txt"), files::read_shared), kAttachmentSent);
  EXPECT_EQ(send_attachment(p.client.get(), dir.file("noext"), files::read_shared), kAttachmentFileFailed);
  EXPECT_EQ(send_attachment(p.client.get(), "", files::read_shared), kAttachmentFileFailed);
  EXPECT_EQ(send_attachment(p.client.get(), dir.file("missing.png"), files::read_shared), kAttachmentFileFailed);
  HeldFile held{2, 0, "held"};
  EXPECT_EQ(send_attachment(p.client.get(), "x.photo", held.reader()), kAttachmentSent);
  p.client.reset();
  EXPECT_EQ(p.drain(), "1" + z9 + "gif" + '\0' + "G" + "0" + z9 + "txt" + '\0' + "4" + z9 + "phot" + "held");

  HeldFile file{0, 0, "x"};
  EXPECT_EQ(send_attachment(nullptr, "a.txt", file.reader()), kAttachmentNotSent);
}

}  // namespace
}  // namespace pink::msgcall
