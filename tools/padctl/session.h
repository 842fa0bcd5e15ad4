// One padctl job on a control created through the automation interface:
// the family's set-up calls, the command's steps moved on by events, the
// host's actions (timed or typed), then the results, each call and event
// printed as it happens. The engine reads the family tables and nothing
// else; it waits in poll() on the control's descriptor and the operator's
// input.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "pink/automation.h"
#include "tools/padctl/options.h"

namespace pink::padctl {

// What a job needs beyond the command line.
struct Place {
  std::string bmp;         // the bitmap file the control writes ("" : none)
  std::string log_prefix;  // the log folder as the control takes it ("DIR/")
  int input_fd = -1;       // the operator's lines (-1: none)
};

// The arguments of one member call, with the texts they point to.
struct Arguments {
  std::deque<std::string> texts;
  std::vector<pink_value> values;
  void text(std::string t);
  void number(std::int32_t type, std::int32_t n);
};

class Session {
 public:
  // How long a job that no event ends is pumped after its request, so that
  // the control finishes its exchange with the pad.
  static constexpr std::uint32_t kSettleMs = 500;

  Session(pink_object* object, const Options& options, Place place, std::ostream& out);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Runs the job; the exit status (0 ended as asked, 1 failed or timed out).
  int run();

 private:
  enum class State { Running, Done, Failed, TimedOut, EndedAsAsked };

  bool wanted(const Call& c) const;
  void add_argument(const Param& p, Arguments& a) const;
  bool call(const Call& c);  // false when it was refused or its outcome is not the expected one
  bool call_all(std::span<const Call> calls);
  void wait_for_end();
  void pump(std::uint32_t wait_ms);
  void read_input();
  void act(const Action& a);
  void event(std::string_view name, std::span<const pink_value> args);
  static void on_event(void* ctx, std::int32_t dispid, const char* name, const pink_value* args, std::int32_t n);
  std::uint64_t next_timed() const;

  pink_object* object_;
  const Options& o_;
  Place place_;
  std::ostream& out_;
  State state_ = State::Running;
  std::string why_;  // what failed
  int step_ = 0;
  bool next_ = false;         // an event asked for the next step
  bool end_awaited_ = false;  // the host asked for the end: any end is as asked
  std::uint64_t start_ = 0;
  std::vector<Timed> timed_;  // still to come, earliest first
  std::string line_;          // the operator's line so far
};

// "[3 bytes] 0B 12 A0", "\"text\"", "12": a value as padctl prints it.
std::string show(const pink_value& v);

}  // namespace pink::padctl
