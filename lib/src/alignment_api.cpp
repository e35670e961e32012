// The C API's alignments (glossmith.h), over core/rules/alignment.h.
#include <glossmith/glossmith.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "core/rules/alignment.h"
#include "lib/src/api.h"

struct gls_alignment {
  glossmith::Alignment alignment;
};

using glossmith::lib::Guarded;

gls_status gls_translate_aligned(const gls_translator* translator, const char* text, size_t len,
                                 char** out, size_t* out_len, gls_alignment** alignment) {
  if (!translator || (!text && len) || !out || !out_len || !alignment) return GLS_E_NULL;
  *out = nullptr;
  *alignment = nullptr;
  return Guarded([&] {
    auto made = std::make_unique<gls_alignment>();
    std::string translation;
    translator->engine.TranslateAligned(len == 0 ? std::string_view() : std::string_view(text, len),
                                        translation, made->alignment);
    auto* copy = static_cast<char*>(std::malloc(translation.size() + 1));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, translation.data(), translation.size());
    copy[translation.size()] = '\0';
    *out = copy;
    *out_len = translation.size();
    *alignment = made.release();
    return GLS_OK;
  });
}

void gls_alignment_free(gls_alignment* alignment) { delete alignment; }

size_t gls_alignment_piece_count(const gls_alignment* alignment) {
  return alignment ? alignment->alignment.PieceCount() : 0;
}

gls_status gls_alignment_pieces(const gls_alignment* alignment, size_t first, gls_piece* pieces,
                                size_t capacity, size_t* written) {
  if (!alignment || (!pieces && capacity) || !written) return GLS_E_NULL;
  return Guarded([&] {
    *written = 0;
    // Through a small buffer: gls_piece and Alignment::Piece are laid out
    // alike, but are not the same type.
    glossmith::Alignment::Piece buffer[256];
    while (*written < capacity) {
      const std::size_t want = std::min<std::size_t>(capacity - *written, std::size(buffer));
      const std::size_t got = alignment->alignment.PiecesFrom(first + *written, buffer, want);
      for (std::size_t k = 0; k < got; ++k)
        pieces[*written + k] = {buffer[k].inputBegin, buffer[k].inputEnd, buffer[k].outputBegin,
                                buffer[k].outputEnd};
      *written += got;
      if (got < want) break;
    }
    return GLS_OK;
  });
}

gls_status gls_alignment_to_source(const gls_alignment* alignment, size_t begin, size_t end,
                                   size_t* source_begin, size_t* source_end) {
  if (!alignment || !source_begin || !source_end) return GLS_E_NULL;
  if (end < begin) return GLS_E_ARGUMENT;
  const glossmith::Alignment::Range range = alignment->alignment.ToInput(begin, end);
  *source_begin = range.begin;
  *source_end = range.end;
  return GLS_OK;
}

gls_status gls_alignment_to_target(const gls_alignment* alignment, size_t begin, size_t end,
                                   size_t* target_begin, size_t* target_end) {
  if (!alignment || !target_begin || !target_end) return GLS_E_NULL;
  if (end < begin) return GLS_E_ARGUMENT;
  const glossmith::Alignment::Range range = alignment->alignment.ToOutput(begin, end);
  *target_begin = range.begin;
  *target_end = range.end;
  return GLS_OK;
}
