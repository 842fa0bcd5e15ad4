// The form on Linux: a full-screen terminal view when standard output is a
// terminal, one printed line per list line otherwise.
//
// The terminal view runs on the alternate screen with the cursor hidden; the
// keyboard (standard input, when it is a terminal) is switched to raw input
// with Ctrl+C kept as the interrupt, and read by a poller of the event loop,
// which also redraws the view after a change or a resize. Everything is given
// back when the form goes away, and from an exit handler for a program that
// ends without unwinding.
#include "platform/form.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/text.h"

namespace pink::form {
namespace {

constexpr char kEnterScreen[] = "\x1b[?1049h\x1b[?25l\x1b[2J";
constexpr char kLeaveScreen[] = "\x1b[0m\x1b[?25h\x1b[?1049l";
constexpr char kReverse[] = "\x1b[7m";
constexpr char kPlain[] = "\x1b[0m";
constexpr char kClearToEnd[] = "\x1b[K";
constexpr char kEsc = 0x1B;

constexpr int kDefaultRows = 24;
constexpr int kDefaultColumns = 80;
// Rows above the list (caption, title, file name, rule) and below it (rule, footer).
constexpr int kHeaderRows = 4;
constexpr int kFooterRows = 2;

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the terminal is gone: nothing more to show
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Control characters become "?": a received line must never drive the terminal.
std::string printable(std::string_view cp949) {
  std::string out(cp949);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) c = '?';
  }
  return out;
}

// The leading characters of a cp949 text that fit in `columns` terminal
// columns (a double-byte character takes two), as UTF-8.
std::string fit(std::string_view cp949, int columns) {
  const std::string shown = printable(cp949);
  std::size_t end = 0;
  int used = 0;
  while (end < shown.size()) {
    const std::size_t n = text::char_length_at(shown, end);
    const int width = n == 2 ? 2 : 1;
    if (used + width > columns) break;
    used += width;
    end += n;
  }
  return text::cp949_to_utf8(std::string_view(shown).substr(0, end));
}

std::string move_to(int row) { return "\x1b[" + std::to_string(row + 1) + ";1H"; }

// The terminal state to give back; set while the terminal view is up.
struct SavedTerminal {
  bool screen = false;
  bool keyboard = false;
  termios keyboard_mode{};
};
SavedTerminal g_saved;

void restore_terminal() {
  if (g_saved.keyboard) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved.keyboard_mode);
    g_saved.keyboard = false;
  }
  if (g_saved.screen) {
    write_all(STDOUT_FILENO, kLeaveScreen);
    g_saved.screen = false;
  }
}

}  // namespace

struct Form::Impl {
  enum class Mode { Hidden, Lines, Screen };

  explicit Impl(events::Loop& l) : loop(l) {}

  events::Loop& loop;
  Mode mode = Mode::Hidden;
  std::string caption, title, count, file_name, end_caption;
  std::vector<std::string> lines;
  long selected = -1;
  bool visible = true;
  bool dirty = true;
  bool keys = false;  // reading the keyboard
  int rows = 0, columns = 0;

  void changed() { dirty = true; }

  void enter_screen() {
    mode = Mode::Screen;
    static bool handler = false;
    if (!handler) {
      std::atexit(restore_terminal);
      handler = true;
    }
    if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &g_saved.keyboard_mode) == 0) {
      termios raw = g_saved.keyboard_mode;
      raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | IEXTEN));
      raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
      raw.c_cc[VMIN] = 1;
      raw.c_cc[VTIME] = 0;
      // Ctrl+C stays the interrupt (a clean stop); suspending or quitting
      // with a core would leave the terminal raw.
      raw.c_cc[VSUSP] = _POSIX_VDISABLE;
      raw.c_cc[VQUIT] = _POSIX_VDISABLE;
      if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        g_saved.keyboard = true;
        keys = true;
      }
    }
    g_saved.screen = true;
    write_all(STDOUT_FILENO, kEnterScreen);
    measure();
    redraw();
  }

  // Reads what the keyboard has; q, Q or a lone Esc asks to end. Escape
  // sequences (arrow and function keys) are skipped whole.
  void read_keys() {
    if (!keys) return;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return;
    char buf[64];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
      keys = false;  // no keyboard any more
      return;
    }
    if (n < 0) return;
    const std::string_view in(buf, static_cast<std::size_t>(n));
    if (end_key_in(in)) loop.request_stop();
  }

  static bool end_key_in(std::string_view in) {
    for (std::size_t i = 0; i < in.size(); ++i) {
      if (in[i] == 'q' || in[i] == 'Q') return true;
      if (in[i] != kEsc) continue;
      if (i + 1 == in.size()) return true;  // Esc alone
      if (in[i + 1] == '[') {
        i += 2;
        while (i < in.size() && !(in[i] >= 0x40 && in[i] <= 0x7E)) ++i;  // up to the final byte
      } else {
        ++i;  // Esc O x, or Alt with a key: skip the next byte too
        if (in[i] == 'O' && i + 1 < in.size()) ++i;
      }
    }
    return false;
  }

  // Takes the terminal's size (a resize shows on the next pass).
  void measure() {
    winsize ws{};
    int r = kDefaultRows, c = kDefaultColumns;
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
      r = ws.ws_row;
      c = ws.ws_col;
    }
    if (r != rows || c != columns) {
      rows = r;
      columns = c;
      dirty = true;
    }
  }

  void poll() {
    if (mode != Mode::Screen) return;
    read_keys();
    measure();
    if (dirty) redraw();
  }

  // The first line of the list shown: the selected line stays in view,
  // otherwise the list shows its end.
  std::size_t first_shown(std::size_t room) const {
    const std::size_t anchor = selected >= 0 ? static_cast<std::size_t>(selected) + 1 : lines.size();
    return anchor > room ? anchor - room : 0;
  }

  void redraw() {
    if (mode != Mode::Screen) return;
    dirty = false;
    std::string out = "\x1b[H";
    auto row = [&](int r, const std::string& utf8, bool reverse) {
      if (r < 0 || r >= rows) return;
      out += move_to(r);
      if (reverse) out += kReverse;
      out += utf8;
      out += kClearToEnd;
      if (reverse) out += kPlain;
    };
    const std::string rule(static_cast<std::size_t>(columns), '-');
    row(0, fit(" " + caption + std::string(static_cast<std::size_t>(columns), ' '), columns), true);
    row(1, fit(title + " " + count, columns), false);
    row(2, fit(file_name, columns), false);
    row(3, rule, false);
    const int room = rows - kHeaderRows - kFooterRows;
    const std::size_t first = room > 0 ? first_shown(static_cast<std::size_t>(room)) : 0;
    for (int i = 0; i < room; ++i) {
      const std::size_t index = first + static_cast<std::size_t>(i);
      const bool shown = visible && index < lines.size();
      row(kHeaderRows + i, shown ? fit(lines[index], columns) : std::string(),
          shown && static_cast<long>(index) == selected);
    }
    row(rows - 2, rule, false);
    row(rows - 1, fit("q / Esc: " + end_caption, columns), false);
    write_all(STDOUT_FILENO, out);
  }

  void print_line(std::string_view line) {
    write_all(STDOUT_FILENO, text::cp949_to_utf8(printable(line)) + "\n");
  }
};

Form::Form(events::Loop& loop) : impl_(std::make_shared<Impl>(loop)) {
  std::weak_ptr<Impl> weak = impl_;
  loop.add_poller([weak] {
    if (auto impl = weak.lock()) impl->poll();
  });
}

Form::~Form() {
  if (impl_->mode == Impl::Mode::Screen) restore_terminal();
}

void Form::set_caption(std::string_view text) {
  impl_->caption = text;
  impl_->changed();
}

void Form::set_title(std::string_view text) {
  impl_->title = text;
  impl_->changed();
}

void Form::set_count(std::string_view text) {
  impl_->count = text;
  impl_->changed();
}

void Form::set_file_name(std::string_view text) {
  impl_->file_name = text;
  impl_->changed();
}

void Form::set_end_caption(std::string_view text) {
  impl_->end_caption = text;
  impl_->changed();
}

void Form::list_add(std::string_view line) {
  impl_->lines.emplace_back(line);
  if (impl_->mode == Impl::Mode::Lines) impl_->print_line(line);
  impl_->changed();
}

void Form::list_clear() {
  impl_->lines.clear();
  impl_->selected = -1;
  impl_->changed();
}

void Form::list_select_last() {
  impl_->selected = static_cast<long>(impl_->lines.size()) - 1;
  impl_->changed();
}

void Form::list_set_visible(bool visible) {
  impl_->visible = visible;
  impl_->changed();
}

std::size_t Form::list_size() const { return impl_->lines.size(); }

void Form::show() {
  if (impl_->mode != Impl::Mode::Hidden) return;
  if (::isatty(STDOUT_FILENO)) {
    impl_->enter_screen();
  } else {
    impl_->mode = Impl::Mode::Lines;
  }
}

}  // namespace pink::form
