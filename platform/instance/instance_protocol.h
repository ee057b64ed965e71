// The wire format between a starting process and the running instance. One request per
// connection, one four-byte answer:
//   "ZVI1", op ('Q' query, 'R' raise), class length (u16 LE), title length (u16 LE),
//   class bytes, title bytes (UTF-8, lossless form)
// answered by "ZVOK" (this is the instance asked for; for 'R' the window was asked to come
// forward) or "ZVNO" (a different class/title reached this socket).
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zv::instance_protocol {

enum class Op : char { Query = 'Q', Raise = 'R' };

struct Request {
    Op op = Op::Query;
    std::string cls;
    std::string title;
};

inline constexpr std::size_t kHeaderBytes = 9;
inline constexpr std::size_t kMaxFieldBytes = 1024;
inline constexpr std::size_t kMaxRequestBytes = kHeaderBytes + 2 * kMaxFieldBytes;
inline constexpr std::string_view kYes = "ZVOK";
inline constexpr std::string_view kNo = "ZVNO";
inline constexpr std::size_t kAnswerBytes = 4;

// Empty when a field is longer than kMaxFieldBytes.
std::string encode(const Request& r);

enum class Parse { Incomplete, Malformed, Complete };
// Parses what has arrived so far. Bytes past the one request are malformed.
Parse parse(std::span<const unsigned char> bytes, Request& out);

}  // namespace zv::instance_protocol
