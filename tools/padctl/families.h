// What padctl does with each pad family's control: the commands it offers,
// each as the members it calls in order and the events that move it on, as
// data read by one engine (session.h). Member names, argument types and
// results are the controls' own (include/pink/automation.h reaches them).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "pink/automation.h"

namespace pink::padctl {

// Where an argument of a member call comes from.
enum class From : std::uint8_t {
  Arg,      // the command's argument `index` (its default `text` when not given)
  Text,     // the fixed text `text`
  Port,     // --port
  Baud,     // --baud
  Bmp,      // the signature bitmap's file name
  LogPath,  // the log folder as a prefix ("DIR/")
  PinLen,   // --len as two digits
  Out,      // an out-argument the member writes (`text` names it)
};

struct Param {
  From from = From::Text;
  std::int32_t type = PINK_STR;  // PINK_STR, PINK_I2 or PINK_I4
  int index = 0;
  std::string_view text = {};
};

// What a call's outcome must be for the job to go on (or to count as done).
enum class Expect : std::uint8_t {
  Any,
  One,       // the result is 1
  Zero,      // the result is 0
  OutOne,    // the out-argument is 1
  NonEmpty,  // the result is a text that is not empty
};

// When a call is made.
enum class When : std::uint8_t {
  Always,
  WithBmp,   // a bitmap file was asked for (--bmp)
  WithBaud,  // a speed was given (--baud)
  WithLog,   // a log folder was given (--log)
};

struct Call {
  std::string_view member;
  std::int32_t kind = PINK_METHOD;
  std::array<Param, 4> params{};
  int count = 0;  // how many of `params` the member takes
  Expect expect = Expect::Any;
  When when = When::Always;
};

// What an event does to the job.
enum class Then : std::uint8_t {
  Note,  // it is shown, nothing more
  Next,  // the job's next step is called
  Done,  // the job has ended: the result members are called and judged
  Fail,  // the job has failed
};

struct On {
  std::string_view event;
  Then then = Then::Note;
};

struct Step {
  Call call;
  std::array<On, 4> on{};
};

// A member the host may call while a job runs (a button on the POS).
enum class Effect : std::uint8_t {
  Continue,   // the job goes on
  EndsJob,    // the job is over once the call returns: it ended as asked
  AwaitsEnd,  // the job will end: however it ends, it ended as asked
};

struct Action {
  std::string_view name;  // "accept": typed on standard input, or --accept MS
  Call call;
  Effect effect = Effect::Continue;
  std::string_view help;
};

struct Command {
  std::string_view name;
  std::string_view usage;  // "AMOUNT [MSG]"
  std::string_view help;
  int min_args = 0, max_args = 0;
  std::span<const Call> before;         // set-up members of this job
  std::array<Step, 2> steps{};
  int step_count = 1;
  std::span<const Call> results;        // called in order once the job is done
  std::span<const std::string_view> actions;  // the family's actions this job takes
  bool ends_when_written = false;       // no event ends it: done once the request went out
  bool takes_bmp = false, takes_len = false;
};

struct Family {
  std::string_view name;
  std::string_view progid;
  std::span<const Call> setup;  // before every command
  std::span<const Command> commands;
  std::span<const On> on;       // how every job of the family takes these events
  std::span<const Action> actions;
  bool takes_baud = false;
  // Where the control keeps its logs: a folder given as an argument (LogPath),
  // under the current folder (padctl works in the --log folder), or nowhere.
  enum class Logs : std::uint8_t { None, Argument, WorkingFolder } logs = Logs::None;
};

std::span<const Family> families();
// Whether the command hands the control a bitmap file whether or not one was
// asked for (the control writes the signature to a file in any case).
bool needs_bmp(const Command& c);
const Family* find_family(std::string_view name);
const Command* find_command(const Family& f, std::string_view name);
const Action* find_action(const Family& f, std::string_view name);

}  // namespace pink::padctl
