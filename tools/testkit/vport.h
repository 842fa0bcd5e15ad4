// Virtual serial ports: a pseudo-terminal pair standing in for a serial line.
//
// The program under test opens the slave side through $PINK_COMn like any
// serial port; the test (or the vcom tool) reads what the program sent and
// answers on the master side. Linux only.
//
//   VirtualPort port(41);                 // PINK_COM41 = /dev/pts/N for the scope
//   ... run the program that writes to COM41 ...
//   EXPECT_EQ(port.read_exact(7, 2000), "ORDER\r\n");
//   EXPECT_EQ(port.line().baud, 9600u);
#pragma once

#include <termios.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/testkit/testkit.h"

namespace pink::testkit {

// Line settings of the slave as the program left them, decoded from termios.
// A pseudo-terminal keeps the rate, the stop bits, the parity kind bits, the
// handshake and XON/XOFF flags as set, but always reports 8 data bits and no
// parity enable: so even parity reads like none there, while odd, mark and
// space are told apart by `odd` and `stick`.
struct LineView {
  std::uint32_t baud = 0;      // 0 for a rate without a known constant
  int data_bits = 8;
  bool parity_enable = false;  // PARENB (always false on a pseudo-terminal)
  bool odd = false;            // PARODD: odd (or mark, with stick)
  bool stick = false;          // CMSPAR: mark or space parity
  bool two_stop_bits = false;  // CSTOPB
  bool rts_cts = false;        // CRTSCTS
  bool xon_out = false;        // IXON
  bool xon_in = false;         // IXOFF
  std::uint8_t xon_char = 0;
  std::uint8_t xoff_char = 0;
  bool raw = false;            // no canonical input, echo, signals or output processing
};

class VirtualPort {
 public:
  // Opens a pseudo-terminal pair, puts both sides in raw mode and points
  // $PINK_COM<com_number> at the slave for the lifetime of the object.
  explicit VirtualPort(int com_number);
  ~VirtualPort();
  VirtualPort(const VirtualPort&) = delete;
  VirtualPort& operator=(const VirtualPort&) = delete;

  int com_number() const noexcept { return com_; }
  // "COM41"
  std::string name() const { return "COM" + std::to_string(com_); }
  const std::string& slave_path() const noexcept { return slave_path_; }
  int master_fd() const noexcept { return master_; }

  // Reads exactly n bytes, or fewer when timeout_ms passes first.
  std::string read_exact(std::size_t n, std::uint32_t timeout_ms);
  // Reads until no byte has come for quiet_ms, or max_ms in all.
  std::string read_for(std::uint32_t quiet_ms, std::uint32_t max_ms);
  // Waits up to wait_ms for a first byte, then returns everything there is.
  std::string read_available(std::uint32_t wait_ms);
  // Everything sent so far by programs that have done writing (one that
  // ended, or said it finished a job), waiting up to max_ms. The terminal
  // hands a program's bytes over to this side a little later, later still
  // on a loaded machine, so a quiet moment proves nothing: a marker is
  // written on the program's side and arrives after all of them.
  std::string read_sent(std::uint32_t max_ms);
  // Bytes the program has sent that nobody has read yet.
  std::size_t pending();
  // Sends bytes to the program (blocks while the program's side is full).
  void write(std::string_view bytes);

  // The device vanishes: both ends this object holds are closed, so the
  // program's side of the line hangs up (reads give end of file or EIO,
  // writes fail) and the port cannot be opened again ($PINK_COMn now names a
  // path that never exists, in this process and programs it starts later).
  // Reads on this object
  // then give nothing and writes are dropped.
  void unplug();
  bool unplugged() const noexcept { return master_ < 0; }
  // Holds back (or lets go) what the program sends, as a device that has
  // stopped the line: the program's writes stay queued and do not complete.
  void hold_output(bool hold);
  // True while a process other than this one has the program's side open.
  bool opened_by_another_process() const;

  // The slave's current line settings.
  termios slave_termios() const;
  LineView line() const;

  static std::uint32_t baud_of(const termios& t);
  static LineView decode(const termios& t);

 private:
  int com_;
  int master_ = -1;
  int slave_ = -1;  // held open so that the line stays up between openers
  std::string slave_path_;
  std::unique_ptr<ScopedEnv> env_;
};

// A program that shares this process's standard input, output and error and
// its environment; found through $PATH when the name has no slash.
class AttachedProcess {
 public:
  AttachedProcess(const std::string& program, const std::vector<std::string>& args);
  ~AttachedProcess();  // kills the program if it is still running
  AttachedProcess(const AttachedProcess&) = delete;
  AttachedProcess& operator=(const AttachedProcess&) = delete;

  bool running();
  // Exit status (128 + signal when killed by one); nothing while running.
  std::optional<int> exit_code();
  // 127 when the program could not be started.
  int wait();

 private:
  int pid_ = -1;
  std::optional<int> exit_;
};

}  // namespace pink::testkit
