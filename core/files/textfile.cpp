#include "core/files/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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

// The length of the well-formed UTF-8 sequence at `p` (1 for ASCII), or 0
// when the bytes there are none: shortest forms only, no UTF-16 surrogates,
// nothing above U+10FFFF.
std::size_t Utf8SequenceLength(const std::uint8_t* p, const std::uint8_t* end) {
  const std::uint8_t lead = *p;
  if (lead < 0x80) return 1;
  std::size_t length = 0;
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
    return 0;
  }
  if (static_cast<std::size_t>(end - p) < length) return 0;
  if (p[1] < low || p[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (!IsContinuation(p[i])) return 0;
  return length;
}

void AppendWindows1252(std::string& out, std::uint8_t b) {
  if (b < 0x80)
    out += static_cast<char>(b);
  else if (b < 0xA0)
    AppendUtf8(out, kWindows1252High[b - 0x80]);
  else
    AppendUtf8(out, b);
}

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

std::optional<std::string> ReadRegularFile(const std::string& path) {
  struct stat status {};
  // Checked before opening, so that a device is not even opened.
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;

  std::string bytes;
  std::size_t size = 0;
  // The size is only a hint: the file may grow or shrink while it is read.
  bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
  for (;;) {
    if (size == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    size += static_cast<std::size_t>(got);
  }
  bytes.resize(size);
  return bytes;
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
    const std::size_t length = Utf8SequenceLength(p, end);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (const char c : bytes) AppendWindows1252(out, static_cast<std::uint8_t>(c));
  return out;
}

std::string DecodeTextFile(std::string_view bytes) {
  const auto* const begin = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const auto* const end = begin + bytes.size();
  std::size_t sequences = 0;  // well-formed multi-byte UTF-8 sequences
  std::size_t stray = 0;      // bytes that belong to none
  for (const auto* p = begin; p < end;) {
    const std::size_t length = Utf8SequenceLength(p, end);
    if (length == 0) ++stray;
    if (length > 1) ++sequences;
    p += length == 0 ? 1 : length;
  }
  if (stray > sequences) return Windows1252ToUtf8(bytes);

  if (bytes.starts_with(kUtf8ByteOrderMark)) bytes.remove_prefix(kUtf8ByteOrderMark.size());
  if (stray == 0) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + stray);
  const auto* const from = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (const auto* p = from; p < end;) {
    const std::size_t length = Utf8SequenceLength(p, end);
    if (length == 0) {
      AppendWindows1252(out, *p++);
    } else {
      out.append(reinterpret_cast<const char*>(p), length);
      p += length;
    }
  }
  return out;
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
