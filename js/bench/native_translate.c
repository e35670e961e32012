/* The native C API's side of bench.js: translates the file it is given
 * `rounds` times through one translator (English to L33T, standard) and
 * prints the best time of one translation in seconds. */
#include <glossmith/glossmith.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: native_translate FILE ROUNDS\n");
    return 2;
  }
  FILE* file = fopen(argv[1], "rb");
  if (!file) return 1;
  fseek(file, 0, SEEK_END);
  const long size = ftell(file);
  fseek(file, 0, SEEK_SET);
  char* text = malloc((size_t)size);
  if (!text || fread(text, 1, (size_t)size, file) != (size_t)size) return 1;
  fclose(file);

  gls_rules* rules = gls_rules_new();
  gls_status status;
  gls_translator* translator = gls_translator_new(rules, 0, &status);
  double best = 1e9;
  for (int round = atoi(argv[2]); round > 0; --round) {
    char* out;
    size_t len;
    const double start = Now();
    if (gls_translate_alloc(translator, text, (size_t)size, &out, &len) != GLS_OK) return 1;
    const double took = Now() - start;
    gls_free(out);
    if (took < best) best = took;
  }
  printf("%.6f\n", best);
  gls_translator_free(translator);
  gls_rules_free(rules);
  free(text);
  return 0;
}
