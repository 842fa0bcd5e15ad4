#include "tools/padctl/session.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/clock.h"

namespace pink::padctl {
namespace {

std::string number_text(std::int32_t n) { return std::to_string(n); }

}  // namespace

void Arguments::text(std::string t) {
  values.push_back(pink_value{PINK_STR, 0, texts.emplace_back(std::move(t)).c_str(), nullptr, 0, 0});
}

void Arguments::number(std::int32_t type, std::int32_t n) {
  values.push_back(pink_value{type, n, nullptr, nullptr, 0, 0});
}

std::string show(const pink_value& v) {
  switch (v.type) {
    case PINK_I2:
    case PINK_I4:
      return number_text(v.num);
    case PINK_BOOL:
      return v.num != 0 ? "true" : "false";
    case PINK_STR:
      return "\"" + std::string(v.str != nullptr ? v.str : "") + "\"";
    case PINK_BYTES: {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      std::string s = "[" + std::to_string(v.len) + " bytes]";
      for (std::int32_t i = 0; i < v.len && v.bytes != nullptr; ++i) {
        s += ' ';
        s += kDigits[v.bytes[i] >> 4];
        s += kDigits[v.bytes[i] & 0x0F];
      }
      return s;
    }
    default:
      return "(empty)";
  }
}

Session::Session(pink_object* object, const Options& options, Place place, std::ostream& out)
    : object_(object), o_(options), place_(std::move(place)), out_(out), timed_(options.timed) {
  std::stable_sort(timed_.begin(), timed_.end(), [](const Timed& a, const Timed& b) { return a.after_ms < b.after_ms; });
  pink_advise(object_, &Session::on_event, this);
}

Session::~Session() { pink_advise(object_, nullptr, nullptr); }

bool Session::wanted(const Call& c) const {
  switch (c.when) {
    case When::WithBmp: return !o_.bmp.empty();
    case When::WithBaud: return o_.baud.has_value();
    case When::WithLog: return !o_.log_dir.empty();
    default: return true;
  }
}

void Session::add_argument(const Param& p, Arguments& a) const {
  switch (p.from) {
    case From::Arg: {
      const auto index = static_cast<std::size_t>(p.index);
      a.text(index < o_.args.size() ? o_.args[index] : std::string(p.text));
      break;
    }
    case From::Text: a.text(std::string(p.text)); break;
    case From::Port: a.number(p.type, o_.port); break;
    case From::Baud: a.number(p.type, o_.baud.value_or(0)); break;
    case From::Bmp: a.text(place_.bmp); break;
    case From::LogPath: a.text(place_.log_prefix); break;
    case From::PinLen: {
      char two[8];
      std::snprintf(two, sizeof two, "%02d", o_.pin_len.value_or(4));
      a.text(two);
      break;
    }
    case From::Out: a.values.push_back(pink_value{p.type, 0, nullptr, nullptr, 0, 1}); break;
  }
}

bool Session::call(const Call& c) {
  if (!wanted(c)) return true;
  Arguments a;
  for (int i = 0; i < c.count; ++i) add_argument(c.params[static_cast<std::size_t>(i)], a);
  const std::string member(c.member);
  const std::int32_t dispid = pink_dispid(object_, member.c_str());
  pink_value result{};
  const std::int32_t status =
      dispid < 0 ? PINK_E_MEMBER
                 : pink_invoke(object_, dispid, c.kind, a.values.data(), static_cast<std::int32_t>(a.values.size()), &result);
  std::string line = (c.kind == PINK_GET ? "get " : c.kind == PINK_PUT ? "put " : "call ") + member +
                     (c.kind == PINK_METHOD ? "(" : " = ");
  std::int32_t out_value = 0;
  for (std::size_t i = 0; i < a.values.size(); ++i) {
    const pink_value& v = a.values[i];
    line += (i > 0 ? ", " : "") + (v.byref ? std::string(c.params[i].text) + " -> " : std::string()) + show(v);
    if (v.byref) out_value = v.num;
  }
  if (c.kind == PINK_METHOD) line += ")";
  if (status != PINK_OK) {
    out_ << line << " refused by the control (" << status << ")" << std::endl;
    if (why_.empty()) why_ = member + " was refused";
    return false;
  }
  out_ << line << (c.kind == PINK_METHOD ? " = " : "") << (c.kind != PINK_PUT ? show(result) : "") << std::endl;
  const bool ok = c.expect == Expect::Any || (c.expect == Expect::One && result.num == 1) ||
                  (c.expect == Expect::Zero && result.num == 0) || (c.expect == Expect::OutOne && out_value == 1) ||
                  (c.expect == Expect::NonEmpty && result.type == PINK_STR && result.str != nullptr && *result.str != 0);
  if (!ok && why_.empty()) why_ = member + " did not succeed";  // the first failure says why
  return ok;
}

bool Session::call_all(std::span<const Call> calls) {
  bool all = true;
  for (const Call& c : calls) all = call(c) && all;
  return all;
}

void Session::on_event(void* ctx, std::int32_t, const char* name, const pink_value* args, std::int32_t n) {
  static_cast<Session*>(ctx)->event(name != nullptr ? name : "",
                                    std::span<const pink_value>(args, args != nullptr && n > 0 ? static_cast<std::size_t>(n) : 0));
}

void Session::event(std::string_view name, std::span<const pink_value> args) {
  std::string line = "event " + std::string(name);
  if (!args.empty()) {
    line += "(";
    for (std::size_t i = 0; i < args.size(); ++i) line += (i > 0 ? ", " : "") + show(args[i]);
    line += ")";
  }
  out_ << line << std::endl;
  if (state_ != State::Running) return;
  Then then = Then::Note;
  const Step& step = o_.command->steps[static_cast<std::size_t>(step_)];
  const auto match = [&](std::span<const On> rows) {
    for (const On& r : rows) {
      if (!r.event.empty() && r.event == name) {
        then = r.then;
        return true;
      }
    }
    return false;
  };
  if (!match(step.on)) match(o_.family->on);
  if (then == Then::Next && step_ + 1 < o_.command->step_count) next_ = true;
  if (then == Then::Done || (then == Then::Next && step_ + 1 >= o_.command->step_count)) state_ = State::Done;
  if (then == Then::Fail) {
    state_ = State::Failed;
    if (why_.empty()) why_ = std::string(name);
  }
}

std::uint64_t Session::next_timed() const {
  return timed_.empty() ? UINT64_MAX : start_ + timed_.front().after_ms;
}

void Session::act(const Action& a) {
  out_ << "action " << a.name << std::endl;
  call(a.call);
  if (a.effect == Effect::EndsJob && state_ == State::Running) state_ = State::EndedAsAsked;
  if (a.effect == Effect::AwaitsEnd) end_awaited_ = true;
}

void Session::read_input() {
  char buf[512];
  const ssize_t n = ::read(place_.input_fd, buf, sizeof buf);
  if (n < 0 && errno == EINTR) return;
  if (n <= 0) {
    place_.input_fd = -1;  // the operator's input ended; the job goes on
    return;
  }
  line_.append(buf, static_cast<std::size_t>(n));
  for (std::size_t end; state_ == State::Running && (end = line_.find('\n')) != std::string::npos;) {
    std::string line = line_.substr(0, end);
    line_.erase(0, end + 1);
    line.erase(0, line.find_first_not_of(" \t\r"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    const auto& names = o_.command->actions;
    if (line.empty()) continue;
    if (line == "help") {
      out_ << "actions:";
      for (const std::string_view a : names) out_ << " " << a;
      out_ << (names.empty() ? " none in this job" : "") << std::endl;
    } else if (std::find(names.begin(), names.end(), line) != names.end()) {
      act(*find_action(*o_.family, line));
    } else {
      out_ << "padctl: no action \"" << line << "\" in this job (\"help\" lists them)" << std::endl;
    }
  }
}

void Session::pump(std::uint32_t wait_ms) {
  pollfd fds[2] = {{pink_fd(object_), POLLIN, 0}, {place_.input_fd, POLLIN, 0}};
  const bool input = place_.input_fd >= 0 && !o_.command->actions.empty();
  const int ready = ::poll(fds, input ? 2 : 1, static_cast<int>(std::min<std::uint32_t>(wait_ms, 1000)));
  if (ready > 0 && input && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) read_input();
  if (pink_pump(object_, 0) < 0 && state_ == State::Running) {
    state_ = State::Failed;
    why_ = "the control could not run its work";
  }
}

void Session::wait_for_end() {
  const std::uint64_t deadline = start_ + o_.timeout_ms;
  while (state_ == State::Running) {
    if (next_) {
      next_ = false;
      ++step_;
      if (!call(o_.command->steps[static_cast<std::size_t>(step_)].call) && state_ == State::Running) {
        state_ = State::Failed;
      }
      continue;
    }
    const std::uint64_t now = clock::monotonic_ms();
    if (!timed_.empty() && next_timed() <= now) {
      const Timed due = timed_.front();
      timed_.erase(timed_.begin());
      act(*due.action);
      continue;
    }
    if (now >= deadline) {
      state_ = State::TimedOut;
      break;
    }
    pump(static_cast<std::uint32_t>(std::min(deadline, next_timed()) - now));
  }
}

int Session::run() {
  out_ << "padctl: " << o_.family->name << " " << o_.command->name << " on COM" << o_.port << std::endl;
  bool results_ok = true;
  if (!call_all(o_.family->setup) || !call_all(o_.command->before)) {
    state_ = State::Failed;
  } else {
    start_ = clock::monotonic_ms();
    if (!call(o_.command->steps[0].call)) state_ = State::Failed;
    if (state_ == State::Running && o_.command->ends_when_written) {
      for (const std::uint64_t settle = start_ + kSettleMs; clock::monotonic_ms() < settle;) {
        pump(static_cast<std::uint32_t>(settle - clock::monotonic_ms()));
      }
      if (state_ == State::Running) state_ = State::Done;
    }
    wait_for_end();
    if (state_ == State::Done) results_ok = call_all(o_.command->results);
  }
  bool snapshot_ok = true;
  if (!o_.snapshot.empty()) {
    const auto [w, h] = o_.size.value_or(std::pair{256, 128});
    snapshot_ok = pink_snapshot(object_, o_.snapshot.c_str(), w, h) == 0;
    out_ << (snapshot_ok ? "snapshot " : "padctl: the control could not draw the snapshot ") << o_.snapshot << " ("
         << w << "x" << h << ")" << std::endl;
  }
  const bool as_asked = state_ == State::EndedAsAsked || (end_awaited_ && state_ != State::TimedOut);
  const bool done = as_asked || (state_ == State::Done && results_ok);
  const std::string name(o_.command->name);
  if (as_asked) {
    out_ << "padctl: " << name << " ended as asked" << std::endl;
  } else if (done) {
    out_ << "padctl: " << name << " done" << std::endl;
  } else if (state_ == State::TimedOut) {
    out_ << "padctl: " << name << ": no end within " << o_.timeout_ms << " ms" << std::endl;
  } else {
    out_ << "padctl: " << name << " failed: " << why_ << std::endl;
  }
  return done && snapshot_ok ? 0 : 1;
}

}  // namespace pink::padctl
