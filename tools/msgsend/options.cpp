#include "tools/msgsend/options.h"

#include <algorithm>
#include <cstddef>

#include "platform/text.h"

namespace pink::msgsend {
namespace {

// The texts of a message: their key, where they go, the field they must fit
// (0: no bound), whether they must be given and whether they may be empty.
// A subject longer than its field is cut by the provider's record: a warning.
struct Key {
  std::string_view name;
  std::string Fields::*field;
  std::size_t limit;
  bool required;
  bool non_empty;
};

constexpr std::size_t kSubjectField = 120;
constexpr std::size_t kMaxFiles = 3;

constexpr Key kKeys[] = {
    {"seq", &Fields::seq, 32, true, false},     {"type", &Fields::type, 0, true, true},
    {"user", &Fields::user, 30, true, true},    {"dept", &Fields::dept, 12, true, true},
    {"call", &Fields::call, 13, true, true},    {"req", &Fields::req, 13, true, true},
    {"subject", &Fields::subject, 0, true, false},
    {"text", &Fields::text, 9999, true, false},  // its length field has four digits
    {"rdate", &Fields::rdate, 16, false, false},
};

const Key* find_key(std::string_view name) {
  for (const Key& k : kKeys) {
    if (k.name == name) return &k;
  }
  return nullptr;
}

bool given(const Fields& m, std::string_view key) {
  return std::find(m.given.begin(), m.given.end(), key) != m.given.end();
}

enum class SetResult { Ok, Unknown, Twice, TooManyFiles };

// Sets one key of a message.
SetResult set(Fields& m, std::string_view key, std::string value) {
  if (key == "file") {
    if (m.files.size() == kMaxFiles) return SetResult::TooManyFiles;
    m.files.push_back(std::move(value));
    return SetResult::Ok;
  }
  const Key* k = find_key(key);
  if (k == nullptr) return SetResult::Unknown;
  if (given(m, key)) return SetResult::Twice;
  m.*(k->field) = std::move(value);
  m.given.emplace_back(key);
  return SetResult::Ok;
}

// What went wrong in setting `key`, with the key shown as `shown`.
std::string set_error(SetResult r, const std::string& shown) {
  switch (r) {
    case SetResult::Unknown: return "unknown key " + shown;
    case SetResult::Twice: return shown + " is given twice";
    case SetResult::TooManyFiles: return "at most three files can be attached";
    default: return {};
  }
}

std::string_view strip(std::string_view s) {
  const std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The escapes of batch values: \n \r \t \\.
bool unescape(std::string_view in, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      default: return false;
    }
  }
  return true;
}

bool blank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// One line of a batch file, in cp949: a key and its value into `m`.
std::string take_line(std::string_view line, Fields& m) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return "expected key=value";
  const std::string_view key = strip(line.substr(0, eq));
  std::string value;
  if (!unescape(line.substr(eq + 1), value)) return "a backslash starts none of \\n \\r \\t \\\\";
  return set_error(set(m, key, std::move(value)), "\"" + std::string(key) + "\"");
}

// A block ends: complete it with the command line's values and keep it.
void finish(Fields& block, const Fields& defaults, std::vector<Fields>& out) {
  if (block.line == 0) return;
  for (const std::string& key : defaults.given) {
    if (given(block, key)) continue;
    const Key* k = find_key(key);
    block.*(k->field) = defaults.*(k->field);
    block.given.push_back(key);
  }
  out.push_back(std::move(block));
  block = Fields{};
}

// A line of the file in cp949; false when it is not UTF-8 or holds a
// character the code page has not.
bool to_cp949(std::string_view utf8, std::string& cp949) {
  cp949 = text::utf8_to_cp949(utf8);
  return text::cp949_to_utf8(cp949) == utf8;
}

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a.rfind("--", 0) != 0 || a.size() == 2) {
      error = "unexpected argument \"" + a + "\"";
      return std::nullopt;
    }
    std::string name = a.substr(2), value;
    if (const std::size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.erase(eq);
    } else if (name != "batch" && name != "file" && !find_key(name)) {
      error = "unknown option --" + name;
      return std::nullopt;
    } else if (i + 1 == args.size()) {
      error = "--" + name + " needs a value";
      return std::nullopt;
    } else {
      value = args[++i];
    }
    if (name == "batch") {
      if (!o.batch.empty() || value.empty()) {
        error = "--batch takes one file";
        return std::nullopt;
      }
      o.batch = value;
      continue;
    }
    if (const SetResult r = set(o.message, name, value); r != SetResult::Ok) {
      error = r == SetResult::Unknown ? "unknown option --" + name : set_error(r, "--" + name);
      return std::nullopt;
    }
  }
  if (!o.batch.empty() && !o.message.files.empty()) {
    error = "with --batch, files are given in the batch file";
    return std::nullopt;
  }
  return o;
}

std::optional<std::vector<Fields>> parse_batch(std::string_view utf8, const Fields& defaults,
                                               std::string& error) {
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  std::vector<Fields> out;
  Fields block;
  int number = 0;
  for (std::size_t at = 0; at <= utf8.size();) {
    std::size_t end = utf8.find('\n', at);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view raw = utf8.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string line;
    std::string e;
    if (!to_cp949(raw, line)) {
      e = "not UTF-8, or a character without a code in the Korean code page";
    } else if (blank(line)) {
      finish(block, defaults, out);
    } else if (line[0] != '#') {
      if (block.line == 0) block.line = number;
      e = take_line(line, block);
    }
    if (!e.empty()) {
      error = "line " + std::to_string(number) + ": " + e;
      return std::nullopt;
    }
  }
  finish(block, defaults, out);
  if (out.empty()) {
    error = "no messages in the batch file";
    return std::nullopt;
  }
  return out;
}

std::string check(const Fields& m, std::vector<std::string>& warnings) {
  const std::string where = m.line != 0 ? "message at line " + std::to_string(m.line) + ": " : "";
  const std::string dashes = m.line != 0 ? "" : "--";
  for (const Key& k : kKeys) {
    const std::string name = dashes + std::string(k.name);
    const std::string& value = m.*(k.field);
    if (k.required && !given(m, k.name)) return where + name + " is missing";
    if (k.non_empty && value.empty()) return where + name + " is empty";
    if (k.limit != 0 && value.size() > k.limit) {
      return where + name + " is " + std::to_string(value.size()) + " bytes; at most " +
             std::to_string(k.limit) + " fit";
    }
  }
  if (m.subject.size() > kSubjectField) {
    warnings.push_back(where + dashes + "subject is " + std::to_string(m.subject.size()) +
                       " bytes; the provider gets the first 120");
  }
  return {};
}

std::string check_sender(const std::vector<Fields>& messages) {
  for (const Fields& m : messages) {
    const Fields& first = messages.front();
    if (m.user != first.user || m.dept != first.dept || m.type.substr(0, 1) != first.type.substr(0, 1)) {
      return "message at line " + std::to_string(m.line) +
             ": user, dept and type must be those of the first message (one login serves the batch)";
    }
  }
  return {};
}

const char* const kUsage =
    "usage: msgsend --seq N --type T --user U --dept D --call PHONE --req PHONE\n"
    "               --subject S --text T [--rdate DATETIME] [--file F]...\n"
    "       msgsend --batch FILE [--type T --user U --dept D ...]\n"
    "       msgsend --help | --version\n"
    "\n"
    "Sends messages through the message sending object (msgcall.MSGCALLMSG) and\n"
    "prints each one's nRetVal and its meaning. Up to three files are attached\n"
    "(--file, in order). With --batch, every message of FILE goes over one\n"
    "connection; options given on the command line are the defaults of every\n"
    "message. FILE is UTF-8: blocks of key=value lines (keys as the options,\n"
    "without --; file= up to three times) separated by blank lines, # starts a\n"
    "comment line, values may hold \\n \\r \\t \\\\.\n"
    "\n"
    "The provider's servers come from $PINK_MSG_PRIMARY and $PINK_MSG_SECONDARY\n"
    "(host or host:port) or msgcall.ini; the day log goes to $PINK_MSG_LOGDIR.\n"
    "Exit status:\n"
    "  0  every message was accepted\n"
    "  1  one was not\n"
    "  2  bad usage (nothing is sent then)\n";

}  // namespace pink::msgsend
