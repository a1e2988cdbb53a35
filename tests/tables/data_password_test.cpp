// Table passwords: the digest and the cipher state they key, the check value an encrypted table
// stores, and the copy a table keeps, which shares the session's state without owning it.
#include "tables/data_password.h"

#include <gtest/gtest.h>

#include <string>

#include "core/data_engine.h"
#include "crypto/md5.h"

namespace veltra {
namespace {

TEST(DataPassword, DigestIsTheMd5OfTheText) {
  TDataEngine engine;
  TDataPassword password(engine, "abc");
  EXPECT_EQ(password.text(), "abc");
  EXPECT_EQ(password.digest(), crypto::DigestOfText("abc"));
  EXPECT_TRUE(password.owns_cipher_state());
  EXPECT_FALSE(password.cipher_state().IsApplicationCipher());
}

TEST(DataPassword, CheckValueMatchesOnlyTheSameText) {
  TDataEngine engine;
  TDataPassword maker(engine, "Lotto6");
  const crypto::TPasswordCheckValue check = maker.CheckValue();
  EXPECT_NE(check, maker.digest());  // nothing of the password is stored in the clear

  const struct {
    std::string text;
    bool matches;
  } cases[] = {
      {"Lotto6", true}, {"lotto6", false}, {"LOTTO6", false}, {"Lotto6 ", false}, {"Lotto", false}};
  for (const auto& c : cases) {
    TDataPassword candidate(engine, c.text);
    EXPECT_EQ(candidate.MatchesCheckValue(check), c.matches) << "'" << c.text << "'";
  }
  // Checking twice gives the same answer: the chain is reset after each buffer.
  EXPECT_TRUE(maker.MatchesCheckValue(check));
  EXPECT_EQ(maker.CheckValue(), check);
}

TEST(DataPassword, TableCopySharesTheStateWithoutOwningIt) {
  TDataEngine engine;
  TDataPassword session_password(engine, "secret");
  std::unique_ptr<TDataPassword> copy = session_password.SharedCopy();
  EXPECT_EQ(copy->text(), "secret");
  EXPECT_EQ(copy->digest(), session_password.digest());
  EXPECT_EQ(&copy->cipher_state(), &session_password.cipher_state());
  EXPECT_FALSE(copy->owns_cipher_state());
  EXPECT_TRUE(copy->MatchesCheckValue(session_password.CheckValue()));
  copy.reset();  // freeing the copy leaves the session's state usable
  EXPECT_TRUE(session_password.MatchesCheckValue(session_password.CheckValue()));
}

TEST(DataPassword, ApplicationCipherMakesAndChecksTheValue) {
  TDataEngine engine;
  int blocks = 0;
  // A toy cipher: XOR with the first key byte; enough to see that the hooks are used.
  TCipherHooks& hooks = engine.MutableHooks().Cipher;
  hooks.Init = [](std::span<const uint8_t> key) { return std::vector<uint8_t>{key[0]}; };
  hooks.EncryptBlock = [&](std::span<uint8_t> context, std::span<uint8_t, 8> block) {
    ++blocks;
    for (uint8_t& byte : block) byte ^= context[0];
  };
  hooks.DecryptBlock = hooks.EncryptBlock;

  TDataPassword password(engine, "secret");
  EXPECT_TRUE(password.cipher_state().IsApplicationCipher());
  const crypto::TPasswordCheckValue check = password.CheckValue();
  EXPECT_EQ(blocks, 2);
  EXPECT_TRUE(password.MatchesCheckValue(check));
  EXPECT_FALSE(TDataPassword(engine, "Secret").MatchesCheckValue(check));
}

}  // namespace
}  // namespace veltra
