#include "textfile.h"

#include <array>
#include <cstdint>

namespace glossmith {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Code points of Windows-1252 bytes 0x80 to 0x9F; the rest map to themselves.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // Windows-1252 reaches no further than the Basic Multilingual Plane.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

}  // namespace

std::string TextFileBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + kLineBreak.size());
  bytes.append(text);
  bytes.append(kLineBreak);
  return bytes;
}

std::string TextFromFileBytes(std::string_view bytes) {
  const std::string text = DecodeTextFile(bytes);
  return JoinFileLines(SplitFileLines(text));
}

std::string SaveFileName(std::string_view chosen) {
  std::string name(chosen);
  if (!chosen.ends_with(kTextFileSuffix)) name.append(kTextFileSuffix);
  return name;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    const std::uint8_t lead = *p;
    if (lead < 0x80) {
      ++p;
      continue;
    }
    int length = 0;
    // The second byte's range excludes overlong forms, surrogates and values
    // above U+10FFFF.
    std::uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (end - p < length) return false;
    if (p[1] < low || p[1] > high) return false;
    for (int i = 2; i < length; ++i)
      if (!IsContinuation(p[i])) return false;
    p += length;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b < 0x80)
      out += c;
    else if (b < 0xA0)
      AppendUtf8(out, kWindows1252High[b - 0x80]);
    else
      AppendUtf8(out, b);
  }
  return out;
}

std::string DecodeTextFile(std::string_view bytes) {
  if (!IsValidUtf8(bytes)) return Windows1252ToUtf8(bytes);
  if (bytes.starts_with(kUtf8ByteOrderMark)) bytes.remove_prefix(kUtf8ByteOrderMark.size());
  return std::string(bytes);
}

std::vector<std::string_view> SplitFileLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, stop - start));
    const bool crlf = text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n';
    start = stop + (crlf ? 2 : 1);
  }
  return lines;
}

std::string JoinFileLines(const std::vector<std::string_view>& lines) {
  std::size_t size = 0;
  for (const std::string_view line : lines) size += line.size() + kLineBreak.size();
  std::string text;
  text.reserve(size);
  for (const std::string_view line : lines) {
    if (!text.empty()) text.append(kLineBreak);
    text.append(line);
  }
  return text;
}

}  // namespace glossmith
