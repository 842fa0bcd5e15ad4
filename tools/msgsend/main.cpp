// msgsend: sends messages from the shell through the message sending object
// ("msgcall.MSGCALLMSG", created through the automation interface as a POS
// creates it), one with MMSSend or a batch over one connection with
// MMSConnect, MMSSendDongbo and MMSClose, and prints each nRetVal with its
// meaning. See README.md and --help.
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/help.h"
#include "pink/automation.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tools/msgsend/batch.h"
#include "tools/msgsend/options.h"

namespace {

using pink::msgsend::Fields;

// One call of the object: the arguments in order, the out-argument last.
class Call {
 public:
  void number(std::int32_t v) { values_.push_back(pink_value{PINK_I4, v, nullptr, nullptr, 0, 0}); }
  void texts(const Fields& m) {
    for (const std::string* t : {&m.seq, &m.type, &m.user, &m.dept, &m.call, &m.req, &m.subject,
                                 &m.text, &m.rdate}) {
      text(*t);
    }
    for (std::size_t k = 0; k < 3; ++k) text(k < m.files.size() ? m.files[k] : std::string());
  }
  // Runs the member; its out-argument.
  std::int32_t run(pink_object* o, const char* member) {
    values_.push_back(pink_value{PINK_I4, 0, nullptr, nullptr, 0, 1});
    const std::int32_t status = pink_invoke(o, pink_dispid(o, member), PINK_METHOD, values_.data(),
                                            static_cast<std::int32_t>(values_.size()), nullptr);
    if (status != PINK_OK) {
      throw std::runtime_error(std::string("the object refused ") + member + " (" + std::to_string(status) + ")");
    }
    return values_.back().num;
  }

 private:
  void text(const std::string& cp949) {
    values_.push_back(pink_value{PINK_STR, 0, utf8_.emplace_back(pink::text::cp949_to_utf8(cp949)).c_str(),
                                 nullptr, 0, 0});
  }
  std::deque<std::string> utf8_;
  std::vector<pink_value> values_;
};

class ObjectLink final : public pink::msgsend::Link {
 public:
  explicit ObjectLink(pink_object* o) : o_(o) {}
  std::int32_t send(const Fields& m) override {
    Call c;
    c.texts(m);
    return c.run(o_, "MMSSend");
  }
  std::int32_t connect() override { return Call().run(o_, "MMSConnect"); }
  std::int32_t send_dongbo(std::int32_t socket, bool first, bool last, const Fields& m) override {
    Call c;
    c.number(socket);
    c.number(first ? 1 : 0);
    c.number(last ? 1 : 0);
    c.texts(m);
    return c.run(o_, "MMSSendDongbo");
  }
  void close(std::int32_t socket) override {
    Call c;
    c.number(socket);
    c.run(o_, "MMSClose");
  }

 private:
  pink_object* o_;
};

int usage_error(const std::string& error) {
  pink::console::err("msgsend: " + error + "\n\n" + pink::msgsend::kUsage);
  return 2;
}

// The messages to send, checked; an error text, or empty.
std::string load(const pink::msgsend::Options& o, std::vector<Fields>& messages) {
  std::string error;
  if (o.batch.empty()) {
    messages = {o.message};
  } else {
    constexpr std::uint64_t kMaxBatchFileBytes = 64u * 1024u * 1024u;
    const auto file = pink::files::read_all(o.batch, kMaxBatchFileBytes);
    if (file.status != pink::files::ReadStatus::Ok) return "cannot read the batch file " + o.batch;
    auto parsed = pink::msgsend::parse_batch(file.bytes, o.message, error);
    if (!parsed) return o.batch + ": " + error;
    messages = std::move(*parsed);
  }
  std::vector<std::string> warnings;
  for (const Fields& m : messages) {
    if (std::string e = pink::msgsend::check(m, warnings); !e.empty()) return e;
    for (const std::string& f : m.files) {
      const std::string name = f.substr(f.find_last_of('/') + 1);
      if (!pink::files::exists(f)) return "no file " + f;
      if (name.find('.') == std::string::npos) return "the file " + f + " has no extension";
    }
  }
  if (!o.batch.empty()) error = pink::msgsend::check_sender(messages);
  for (const std::string& w : warnings) pink::console::err("msgsend: warning: " + w + "\n");
  return error;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = pink::console::arguments(argc, argv);
  if (const auto status = pink::cli::respond(args, "msgsend", pink::msgsend::kUsage)) return *status;
  if (args.empty()) return usage_error("no message given");
  std::string error;
  const auto options = pink::msgsend::parse_options(args, error);
  if (!options) return usage_error(error);
  if (options->help) {
    pink::console::out(pink::msgsend::kUsage);
    return 0;
  }
  std::vector<Fields> messages;
  if (error = load(*options, messages); !error.empty()) return usage_error(error);

  pink_object* object = pink_create("msgcall.MSGCALLMSG");
  if (object == nullptr) {
    pink::console::err("msgsend: the message sending object msgcall.MSGCALLMSG is not available\n");
    return 1;
  }
  int status = 0;
  try {
    ObjectLink link(object);
    const std::vector<std::int32_t> results = options->batch.empty()
                                                  ? std::vector<std::int32_t>{link.send(messages[0])}
                                                  : pink::msgsend::send_batch(link, messages);
    for (std::size_t i = 0; i < results.size(); ++i) {
      pink::console::out(pink::msgsend::report(i, messages[i], results[i]) + "\n");
      if (results[i] != 1) status = 1;
    }
  } catch (const std::exception& e) {
    pink::console::err(std::string("msgsend: ") + e.what() + "\n");
    status = 1;
  }
  pink_release(object);
  return status;
}
