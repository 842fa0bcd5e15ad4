// The framing of device-control requests on the Linux drawer socket: one
// request and one reply per call, little-endian 32-bit fields.
//
//   request: code, input length, output size, then the input bytes
//   reply:   accepted (1 or 0), output length (at most the output size),
//            then the output bytes
//
// Pure code, shared by the platform's client, the servers in tools/ and the
// tests. Decoders take a byte span, check every length against it and the
// limits below before use, and report Malformed instead of reading past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pink::devctl::frame {

constexpr std::size_t kRequestHeaderSize = 12;
constexpr std::size_t kReplyHeaderSize = 8;
// The largest input or output one frame may carry; a length beyond it is
// malformed (no driver request comes near it, and a server must not be made
// to reserve gigabytes by a stray header).
constexpr std::uint32_t kMaxLength = 64 * 1024;

enum class Decode {
  Complete,    // one whole frame is at the front of the bytes
  Incomplete,  // the bytes so far are the start of a valid frame
  Malformed,   // the bytes cannot be a valid frame
};

struct Request {
  std::uint32_t code = 0;
  std::vector<std::uint8_t> input;
  std::uint32_t output_size = 0;
};

struct Reply {
  bool accepted = false;
  std::vector<std::uint8_t> output;
};

std::uint32_t read_u32(const std::uint8_t* p);
void append_u32(std::vector<std::uint8_t>& out, std::uint32_t v);

std::vector<std::uint8_t> encode_request(std::uint32_t code, std::span<const std::uint8_t> input,
                                         std::uint32_t output_size);
// Reads the request at the front of `bytes`; on Complete, `used` is its size.
Decode decode_request(std::span<const std::uint8_t> bytes, Request& out, std::size_t& used);

std::vector<std::uint8_t> encode_reply(bool accepted, std::span<const std::uint8_t> output);

struct ReplyHeader {
  bool accepted = false;
  std::uint32_t length = 0;
};
// Checks the reply header (the first 8 bytes) against the output size the
// request offered: Malformed when "accepted" is neither 0 nor 1 or the
// length exceeds the output size.
Decode decode_reply_header(std::span<const std::uint8_t> bytes, std::uint32_t output_size,
                           ReplyHeader& out);
// Reads the whole reply at the front of `bytes` for a request that offered
// `output_size` bytes; on Complete, `used` is its size.
Decode decode_reply(std::span<const std::uint8_t> bytes, std::uint32_t output_size, Reply& out,
                    std::size_t& used);

}  // namespace pink::devctl::frame
