// Qt's text conversions, reproduced without Qt.
#include "core/ini/text.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace glossmith::ini {
namespace {

struct FoldRun {
  char32_t first, last;
  int delta;
  unsigned step;
};

constexpr FoldRun kFoldRuns[] = {
#include "core/ini/case_fold_table.inc"
};

// --- UTF-8, as Qt converts it -------------------------------------------------

constexpr int kError = -1;
constexpr int kEndOfString = -2;

// One UTF-8 sequence starting with `b`, the rest from [src, end): the bytes
// consumed (b included), or kError / kEndOfString. On success src has moved
// past the sequence and its UTF-16 units are appended.
int DecodeOne(unsigned char b, const unsigned char*& src, const unsigned char* end, Text& out) {
  if (b < 0x80) {
    out += static_cast<char16_t>(b);
    return 1;
  }
  int needed;
  char32_t min, uc;
  if (b <= 0xC1) return kError;
  if (b < 0xE0) {
    needed = 2, min = 0x80, uc = b & 0x1F;
  } else if (b < 0xF0) {
    needed = 3, min = 0x800, uc = b & 0x0F;
  } else if (b < 0xF5) {
    needed = 4, min = 0x10000, uc = b & 0x07;
  } else {
    return kError;
  }
  const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  const std::ptrdiff_t available = end - src;
  if (available < needed - 1) {
    if (available > 0 && !continuation(src[0])) return kError;
    if (available > 1 && !continuation(src[1])) return kError;
    return kEndOfString;
  }
  for (int k = 0; k < needed - 1; ++k) {
    if (!continuation(src[k])) return kError;
    uc = (uc << 6) | (src[k] & 0x3F);
  }
  if (uc < min || IsSurrogate(uc) || uc > 0x10FFFF) return kError;
  if (uc < 0x10000) {
    out += static_cast<char16_t>(uc);
  } else {
    out += static_cast<char16_t>(0xD800 + ((uc - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((uc - 0x10000) & 0x3FF));
  }
  src += needed - 1;
  return needed;
}

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

char32_t FoldCase(char32_t c) {
  const auto* run = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), c,
                                     [](char32_t v, const FoldRun& r) { return v < r.first; });
  if (run == std::begin(kFoldRuns)) return c;
  --run;
  if (c > run->last || (c - run->first) % run->step != 0) return c;
  return static_cast<char32_t>(static_cast<int>(c) + run->delta);
}

bool StartsWithBom(std::string_view s) { return s.substr(0, 3) == "\xEF\xBB\xBF"; }

// QString::fromUtf8: a leading byte order mark is dropped, and every byte that
// starts no valid sequence gives one U+FFFD.
Text FromUtf8(std::string_view in) {
  Text out;
  out.reserve(in.size());
  const unsigned char* src = Bytes(in);
  const unsigned char* const end = src + in.size();
  if (StartsWithBom(in)) src += 3;
  while (src < end) {
    const unsigned char b = *src++;
    if (DecodeOne(b, src, end, out) < 0) out += kReplacement;
  }
  return out;
}

void Utf8Decoder::Decode(std::string_view in, Text& out) {
  if (in.empty()) return;
  const unsigned char* src = Bytes(in);
  const unsigned char* const end = src + in.size();
  if (pendingCount_ > 0 || !headerDone_) {
    std::array<unsigned char, 4> window{};
    const std::size_t held = pendingCount_;
    const std::size_t taken = std::min<std::size_t>(4 - held, in.size());
    std::memcpy(window.data(), pending_.data(), held);
    std::memcpy(window.data() + held, src, taken);
    const unsigned char* next = window.data() + 1;
    const int res = DecodeOne(window[0], next, window.data() + held + taken, out);
    if (res == kError) {
      out += kReplacement;
      ++src;  // Qt's decoder steps over one new byte here, whatever was held
    } else if (res == kEndOfString) {
      pendingCount_ = held + taken;
      pending_ = window;
      return;
    } else if (!headerDone_ && out.back() == 0xFEFF) {
      out.pop_back();
    }
    headerDone_ = true;
    if (res >= 0) src += res - static_cast<int>(held);
  }
  int res = 0;
  while (res >= 0 && src < end) {
    const unsigned char b = *src++;
    res = DecodeOne(b, src, end, out);
    if (res == kError) {
      res = 0;
      out += kReplacement;
    }
  }
  if (res == kEndOfString) {
    --src;
    pendingCount_ = static_cast<std::size_t>(end - src);
    std::memcpy(pending_.data(), src, pendingCount_);
  } else {
    pendingCount_ = 0;
  }
}

// QString::toUtf8: a surrogate that is not part of a pair becomes "?".
std::string ToUtf8(const Text& in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t u = in[i];
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (!IsSurrogate(u)) {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (IsHighSurrogate(u) && i + 1 < in.size() && IsLowSurrogate(in[i + 1])) {
      u = 0x10000 + ((u - 0xD800) << 10) + (in[++i] - 0xDC00);
      out += static_cast<char>(0xF0 | (u >> 18));
      out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += '?';
    }
  }
  return out;
}

// QString::toLatin1: a code unit past U+00FF becomes "?".
std::string ToLatin1(std::u16string_view in) {
  std::string out(in.size(), '?');
  for (std::size_t i = 0; i < in.size(); ++i)
    if (in[i] <= 0xFF) out[i] = static_cast<char>(in[i]);
  return out;
}

Text FromLatin1(std::string_view in) {
  Text out;
  for (const unsigned char c : in) out += static_cast<char16_t>(c);
  return out;
}

// QString::compare(a, b, Qt::CaseInsensitive) == 0: equal lengths, and each
// code unit equal after folding; a low surrogate after a high one is folded
// as the whole code point.
bool EqualIgnoringCase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  char32_t lastA = 0, lastB = 0;
  const auto fold = [](char32_t unit, char32_t& last) {
    char32_t c = unit;
    if (IsLowSurrogate(c) && IsHighSurrogate(last))
      c = 0x10000 + ((last - 0xD800) << 10) + (c - 0xDC00);
    last = unit;
    return FoldCase(c);
  };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold(a[i], lastA) != fold(b[i], lastB)) return false;
  return true;
}

namespace {

bool IsUtf8(std::string_view text) { return ToUtf8(FromUtf8(text)) == text; }

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (!EqualIgnoringCase(FromUtf8(a), FromUtf8(b))) return false;
  // Bytes that are not UTF-8 decode to U+FFFD; such names match only themselves.
  return IsUtf8(a) && IsUtf8(b);
}

}  // namespace glossmith::ini
