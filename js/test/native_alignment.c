/* The native C API's alignments, for alignment.test.js: translates a file
 * with the rules of a settings file and prints the pieces, then the answers
 * to the queries on the command line, as JSON.
 * Usage: native_alignment SETTINGS FLAGS TEXT [s|t BEGIN END]... */
#include <glossmith/glossmith.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char* ReadAll(const char* path, size_t* size) {
  FILE* file = fopen(path, "rb");
  if (!file) return NULL;
  fseek(file, 0, SEEK_END);
  *size = (size_t)ftell(file);
  fseek(file, 0, SEEK_SET);
  char* bytes = malloc(*size + 1);
  if (bytes && fread(bytes, 1, *size, file) != *size) bytes = NULL;
  fclose(file);
  return bytes;
}

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  size_t size = 0;
  char* text = ReadAll(argv[3], &size);
  gls_rules* rules = gls_rules_new();
  gls_status status;
  if (!text || gls_rules_load_settings(rules, argv[1]) != GLS_OK) return 1;
  gls_translator* translator = gls_translator_new(rules, (unsigned)atoi(argv[2]), &status);
  char* out;
  size_t out_len;
  gls_alignment* alignment;
  if (!translator ||
      gls_translate_aligned(translator, text, size, &out, &out_len, &alignment) != GLS_OK)
    return 1;
  printf("{\"pieces\": [");
  gls_piece piece;
  size_t written;
  for (size_t i = 0; gls_alignment_pieces(alignment, i, &piece, 1, &written) == GLS_OK && written;
       ++i)
    printf("%s[%zu, %zu, %zu, %zu]", i ? ", " : "", piece.source_begin, piece.source_end,
           piece.target_begin, piece.target_end);
  printf("], \"queries\": [");
  for (int arg = 4; arg + 2 < argc; arg += 3) {
    size_t begin, end;
    const size_t from = strtoull(argv[arg + 1], NULL, 10), to = strtoull(argv[arg + 2], NULL, 10);
    if (argv[arg][0] == 's')
      gls_alignment_to_source(alignment, from, to, &begin, &end);
    else
      gls_alignment_to_target(alignment, from, to, &begin, &end);
    printf("%s[%zu, %zu]", arg > 4 ? ", " : "", begin, end);
  }
  printf("]}\n");
  gls_alignment_free(alignment);
  gls_free(out);
  gls_translator_free(translator);
  gls_rules_free(rules);
  free(text);
  return 0;
}
