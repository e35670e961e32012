// The SHA-256 behind the digests, against the standard's known answers, and
// the digests' documented framing against a hash computed outside.

#include <glossmith/glossmith.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/src/sha256.h"

namespace glossmith::lib {
namespace {

struct KnownAnswer {
  const char* name;
  std::string message;
  const char* digest;
};

std::vector<KnownAnswer> KnownAnswers() {
  return {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"896 bits",
       "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {"a million a", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
}

// Whole, a byte at a time, and in pieces that straddle the 64-byte blocks.
TEST(Sha256Test, KnownAnswersHoweverTheMessageIsAdded) {
  for (const KnownAnswer& answer : KnownAnswers()) {
    for (const std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{63},
                                    std::size_t{65}, std::size_t{1000}}) {
      SCOPED_TRACE(std::string(answer.name) + ", pieces of " + std::to_string(piece));
      Sha256 hash;
      const std::string& message = answer.message;
      if (piece == 0)
        hash.Add(message);
      else
        for (std::size_t at = 0; at < message.size(); at += piece)
          hash.Add(std::string_view(message).substr(at, piece));
      EXPECT_EQ(hash.HexDigest(), answer.digest);
    }
  }
}

// Each expected digest was computed with Python's hashlib from the framing
// the header describes.
TEST(Sha256Test, DigestsFollowTheDocumentedFraming) {
  gls_rules* rules = gls_rules_new();
  ASSERT_NE(rules, nullptr);
  char digest[GLS_DIGEST_SIZE];

  gls_translator* plain = gls_translator_new(rules, 0, nullptr);
  ASSERT_EQ(gls_translator_digest(plain, digest), GLS_OK);
  EXPECT_STREQ(digest, "b02d3e31e10d4fd249369e74f0cd8c932771449ac470f3ac951b8ef574d1c461");
  gls_translator_free(plain);

  for (char letter = 'A'; letter <= 'Z'; ++letter)
    ASSERT_EQ(gls_rules_set_letter(rules, letter, &letter, 1), GLS_OK);
  ASSERT_EQ(gls_rules_add_pair(rules, "dude", 4, "d00d", 4), GLS_OK);
  ASSERT_EQ(gls_rules_set_stored_hardcore(rules, 1), GLS_OK);
  gls_translator* hardcore = gls_translator_new(rules, GLS_TO_ENGLISH | GLS_HARDCORE, nullptr);
  ASSERT_EQ(gls_translator_digest(hardcore, digest), GLS_OK);
  EXPECT_STREQ(digest, "270a7df22422000d44f522c878300764aa52c10bb8caefdeddc5369973b66d8c");
  gls_translator_free(hardcore);

  ASSERT_EQ(gls_rules_digest(rules, digest), GLS_OK);
  EXPECT_STREQ(digest, "73ee78161a9505322a13a51fcd354d0cf38a00f7d0c4d1f9d78bed7aa6aadf5f");
  gls_rules_free(rules);
}

}  // namespace
}  // namespace glossmith::lib
