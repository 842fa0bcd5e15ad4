#include "tests/wintest/ocx_support.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace pink::ocxtest {

const ControlIds& tallypad() {
  static const ControlIds c{"tallypad",
                            "TALLYPAD.TallypadCtrl.1",
                            "TALLYPAD.TallypadCtrl",
                            "Tallypad Control",
                            "{5E46A64F-3479-4A7A-AC1E-079D023EFD0F}",
                            "{3A0EF181-D6BB-4A3D-90ED-2662F8A5F668}",
                            "Tallypad ActiveX Control module",
                            "_DTallypad",
                            "{D8102DB0-020D-4E1F-BB7E-4DEB224988F9}",
                            "_DTallypadEvents",
                            "{2B206082-E6C6-4E29-84FD-F96209EE8BDE}",
                            "{9BC98963-FA29-4929-BC86-1E0A68078366}",
                            "TALLYPAD.TallypadPropPage.1",
                            "Tallypad Property Page",
                            "CTallypadCtrl"};
  return c;
}

const ControlIds& quillpad() {
  static const ControlIds c{"quillpad",
                            "QUILLPAD.QuillpadCtrl.1",
                            "QUILLPAD.QuillpadCtrl",
                            "Quillpad Control",
                            "{75A8B470-B703-4A2C-A41E-000C3E621149}",
                            "{AFBC4EEA-663D-437A-B502-2E2685201956}",
                            "Quillpad ActiveX Control module",
                            "_DQuillpad",
                            "{00E3B435-3215-4CB8-AE69-27B50779EC36}",
                            "_DQuillpadEvents",
                            "{59A15EC2-539A-44BE-9520-8E490EE71B76}",
                            "{D085E83F-0978-4693-A04A-6C180562BC17}",
                            "QUILLPAD.QuillpadPropPage.1",
                            "Quillpad Property Page",
                            "CQuillpadCtrl"};
  return c;
}

const ControlIds& stylpad() {
  static const ControlIds c{"stylpad",
                            "STYLPAD.StylPadCtrl.1",
                            "STYLPAD.StylPadCtrl",
                            "Stylpad Control",
                            "{562E8386-30A9-451E-9B75-DD0048C4B083}",
                            "{5665F18E-A208-46A8-B372-67ED0ADABB5D}",
                            "Stylpad ActiveX Control module",
                            "_DStylpad",
                            "{2AF05332-712B-4C6A-BC80-4D31D5051BD7}",
                            "_DStylpadEvents",
                            "{9386619E-5EEC-437A-BE4B-50E5EFE4A3B9}",
                            "{90F30C5A-162B-4E7F-99D2-A35888A46BA1}",
                            "STYLPAD.StylPadPropPage.1",
                            "Stylpad Property Page",
                            "CStylpadCtrl"};
  return c;
}

// --- registration ---------------------------------------------------------------------

namespace {

// The system's marshaller of dispatch-only interfaces.
const std::string kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

Tree interface_entries(const std::string& name, const ControlIds& c) {
  return {{"|", name},
          {"ProxyStubClsid|", kDispatchMarshaller},
          {"ProxyStubClsid32|", kDispatchMarshaller},
          {"TypeLib|", c.libid},
          {"TypeLib|Version", "1.0"}};
}

}  // namespace

std::map<std::string, Tree> expected_entries(const ControlIds& c, const std::string& path,
                                             const std::string& folder) {
  return {
      {c.progid, {{"|", c.description}, {"CLSID|", c.clsid}}},
      {c.independent_progid, {{"|", c.description}, {"CLSID|", c.clsid}, {"CurVer|", c.progid}}},
      {"CLSID\\" + c.clsid,
       {{"|", c.description},
        {"ProgID|", c.progid},
        {"VersionIndependentProgID|", c.independent_progid},
        {"InprocServer32|", path},
        {"InprocServer32|ThreadingModel", "Apartment"},
        {"TypeLib|", c.libid},
        {"Programmable|*", ""},
        {"Control|*", ""},
        {"ToolboxBitmap32|", path + ", 1"},
        {"MiscStatus|", "0"},
        {"MiscStatus\\1|", "131473"},
        {"Version|", "1.0"}}},
      {"TypeLib\\" + c.libid,
       {{"|*", ""},
        {"1.0|", c.help},
        {"1.0\\0|*", ""},
        {"1.0\\0\\win64|", path},
        {"1.0\\FLAGS|", "0"},
        {"1.0\\HELPDIR|", folder}}},
      {"Interface\\" + c.dispatch_iid, interface_entries(c.dispatch, c)},
      {"Interface\\" + c.events_iid, interface_entries(c.events, c)},
      {"CLSID\\" + c.page_clsid,
       {{"|", c.page_description},
        {"InprocServer32|", path},
        {"InprocServer32|ThreadingModel", "Apartment"},
        {"ProgID|", c.page_progid}}},
      {c.page_progid, {{"|", c.page_description}, {"CLSID|", c.page_clsid}}},
  };
}

void expect_registered(const testkit::Wine& wine, const std::string& classes, const ControlIds& c,
                       const std::string& path) {
  const std::string folder = path.substr(0, path.rfind('\\'));
  for (const auto& [key, entries] : expected_entries(c, path, folder)) {
    Tree got = comtest::reg_tree(wine, classes + "\\" + key);
    if (got != entries) {
      // Nothing writes the registry between two queries here, so a second
      // answer that differs means the first query itself failed (a Wine
      // program that could not start on a loaded machine): it is said, and
      // the second answer counts.
      const Tree again = comtest::reg_tree(wine, classes + "\\" + key);
      if (again != got) std::cerr << "note: reg query of " << key << " answered differently when asked again\n";
      got = again;
    }
    EXPECT_EQ(got, entries) << c.family << ": " << key;
  }
}

void expect_unregistered(const testkit::Wine& wine, const std::string& classes, const ControlIds& c) {
  for (const auto& [key, entries] : expected_entries(c, "", "")) {
    EXPECT_FALSE(wine.reg_key_exists(classes + "\\" + key)) << c.family << ": " << key;
  }
}

// --- the virtual pad ---------------------------------------------------------------------

ListeningPad::ListeningPad(const testkit::Wine& wine, const std::string& family, int com,
                           const std::vector<std::string>& options)
    : wine_(wine), com_(com) {
  std::vector<std::string> args{family, "COM" + std::to_string(com)};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("--listen");
  vpad_ = std::make_unique<testkit::Process>(testkit::program("vpad"), args);
  EXPECT_TRUE(testkit::wait_until([&] { return vpad_->out().find('\n') != std::string::npos; }, 20000))
      << vpad_->err();
  const std::string out = vpad_->out();
  const std::string device = out.substr(0, out.find('\n'));
  EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << out << vpad_->err();
  wine_.map_port(com_, device);
}

ListeningPad::~ListeningPad() {
  wine_.unmap_port(com_);
  vpad_->terminate();
}

// --- reports -------------------------------------------------------------------------------

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

}  // namespace

void expect_in_order(const std::string& report, const std::vector<std::string>& lines) {
  const std::vector<std::string> got = lines_of(report);
  auto at = got.begin();
  for (const std::string& wanted : lines) {
    const auto found = std::find(at, got.end(), wanted);
    if (found == got.end()) {
      ADD_FAILURE() << "missing, or out of order: \"" << wanted << "\" in\n" << report;
      return;
    }
    at = found + 1;
  }
}

std::string line_starting(const std::string& report, const std::string& prefix) {
  for (const std::string& line : lines_of(report)) {
    if (line.rfind(prefix, 0) == 0) return line;
  }
  return {};
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- pictures ---------------------------------------------------------------------------

namespace {

std::uint32_t le(const std::string& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v |= std::uint32_t{static_cast<std::uint8_t>(b[at + i])} << (8 * i);
  return v;
}

std::uint32_t be32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
  return v;
}

// The raw bytes of a zlib stream made of stored deflate blocks only.
bool stored_blocks(const std::string& z, std::string& out) {
  std::size_t at = 2;  // the zlib header
  for (;;) {
    if (at + 5 > z.size()) return false;
    const auto head = static_cast<std::uint8_t>(z[at]);
    if ((head & 0x06) != 0) return false;  // a compressed block
    const std::uint32_t n = le(z, at + 1, 2);
    if (at + 5 + n > z.size()) return false;
    out.append(z, at + 5, n);
    at += 5 + n;
    if (head & 0x01) return true;
  }
}

}  // namespace

bool Picture::ink(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  const std::size_t i = 3 * (static_cast<std::size_t>(y) * width + x);
  return std::min({rgb[i], rgb[i + 1], rgb[i + 2]}) < 128;
}

int Picture::ink_count() const {
  int n = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) n += ink(x, y) ? 1 : 0;
  }
  return n;
}

Picture read_bmp(const std::string& path) {
  const std::string b = read_file(path);
  Picture p;
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || le(b, 28, 2) != 24) return p;
  const auto width = static_cast<int>(le(b, 18, 4));
  const auto height = static_cast<int>(le(b, 22, 4));  // bottom-up
  const std::size_t offset = le(b, 10, 4);
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  if (width <= 0 || height <= 0 || offset + row * height > b.size()) return p;
  p.width = width;
  p.height = height;
  p.rgb.resize(3 * static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const std::size_t from = offset + row * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const std::size_t to = 3 * (static_cast<std::size_t>(y) * width + x);
      p.rgb[to] = static_cast<std::uint8_t>(b[from + 3 * x + 2]);
      p.rgb[to + 1] = static_cast<std::uint8_t>(b[from + 3 * x + 1]);
      p.rgb[to + 2] = static_cast<std::uint8_t>(b[from + 3 * x]);
    }
  }
  return p;
}

Picture read_png(const std::string& path) {
  const std::string b = read_file(path);
  Picture p;
  if (b.size() < 8 || b.compare(0, 4, "\x89PNG") != 0) return p;
  int width = 0, height = 0;
  std::string z;
  for (std::size_t at = 8; at + 12 <= b.size();) {
    const std::uint32_t n = be32(b, at);
    if (at + 12 + n > b.size()) return p;
    const std::string type = b.substr(at + 4, 4);
    if (type == "IHDR") {
      width = static_cast<int>(be32(b, at + 8));
      height = static_cast<int>(be32(b, at + 12));
    }
    if (type == "IDAT") z.append(b, at + 8, n);
    at += 12 + n;
  }
  std::string raw;
  const std::size_t row = 1 + 3 * static_cast<std::size_t>(width);
  if (width <= 0 || height <= 0 || !stored_blocks(z, raw) || raw.size() != row * height) return p;
  p.width = width;
  p.height = height;
  for (int y = 0; y < height; ++y) {
    if (raw[row * y] != 0) return Picture{};  // a filtered row
    p.rgb.insert(p.rgb.end(), raw.begin() + static_cast<std::ptrdiff_t>(row * y + 1),
                 raw.begin() + static_cast<std::ptrdiff_t>(row * (y + 1)));
  }
  return p;
}

double ink_near(const Picture& a, const Picture& b, int radius) {
  int ink = 0, near = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (!a.ink(x, y)) continue;
      ++ink;
      bool found = false;
      for (int dy = -radius; dy <= radius && !found; ++dy) {
        for (int dx = -radius; dx <= radius && !found; ++dx) found = b.ink(x + dx, y + dy);
      }
      near += found ? 1 : 0;
    }
  }
  return ink == 0 ? 0.0 : static_cast<double>(near) / ink;
}

}  // namespace pink::ocxtest
