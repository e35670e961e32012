/* libglossmith: Glossmith's translations between plain English and L33T,
 * for programs. The same engine as the window and glossmith-cli: every call
 * gives exactly their bytes for the same rules.
 *
 * A gls_rules is a rule set being put together (a Custom string list, the
 * Hardcore alphabet and the stored Hardcore switch); it is not thread-safe.
 * A gls_translator is compiled from a rule set once, for one direction and
 * mode, and is immutable: any number of threads may translate through one
 * translator at the same time, and it keeps no copy of the rules per thread.
 * It does not refer to its rules after gls_translator_new returns.
 *
 * Text is bytes: UTF-8 for the letters to count, anything else passes through.
 * No function keeps a pointer it was given past its return. Every failure is
 * a gls_status; no C++ exception leaves the library.
 *
 * Valid C99 and C++. */
#ifndef GLOSSMITH_GLOSSMITH_H
#define GLOSSMITH_GLOSSMITH_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define GLS_API __attribute__((visibility("default")))
#else
#define GLS_API
#endif

typedef enum {
  GLS_OK = 0,
  GLS_E_BUFFER,        /* the output buffer is too small; *out_len says how large it must be */
  GLS_E_NULL,          /* a required pointer argument is NULL */
  GLS_E_ARGUMENT,      /* an argument is out of its range (flags, jobs, ...) */
  GLS_E_EMPTY_FIND,    /* a Custom pair's find string is empty */
  GLS_E_LETTER,        /* not a letter from A to Z (either case) */
  GLS_E_SETTINGS,      /* the settings file cannot be opened or read */
  GLS_E_NOMEM,         /* out of memory */
  GLS_E_THREAD,        /* a thread could not be started */
  GLS_E_SINK,          /* the caller's sink returned nonzero (see gls_sink) */
  GLS_E_STATE,         /* the stream has already finished */
  GLS_E_INTERNAL,      /* an unexpected failure inside the library */
  GLS_E_LIMIT          /* the rules hold GLS_MAX_PAIRS pairs already: nothing was added */
} gls_status;

/* The message of a status, in English ("the output buffer is too small"). */
GLS_API const char* gls_status_message(gls_status status);

/* The library's version, "1.2.3". */
GLS_API const char* gls_version(void);

/* Translator flags. */
#define GLS_TO_ENGLISH 1u  /* L33T to English; without it English to L33T */
#define GLS_HARDCORE 2u    /* Hardcore L33T; without it (and GLS_STORED_MODE) standard L33T */
#define GLS_STORED_MODE 4u /* Hardcore L33T exactly when the rules' stored switch is on */

/* Rule sets. */
typedef struct gls_rules gls_rules;

/* The built-in chains, an empty Custom list, the default Hardcore alphabet,
 * the stored switch off. NULL when out of memory. */
GLS_API gls_rules* gls_rules_new(void);
GLS_API void gls_rules_free(gls_rules* rules);

/* Replaces the rules by those of a settings file, read exactly as the window
 * and glossmith-cli read it: the Custom string list, the 26 letters (a letter
 * the file does not hold is empty, as in the window) and the Hardcore switch
 * ("usehard" exactly "yes"). `path` NULL reads the per-user file; a missing
 * per-user file holds no settings, a missing named file is GLS_E_SETTINGS.
 * On GLS_E_SETTINGS errno says why (ENOENT, EISDIR, EFBIG past 64 MiB, ...).
 * The file may be a pipe or FIFO. On failure the rules are left as they were. */
GLS_API gls_status gls_rules_load_settings(gls_rules* rules, const char* path);

/* Replaces the rules by those of settings text in memory, read exactly as a
 * settings file holding these `len` bytes is read by gls_rules_load_settings.
 * `bytes` may be NULL when `len` is 0 (no settings). More than 64 MiB is
 * GLS_E_SETTINGS (errno EFBIG), as for a file. On failure the rules are left
 * as they were. */
GLS_API gls_status gls_rules_load_settings_bytes(gls_rules* rules, const char* bytes, size_t len);

/* The per-user settings file that gls_rules_load_settings reads for NULL, as
 * the window finds it: $XDG_CONFIG_HOME/glossmith/l33t.ini when
 * XDG_CONFIG_HOME is set and not empty, else $HOME/.config/glossmith/l33t.ini.
 * Written to `out` under the buffer contract of gls_translate (GLS_E_BUFFER
 * and the size needed when `out_capacity` is too small; no NUL). */
GLS_API gls_status gls_settings_path(char* out, size_t out_capacity, size_t* out_len);

/* Appends a Custom pair: `find` is replaced by `replacement` from English to
 * L33T, and the other way back. Pairs apply in the order added; at most
 * GLS_MAX_PAIRS, as in the window (a settings file's list past the limit is
 * cut there, as the window cuts it).
 * An empty find string is refused (GLS_E_EMPTY_FIND), and so is a pair past
 * the limit (GLS_E_LIMIT); the rules then stay as they were. */
#define GLS_MAX_PAIRS 32768u
GLS_API gls_status gls_rules_add_pair(gls_rules* rules, const char* find, size_t find_len,
                                      const char* replacement, size_t replacement_len);

/* The number of Custom pairs that apply (at most GLS_MAX_PAIRS). */
GLS_API size_t gls_rules_pair_count(const gls_rules* rules);

/* The Custom pair at `index` (from 0, in the order they apply): pointers into
 * the rules, valid until the rules next change, with the lengths (the strings
 * may hold NUL and are not NUL-terminated). GLS_E_ARGUMENT past the last pair. */
GLS_API gls_status gls_rules_pair(const gls_rules* rules, size_t index, const char** find,
                                  size_t* find_len, const char** replacement,
                                  size_t* replacement_len);

/* Sets the Hardcore symbol of a letter ('A' to 'Z', or 'a' to 'z' for the
 * same letter). An empty symbol is allowed and used as it is. */
GLS_API gls_status gls_rules_set_letter(gls_rules* rules, char letter, const char* symbol,
                                        size_t symbol_len);

/* The Hardcore symbol of a letter, as gls_rules_set_letter takes it: a
 * pointer into the rules, valid until the rules next change, and its length. */
GLS_API gls_status gls_rules_letter(const gls_rules* rules, char letter, const char** symbol,
                                    size_t* symbol_len);

/* Sets the stored Hardcore switch, which GLS_STORED_MODE follows. */
GLS_API gls_status gls_rules_set_stored_hardcore(gls_rules* rules, int on);

/* The stored Hardcore switch: 1 on, 0 off (and for NULL). */
GLS_API int gls_rules_stored_hardcore(const gls_rules* rules);

/* Translators. */
typedef struct gls_translator gls_translator;

/* Compiles `rules` for the direction and mode of `flags`. NULL on failure,
 * with the reason in *status when `status` is not NULL (GLS_OK on success). */
GLS_API gls_translator* gls_translator_new(const gls_rules* rules, unsigned flags,
                                           gls_status* status);
GLS_API void gls_translator_free(gls_translator* translator);

/* Whether the translator runs Hardcore L33T (after GLS_STORED_MODE). */
GLS_API int gls_translator_hardcore(const gls_translator* translator);

/* Translates `text` into `out`. When the result is longer than
 * `out_capacity`, nothing is written, *out_len is the size needed and the
 * status is GLS_E_BUFFER; otherwise *out_len is the result's length. No
 * terminating NUL is written. `out` may be NULL when `out_capacity` is 0. */
GLS_API gls_status gls_translate(const gls_translator* translator, const char* text, size_t len,
                                 char* out, size_t out_capacity, size_t* out_len);

/* Translates `text` into a new buffer of *out_len bytes plus a terminating
 * NUL, to be released with gls_free. */
GLS_API gls_status gls_translate_alloc(const gls_translator* translator, const char* text,
                                       size_t len, char** out, size_t* out_len);
GLS_API void gls_free(void* buffer);

/* Receives translated bytes; returns 0 to go on, anything else to stop: the
 * call then ends with GLS_E_SINK and calls the sink no more. The library
 * gives GLS_E_SINK for nothing else, so why the sink stopped (a write's
 * errno, an exception) is for the sink to keep in its context, where its
 * caller finds it (glossmith-cli keeps the failed write's errno there, the
 * C++ wrapper the exception, which it throws again). */
typedef int (*gls_sink)(void* context, const char* bytes, size_t len);

/* Translates `text` and passes the result to `sink`, in one or more pieces
 * whose concatenation is the result, without holding all of it at once when
 * the text can be cut (see gls_translator_split_bytes). */
GLS_API gls_status gls_translate_to_sink(const gls_translator* translator, const char* text,
                                         size_t len, gls_sink sink, void* context);

/* Translates `count` texts on up to `jobs` threads (0, or more than there are
 * online processors: one per online processor). outs[i] receives a new buffer
 * of out_lens[i] bytes plus a NUL, to be released with gls_free. On failure,
 * argument errors included, no buffer is left allocated and every outs[i] is
 * NULL (when `outs` is not NULL). */
GLS_API gls_status gls_translate_many(const gls_translator* translator, size_t count,
                                      const char* const* texts, const size_t* lens, char** outs,
                                      size_t* out_lens, unsigned jobs);

/* Receives the translations of `count` consecutive texts of
 * gls_translate_each, from text `first` on: outs[i] is out_lens[i] bytes
 * (no NUL), valid during the call only. Runs come in the order of their
 * texts, one call at a time, on the thread that called gls_translate_each
 * (since 1.10.0; before, on any of the call's threads). Returns 0 to go on,
 * anything else to stop (GLS_E_SINK, as for gls_sink). */
typedef int (*gls_each_sink)(void* context, size_t first, size_t count, const char* const* outs,
                             const size_t* out_lens);

/* Translates `count` texts on up to `jobs` threads (0, or more than there are
 * online processors: one per online processor), the caller's among them, and
 * passes the translations to `sink` in runs, in the texts' order, while later
 * texts are still being translated: at most 2 x jobs runs are held at once,
 * however many texts there are. */
GLS_API gls_status gls_translate_each(const gls_translator* translator, size_t count,
                                      const char* const* texts, const size_t* lens, unsigned jobs,
                                      gls_each_sink sink, void* context);

/* The bytes that no step of the translator's rules looks for: a text may be
 * cut right after any of them, and translating the pieces one by one gives
 * the translation of the whole. Writes them in ascending order to `bytes`
 * (room for 256) and returns how many there are. */
GLS_API size_t gls_translator_split_bytes(const gls_translator* translator,
                                          unsigned char bytes[256]);

/* The length of the longest prefix of `text` that ends right after such a
 * byte (0 when there is none). */
GLS_API size_t gls_translator_split_point(const gls_translator* translator, const char* text,
                                          size_t len);

/* A digest of everything the translator's output depends on (direction,
 * mode, the Custom pairs that apply and, in Hardcore mode, the alphabet), as
 * 64 lowercase hex digits of SHA-256 and a NUL: two translators with the same
 * digest translate every text alike, on any machine.
 *
 * Framing, so that any SHA-256 tool can recompute it: the hash runs over a
 * sequence of fields, each its length as 8 bytes little-endian followed by
 * its bytes. A translator's fields are "glossmith translator 1"; "to l33t" or
 * "to english"; "standard" or "hardcore"; in Hardcore mode the 26 symbols
 * from A to Z; then each Custom pair that applies, find string and
 * replacement, in order. */
#define GLS_DIGEST_SIZE 65
GLS_API gls_status gls_translator_digest(const gls_translator* translator,
                                         char digest[GLS_DIGEST_SIZE]);

/* A digest of the whole rule set (every pair, the alphabet, the switch),
 * framed as above over the fields "glossmith rules 1"; "stored standard" or
 * "stored hardcore"; the 26 symbols from A to Z; then every pair. */
GLS_API gls_status gls_rules_digest(const gls_rules* rules, char digest[GLS_DIGEST_SIZE]);

/* Streams: feed a text in pieces, take what is final so far. What a stream
 * gives, joined, equals gls_translate of the joined pieces, however the text
 * is cut. A stream belongs to one thread at a time; any number of streams
 * may share one translator. A stream keeps its translator alive: freeing the
 * translator first is safe, and it goes with its last stream. */
typedef struct gls_stream gls_stream;

GLS_API gls_stream* gls_stream_new(const gls_translator* translator, gls_status* status);
GLS_API void gls_stream_free(gls_stream* stream);

/* Adds `text` and passes to `sink` the translation of everything up to the
 * last byte that the text may be cut after (possibly nothing). After a
 * failure the stream has finished. */
GLS_API gls_status gls_stream_feed(gls_stream* stream, const char* text, size_t len,
                                   gls_sink sink, void* context);

/* Passes the translation of what is left to `sink`; the stream then takes no
 * more text (GLS_E_STATE). */
GLS_API gls_status gls_stream_finish(gls_stream* stream, gls_sink sink, void* context);

/* Bytes fed but not yet translated. */
GLS_API size_t gls_stream_pending(const gls_stream* stream);

/* Alignments: where every byte of a translation came from. A translation
 * runs a list of steps, each replacing the non-overlapping occurrences of
 * its find string, left to right. Every occurrence replaced, at any step,
 * stays whole in one piece; every other byte is a piece of its own; pieces
 * that overlap in the text between two steps are joined ("hack" -> "hax0r"
 * is one piece, through "h4ck"). A piece has at least one byte of the
 * source (the text translated) and zero or more of the target (its
 * translation); the pieces, in order, cover both. The alignment is the
 * finest that keeps every replaced occurrence whole, and it is unique.
 *
 * An alignment is immutable: any number of threads may read one at the same
 * time. It owns its memory and refers to neither text nor translator. It
 * takes at most one byte per source byte plus one per four target bytes,
 * plus a quarter byte per piece for its index; on prose, far less (runs of
 * bytes translated one for one take one byte per 128). */
typedef struct gls_alignment gls_alignment;

/* A piece: source bytes [source_begin, source_end) became target bytes
 * [target_begin, target_end). */
typedef struct {
  size_t source_begin, source_end;
  size_t target_begin, target_end;
} gls_piece;

/* Translates `text` as gls_translate_alloc does (*out: a new buffer of
 * *out_len bytes plus a NUL, for gls_free) and sets *alignment to a new
 * alignment of the translation to the text, for gls_alignment_free. On
 * failure *out and *alignment are NULL. */
GLS_API gls_status gls_translate_aligned(const gls_translator* translator, const char* text,
                                         size_t len, char** out, size_t* out_len,
                                         gls_alignment** alignment);
GLS_API void gls_alignment_free(gls_alignment* alignment);

/* The number of pieces. */
GLS_API size_t gls_alignment_piece_count(const gls_alignment* alignment);

/* Copies pieces [first, first + capacity) to `pieces`, as many as there
 * are, and sets *written to their number (0 from `first` on past the last
 * piece). Reading all pieces in one or a few calls takes time linear in
 * their number. */
GLS_API gls_status gls_alignment_pieces(const gls_alignment* alignment, size_t first,
                                        gls_piece* pieces, size_t capacity, size_t* written);

/* The smallest range of the source whose pieces cover target bytes [begin,
 * end), and the smallest range of the target whose pieces cover source
 * bytes [begin, end). An empty range maps to an empty one where it lies
 * between pieces, and to its piece where it lies inside one; offsets past
 * the end are taken as the end. GLS_E_ARGUMENT when end < begin. */
GLS_API gls_status gls_alignment_to_source(const gls_alignment* alignment, size_t begin,
                                           size_t end, size_t* source_begin, size_t* source_end);
GLS_API gls_status gls_alignment_to_target(const gls_alignment* alignment, size_t begin,
                                           size_t end, size_t* target_begin, size_t* target_end);

/* Streams with alignments: what a stream passes on, with where it came from.
 * Receives part of the translation, `len` bytes (possibly 0), and the
 * `count` pieces (at least one) that cover exactly those bytes, in order.
 * Offsets count from the start of the whole text: sources over every byte
 * fed to the stream, targets over every byte it has passed on, through
 * gls_stream_feed and gls_stream_finish too. `bytes` and `pieces` are valid
 * during the call only; it runs on the thread that called the stream.
 * Returns 0 to go on, anything else to stop (GLS_E_SINK, as for gls_sink). */
typedef int (*gls_aligned_sink)(void* context, const char* bytes, size_t len,
                                const gls_piece* pieces, size_t count);

/* As gls_stream_feed and gls_stream_finish, passing the pieces too, at most
 * 256 a call. When every part is fed through these, the pieces, joined,
 * are those of gls_translate_aligned on the whole text, however it is cut;
 * the stream holds them only a cut at a time. */
GLS_API gls_status gls_stream_feed_aligned(gls_stream* stream, const char* text, size_t len,
                                           gls_aligned_sink sink, void* context);
GLS_API gls_status gls_stream_finish_aligned(gls_stream* stream, gls_aligned_sink sink,
                                             void* context);

#ifdef __cplusplus
}
#endif

#endif /* GLOSSMITH_GLOSSMITH_H */
