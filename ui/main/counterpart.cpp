#include "counterpart.h"

#include <QByteArray>
#include <QString>

#include "panetext.h"

namespace glossmith::ui::detail {

namespace {

bool isContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::size_t UnitBytes::snap(std::size_t byte, Round round) const {
  const std::size_t size = program_.size();
  if (byte >= size) return size;
  if (round == Round::kDown) {
    // A UTF-8 sequence has at most three continuation bytes.
    for (int back = 0; back < 3 && byte > 0 && isContinuation(program_[byte]); ++back) --byte;
    if (byte > 0 && program_[byte] == '\n' && program_[byte - 1] == '\r') --byte;
    return byte;
  }
  for (int ahead = 0; ahead < 3 && byte < size && isContinuation(program_[byte]); ++ahead) ++byte;
  if (byte < size && program_[byte] == '\n' && byte > 0 && program_[byte - 1] == '\r') ++byte;
  return byte;
}

int UnitBytes::unitsBefore(std::size_t byte, Round round) const {
  const std::size_t end = snap(byte, round);
  return static_cast<int>(platformFromProgramText(program_.substr(0, end), textStart_).size());
}

std::size_t UnitBytes::byteOf(int unit) const {
  // Units grow with bytes: the first byte that reaches `unit`, by halving.
  std::size_t low = 0, high = program_.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (unitsBefore(middle, Round::kDown) >= unit)
      high = middle;
    else
      low = middle + 1;
  }
  return snap(low, Round::kDown);
}

int otherStart(const AlignedPiece& text, bool fromSource, int begin) {
  const UnitBytes source(text.source, false), target(text.target, text.targetStart);
  if (fromSource) {
    const std::size_t byte = source.byteOf(begin);
    return target.unitsBefore(text.alignment.ToOutput(byte, byte + 1).begin,
                              UnitBytes::Round::kDown);
  }
  const std::size_t byte = target.byteOf(begin);
  return source.unitsBefore(text.alignment.ToInput(byte, byte + 1).begin, UnitBytes::Round::kDown);
}

int otherEnd(const AlignedPiece& text, bool fromSource, int end) {
  const UnitBytes source(text.source, false), target(text.target, text.targetStart);
  if (fromSource) {
    const std::size_t byte = source.byteOf(end);
    return target.unitsBefore(text.alignment.ToOutput(byte - 1, byte).end, UnitBytes::Round::kUp);
  }
  const std::size_t byte = target.byteOf(end);
  return source.unitsBefore(text.alignment.ToInput(byte - 1, byte).end, UnitBytes::Round::kUp);
}

std::string programFromPlatformText(const QString& units) {
  QString lines = units;
  lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  const QByteArray bytes = lines.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace glossmith::ui::detail
