#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace glossmith::lib {

// SHA-256 (FIPS 180-4), for digests of rule sets that any other machine can
// recompute with standard tools.
class Sha256 {
 public:
  Sha256();
  void Add(std::string_view bytes);
  // The digest as 64 lowercase hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const unsigned char* block);

  std::array<std::uint32_t, 8> state_;
  std::array<unsigned char, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes added
};

}  // namespace glossmith::lib
