#include "tools/msgsim/session.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "platform/text.h"

namespace pink::msgsim {
namespace {

namespace wire = msgcall::wire;

std::string hex(std::uint8_t b) {
  char s[8];
  std::snprintf(s, sizeof s, "0x%02X", b);
  return s;
}

std::string code_text(std::uint8_t b) {
  return b >= 0x20 && b < 0x7F ? "'" + std::string(1, static_cast<char>(b)) + "'" : hex(b);
}

std::string_view as_text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Name=value lines of a record's Value fields (UTF-8, for header.txt).
std::string field_lines(const wire::Record& record, std::span<const std::uint8_t> bytes) {
  std::string error, out;
  const auto values = wire::read(record, bytes, error);
  if (!values) return "";
  for (const wire::Field& f : record.fields) {
    if (f.content != wire::Content::Value) continue;
    out += std::string(f.name) + "=" + text::cp949_to_utf8(shown((*values)[f.slot])) + "\n";
  }
  return out;
}

}  // namespace

Reader::Reader(net::Socket& socket, std::uint32_t wait_ms) : socket_(socket), wait_ms_(wait_ms), buf_(65536) {}

Reader::Status Reader::more() {
  const int ready = socket_.wait_readable(wait_ms_);
  if (ready == 0) return Status::TimedOut;
  if (ready < 0) return Status::Failed;
  const long n = socket_.recv(buf_);
  if (n == 0) return Status::Closed;
  if (n < 0) return Status::Failed;
  begin_ = 0;
  end_ = static_cast<std::size_t>(n);
  return Status::Ok;
}

Reader::Status Reader::read(std::span<std::uint8_t> out, std::size_t& got) {
  got = 0;
  while (got < out.size()) {
    if (begin_ == end_) {
      const Status s = more();
      if (s != Status::Ok) return s;
    }
    const std::size_t n = std::min(out.size() - got, end_ - begin_);
    std::copy_n(buf_.begin() + static_cast<std::ptrdiff_t>(begin_), n, out.begin() + static_cast<std::ptrdiff_t>(got));
    begin_ += n;
    got += n;
  }
  return Status::Ok;
}

Reader::Status Reader::stream(std::uint64_t n, const std::function<void(std::span<const std::uint8_t>)>& sink,
                              std::uint64_t& got) {
  got = 0;
  while (got < n) {
    if (begin_ == end_) {
      const Status s = more();
      if (s != Status::Ok) return s;
    }
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(n - got, end_ - begin_));
    sink(std::span<const std::uint8_t>(buf_.data() + begin_, piece));
    begin_ += piece;
    got += piece;
  }
  return Status::Ok;
}

std::string shown(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b < 0x20 || b == 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", b);
      out += esc;
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

Session::Session(net::Socket& socket, const Script& script, Store& store, Log log, Log errors)
    : socket_(socket), script_(script), store_(store), log_(std::move(log)), errors_(std::move(errors)),
      reader_(socket, script.wait_ms) {}

void Session::run() {
  for (;;) {
    std::uint8_t kind = 0;
    std::size_t got = 0;
    const Reader::Status s = reader_.read({&kind, 1}, got);
    if (s == Reader::Status::Closed) {
      log_("the terminal closed the connection");
      break;
    }
    if (s != Reader::Status::Ok) {
      errors_(s == Reader::Status::TimedOut ? "no record within the wait; closing" : "receiving failed; closing");
      break;
    }
    bool go_on = false;
    if (kind == 'B') {
      go_on = on_login();
    } else if (kind == 'Q') {
      go_on = on_message();
    } else {
      errors_("unknown record kind " + hex(kind) + "; closing");
    }
    if (!go_on) break;
  }
}

// Reads the rest of a record whose first byte (out[0]) has come.
bool Session::read_record(std::span<std::uint8_t> out, std::string_view name) {
  std::size_t got = 0;
  const Reader::Status s = reader_.read(out.subspan(1), got);
  if (s == Reader::Status::Ok) return true;
  errors_(std::string(name) + " cut short: " + std::to_string(got + 1) + " of " + std::to_string(out.size()) +
          " bytes, then " + (s == Reader::Status::Closed ? "the terminal closed the connection" : "nothing more"));
  return false;
}

bool Session::on_login() {
  std::array<std::uint8_t, 67> record{};
  record[0] = 'B';
  if (!read_record(record, wire::kLoginRequest.name)) return false;
  std::string error;
  const auto login = wire::parse_login_request(record, error);
  if (!login) {
    errors_(error + "; closing");
    return false;
  }
  login_.assign(record.begin(), record.end());
  log_("<- LoginRequest UserCode=[" + shown(login->user_code) + "] DeptCode=[" + shown(login->dept_code) +
       "] Type=[" + shown(login->type) + "] Version=[" + shown(login->version) + "]");
  return answer(Point::Login, wire::login_reply(script_.login_reply),
                "LoginReply " + code_text(script_.login_reply));
}

bool Session::answer(Point point, std::span<const std::uint8_t> record, const std::string& what) {
  if (script_.stall == point) {
    log_("stalling: no " + what.substr(0, what.find(' ')) + " is sent");
    wait_for_close();
    return false;
  }
  const std::size_t n = script_.short_record == point ? record.size() / 2 : record.size();
  if (socket_.send(record.first(n)) != static_cast<long>(n)) {
    errors_("sending the " + what + " failed: the terminal is gone");
    return false;
  }
  if (n < record.size()) {
    log_("-> " + std::to_string(n) + " of " + std::to_string(record.size()) + " bytes of the " + what +
         ", then closing");
    return false;
  }
  log_("-> " + what);
  return true;
}

void Session::wait_for_close() {
  std::uint8_t sink[4096];
  while (socket_.wait_readable(script_.wait_ms) == 1) {
    if (socket_.recv(sink) <= 0) {
      log_("the terminal closed the connection");
      return;
    }
  }
  log_("the wait passed; closing");
}

}  // namespace pink::msgsim

namespace pink::msgsim {
namespace {

std::string reader_failure(Reader::Status s) {
  switch (s) {
    case Reader::Status::Closed: return "the terminal closed the connection";
    case Reader::Status::TimedOut: return "nothing more came within the wait";
    default: return "receiving failed";
  }
}

std::string byte_count(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

std::span<std::uint8_t> bytes_of(std::string& s) { return {reinterpret_cast<std::uint8_t*>(s.data()), s.size()}; }

}  // namespace

bool Session::on_message() {
  std::array<std::uint8_t, 204> header{};
  header[0] = 'Q';
  if (!read_record(header, wire::kSendHeader.name)) return false;
  std::string error;
  const auto h = wire::parse_send_header(header, error);
  if (!h) {
    errors_(error + "; closing");
    return false;
  }
  log_("<- SendHeader SeqNo=[" + shown(h->seq_no) + "] CallPhone=[" + shown(h->call_phone) + "] ReqPhone=[" +
       shown(h->req_phone) + "] RDateTime=[" + shown(h->rdatetime) + "] Subject=[" + shown(h->subject) +
       "] HasText=[" + (h->has_text ? "1" : "") + "] FileCount=[" + std::to_string(h->file_count) + "] More=[" +
       (h->last ? "N" : "Y") + "]");

  const auto body = read_body();
  if (!body) return false;
  const std::string_view text = std::string_view(*body).substr(wire::kMessageBody.size);

  const auto folder = store_.new_message();
  std::string lines = field_lines(wire::kLoginRequest, login_) + field_lines(wire::kSendHeader, header) +
                      "TextLength=" + std::to_string(text.size()) + "\n";
  auto save = [&](const std::string& answer_text) {
    if (folder) write_file(*folder / "header.txt", lines + "Answer=" + answer_text + "\n");
  };
  std::ofstream raw;  // the message's records as they came
  if (folder) {
    if (!login_.empty()) write_file(*folder / "login.bin", as_text(login_));
    write_file(*folder / "header.bin", as_text(header));
    write_file(*folder / "body.txt", text);
    raw.open(*folder / "message.bin", std::ios::binary | std::ios::trunc);
    raw << as_text(header) << *body;
    log_("stored in " + text::utf8_to_cp949(folder->string()));
  } else if (store_.enabled()) {
    errors_("the message cannot be stored in " + text::utf8_to_cp949(store_.root().string()));
  }
  const bool whole = read_attachments(h->file_count, folder, raw, lines);
  raw.close();
  if (!whole) {
    save("none (the message was cut short)");
    return false;
  }

  const std::uint8_t code = script_.results[std::min(messages_, script_.results.size() - 1)];
  ++messages_;
  if (script_.close_before_result) {
    save("none (closed before the result)");
    log_("closing before the result");
    return false;
  }
  save(script_.stall == Point::Result          ? "none (stalled)"
       : script_.short_record == Point::Result ? "half a SendResult " + code_text(code)
                                               : "SendResult " + code_text(code));
  if (!answer(Point::Result, wire::send_result(code), "SendResult " + code_text(code))) return false;
  if (h->last) log_("that was the last message of the connection");
  return true;
}

std::optional<std::string> Session::read_body() {
  std::string body(wire::kMessageBody.size, '\0');
  std::size_t got = 0;
  std::string error;
  Reader::Status s = reader_.read(bytes_of(body), got);
  const auto text_length =
      s == Reader::Status::Ok ? wire::parse_body_length(bytes_of(body), error) : std::nullopt;
  if (text_length) {
    body.resize(body.size() + *text_length);
    s = reader_.read(bytes_of(body).subspan(wire::kMessageBody.size), got);
  }
  if (!text_length || s != Reader::Status::Ok) {
    errors_("MessageBody: " + (s != Reader::Status::Ok ? reader_failure(s) : error) + "; closing");
    return std::nullopt;
  }
  log_("<- MessageBody (" + std::to_string(*text_length) + " bytes): " + shown(body.substr(wire::kMessageBody.size)));
  return body;
}

bool Session::read_attachments(int count, const std::optional<std::filesystem::path>& folder, std::ofstream& raw,
                               std::string& lines) {
  for (int i = 1; i <= count; ++i) {
    std::array<std::uint8_t, 14> record{};
    std::size_t got = 0;
    std::string error;
    const Reader::Status s = reader_.read(record, got);
    const auto a = s == Reader::Status::Ok ? wire::parse_attachment_header(record, error) : std::nullopt;
    if (!a) {
      errors_("AttachmentHeader " + std::to_string(i) + ": " + (s != Reader::Status::Ok ? reader_failure(s) : error) +
              "; closing");
      return false;
    }
    const std::string name = attachment_file_name(i, a->extension);
    raw << as_text(record);
    log_("<- AttachmentHeader " + std::to_string(i) + " Size=[" + std::to_string(a->size) + "] Extension=[" +
         shown(a->extension) + "]");
    std::ofstream out;
    if (folder) out.open(*folder / name, std::ios::binary | std::ios::trunc);
    std::uint64_t received = 0;
    const Reader::Status r = reader_.stream(
        a->size,
        [&](std::span<const std::uint8_t> piece) {
          if (out.is_open()) out << as_text(piece);
          if (raw.is_open()) raw << as_text(piece);
        },
        received);
    lines += "Attachment" + std::to_string(i) + "=" + name + " (" + std::to_string(received) + " of " +
             std::to_string(a->size) + " bytes, extension \"" + text::cp949_to_utf8(shown(a->extension)) + "\")\n";
    if (r != Reader::Status::Ok) {
      errors_("attachment " + std::to_string(i) + " cut short: " + std::to_string(received) + " of " +
              std::to_string(a->size) + " bytes, then " + reader_failure(r) + "; closing");
      return false;
    }
    log_("<- attachment " + std::to_string(i) + " (" + byte_count(received) + ")" +
         (folder ? " stored as " + name : ""));
  }
  return true;
}

}  // namespace pink::msgsim
