#include "platform/common/devctl_frame.h"

namespace pink::devctl::frame {

std::uint32_t read_u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::vector<std::uint8_t> encode_request(std::uint32_t code, std::span<const std::uint8_t> input,
                                         std::uint32_t output_size) {
  std::vector<std::uint8_t> out;
  out.reserve(kRequestHeaderSize + input.size());
  append_u32(out, code);
  append_u32(out, static_cast<std::uint32_t>(input.size()));
  append_u32(out, output_size);
  out.insert(out.end(), input.begin(), input.end());
  return out;
}

Decode decode_request(std::span<const std::uint8_t> bytes, Request& out, std::size_t& used) {
  if (bytes.size() < kRequestHeaderSize) {
    // A length already visible can make even a partial header malformed.
    if (bytes.size() >= 8 && read_u32(bytes.data() + 4) > kMaxLength) return Decode::Malformed;
    return Decode::Incomplete;
  }
  const std::uint32_t input_length = read_u32(bytes.data() + 4);
  const std::uint32_t output_size = read_u32(bytes.data() + 8);
  if (input_length > kMaxLength || output_size > kMaxLength) return Decode::Malformed;
  if (bytes.size() - kRequestHeaderSize < input_length) return Decode::Incomplete;
  out.code = read_u32(bytes.data());
  out.output_size = output_size;
  const auto input = bytes.subspan(kRequestHeaderSize, input_length);
  out.input.assign(input.begin(), input.end());
  used = kRequestHeaderSize + input_length;
  return Decode::Complete;
}

std::vector<std::uint8_t> encode_reply(bool accepted, std::span<const std::uint8_t> output) {
  std::vector<std::uint8_t> out;
  out.reserve(kReplyHeaderSize + output.size());
  append_u32(out, accepted ? 1u : 0u);
  append_u32(out, static_cast<std::uint32_t>(output.size()));
  out.insert(out.end(), output.begin(), output.end());
  return out;
}

Decode decode_reply_header(std::span<const std::uint8_t> bytes, std::uint32_t output_size,
                           ReplyHeader& out) {
  if (bytes.size() >= 4 && read_u32(bytes.data()) > 1) return Decode::Malformed;
  if (bytes.size() < kReplyHeaderSize) return Decode::Incomplete;
  const std::uint32_t length = read_u32(bytes.data() + 4);
  if (length > output_size || length > kMaxLength) return Decode::Malformed;
  out.accepted = read_u32(bytes.data()) == 1;
  out.length = length;
  return Decode::Complete;
}

Decode decode_reply(std::span<const std::uint8_t> bytes, std::uint32_t output_size, Reply& out,
                    std::size_t& used) {
  ReplyHeader header;
  const Decode d = decode_reply_header(bytes, output_size, header);
  if (d != Decode::Complete) return d;
  if (bytes.size() - kReplyHeaderSize < header.length) return Decode::Incomplete;
  out.accepted = header.accepted;
  const auto output = bytes.subspan(kReplyHeaderSize, header.length);
  out.output.assign(output.begin(), output.end());
  used = kReplyHeaderSize + header.length;
  return Decode::Complete;
}

}  // namespace pink::devctl::frame
