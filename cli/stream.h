#pragma once

// The filter itself: the inputs, read as one text, translated piece by piece
// on several threads and written in input order.
//
// The text is cut only right after a byte that no step of the rules looks for
// (gls_translator_split_bytes), so the pieces' translations joined are the
// translation of the whole text, however the input arrives and whatever the
// read size and the number of jobs.
//
// Reading: a piece at a time, of a 64th of the input's length as far as it is
// known (the files' sizes, or what was read so far), at least 64 KiB and at
// most `readSize` bytes: a short input touches little memory, a long one
// reads a read size at a time. A piece goes out when that much is read and
// holds a split byte, when an input that can wait (a pipe, a terminal) has
// nothing more to give right now, or at the end of the last input. Without a
// split byte the buffer keeps growing (doubling) until one comes or the input
// ends; only the new bytes of each read are searched.
//
// Threads: the pieces go through the library's ordered parallel map
// (lib/src/ordered_map.h). With more than one job, the other jobs start when
// a piece fills up once the input holds at least one read size; until then
// (a short input, lines typed one at a time) the reader translates each piece
// itself and writes it straight out; the first piece, which fills most of the
// machine's table, is the reader's alone in any case. Once the jobs run, the
// reader is a job too: it leaves two pieces waiting for each job thread and
// translates the others, and whichever thread finishes the piece at the head
// of the output writes it and those ready after it. With one job, all of it
// happens on the reader unless the input holds 32 read sizes: then a job
// thread translates and a writer thread writes while the reader reads.
//
// Memory: at most 2 x jobs pieces are in flight (read, being translated, or
// waiting to be written); a piece is at most the read size unless a stretch
// without a split byte made it longer.

#include <cstddef>
#include <string>
#include <vector>

#include <glossmith/glossmith.hpp>

#include "cli/io.h"

namespace glossmith::cli {

struct StreamOptions {
  unsigned jobs = 1;                            // translating threads, at least 1
  std::size_t readSize = std::size_t{1} << 20;  // the most bytes one read asks for
};

struct StreamResult {
  bool readFailed = false;  // an input failed part way (reported on standard error)
  int writeError = 0;       // errno of the failed write to the output; 0 if none
  int error = 0;            // errno of any other failure (no memory, no thread); 0 if none
};

// Translates the concatenation of `inputs` into `out` with `translator`,
// which every job shares. A read
// error is reported at once as "glossmith-cli: NAME: reason"; what was read
// before it is translated and written, and the next input follows, as cat
// does. A write error ends the run at once.
StreamResult TranslateStream(const std::vector<Input>& inputs, int out,
                             const gls::Translator& translator, const StreamOptions& options);

// What --split-bytes prints: the bytes that the text may be cut right after
// with `translator`, which runs in the direction `toEnglish` says (as ranges of hex
// values), then whether line feed is one of them:
//   split bytes for English to L33T, standard L33T: 0x00-0x40 0x5B-0x60 ...
//   line feed: yes, the input may be cut after any line feed
std::string SplitBytesReport(const gls::Translator& translator, bool toEnglish);

}  // namespace glossmith::cli
