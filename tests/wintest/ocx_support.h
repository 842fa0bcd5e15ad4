// What the Wine tests of the signature pad controls share: the identities
// every registration must write (spelled out here, not taken from the
// controls' own tables, so that a changed GUID or name is caught), the
// registry entries of a control, a virtual pad listening on a port mapped
// into the prefix, the reports of olehost.exe, and pictures (the BMP files
// olehost writes, the PNG snapshots of the Linux build) compared by their
// ink.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/wintest/com_support.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/wine.h"

namespace pink::ocxtest {

struct ControlIds {
  std::string family;  // "tallypad": the module is <family>.ocx
  std::string progid, independent_progid, description, clsid;
  std::string libid, help;
  std::string dispatch, dispatch_iid, events, events_iid;
  std::string page_clsid, page_progid, page_description;
  std::string window_class;
};

const ControlIds& tallypad();
const ControlIds& quillpad();
const ControlIds& stylpad();

using Tree = std::map<std::string, std::string>;

// Every key and value registration writes below the classes key for the
// control's module at `path` (Windows path) in the folder `folder`.
std::map<std::string, Tree> expected_entries(const ControlIds& c, const std::string& path,
                                             const std::string& folder);
void expect_registered(const testkit::Wine& wine, const std::string& classes, const ControlIds& c,
                       const std::string& path);
void expect_unregistered(const testkit::Wine& wine, const std::string& classes, const ControlIds& c);

// A virtual pad of the family (tools/vpad --listen, with `options`) on COM<n>
// of the shared prefix, for the scope.
class ListeningPad {
 public:
  ListeningPad(const testkit::Wine& wine, const std::string& family, int com,
               const std::vector<std::string>& options = {});
  ~ListeningPad();
  ListeningPad(const ListeningPad&) = delete;
  ListeningPad& operator=(const ListeningPad&) = delete;
  // The frame log so far (one line per frame, "rx" from the control).
  std::string log() { return vpad_->out(); }

 private:
  const testkit::Wine& wine_;
  int com_;
  std::unique_ptr<testkit::Process> vpad_;
};

// Expects each of `lines` as a whole line of `report`, in this order (other
// lines may come between them).
void expect_in_order(const std::string& report, const std::vector<std::string>& lines);
// The report's line that starts with `prefix`, or "".
std::string line_starting(const std::string& report, const std::string& prefix);

// An RGB picture.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  bool ink(int x, int y) const;  // darker than middle grey
  int ink_count() const;
};
// A 24-bit BMP file (olehost's pictures); an empty picture when malformed.
Picture read_bmp(const std::string& path);
// A PNG file of 8-bit RGB rows without filters and with stored deflate
// blocks (what the Linux build's snapshots are); empty when it is another.
Picture read_png(const std::string& path);
// The share of `a`'s ink that has ink of `b` within `radius` pixels.
double ink_near(const Picture& a, const Picture& b, int radius);

std::string read_file(const std::string& path);

}  // namespace pink::ocxtest
