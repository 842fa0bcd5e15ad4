// The one window of an interactive program that shows what it receives: a
// caption, a title label with a count label beside it, a file-name label, a
// list of received lines and an end button. The handheld transfer's form.
//
//   events::Loop loop;
//   form::Form f(loop);
//   f.set_caption("HX410");
//   f.set_title(kTitle);  f.set_count("0");  f.set_file_name(kLabel + name);
//   f.show();
//   f.list_add(record);  f.list_select_last();
//
// When the user asks to end (the end button or closing the window; on a Linux
// terminal the end key q or Esc), the form asks the loop to stop
// (events::Loop::request_stop), exactly as a stop signal does.
//
// Windows: a small window with a static caption for each label, a list box
// and a push button; texts are widened from cp949 with code page 949.
// Linux, standard output a terminal: a full-screen view on the terminal's
// alternate screen (caption bar, title and count, file name, the list
// scrolled to its selected line, a footer naming the end keys), with the
// keyboard read raw through the event loop; the terminal is given back as it
// was when the form goes away, also on a stop signal or a failure.
// Linux, standard output not a terminal: every line added to the list is
// printed as one line of UTF-8 text; nothing else is printed.
// Control characters in the lines are shown as "?" on Linux (never sent to
// the terminal as they are).
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/eventloop.h"

namespace pink::form {

class Form {
 public:
  // Created hidden; `loop` must outlive the form.
  explicit Form(events::Loop& loop);
  ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Texts are cp949.
  void set_caption(std::string_view text);
  void set_title(std::string_view text);       // the title label
  void set_count(std::string_view text);       // the count label
  void set_file_name(std::string_view text);   // the file-name label
  void set_end_caption(std::string_view text); // the end button

  void list_add(std::string_view line);
  void list_clear();
  // Selects the last line and scrolls it into view (nothing when empty).
  void list_select_last();
  void list_set_visible(bool visible);
  std::size_t list_size() const;

  // Shows the form and starts taking the user's end request.
  void show();

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace pink::form
