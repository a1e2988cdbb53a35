#include "core/engine_hooks.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <numeric>
#include <stdexcept>
#include <vector>

#include "core/engine_error.h"
#include "crypto/md5.h"

namespace veltra {
namespace {

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

const crypto::TDigest kKey = crypto::DigestOfText("secret");

// An application cipher that keeps a built-in state in its context bytes' place: the context
// bytes hold an index into a list the hooks own.
struct WrappedCipher {
  std::vector<std::unique_ptr<crypto::CipherState>> states;
  int resets = 0;
  int fail_at_block = -1;  // throw at this block (counted over all calls)
  int blocks = 0;

  crypto::CipherState& StateOf(std::span<uint8_t> context) { return *states.at(context[0]); }

  TCipherHooks Hooks() {
    TCipherHooks hooks;
    hooks.Init = [this](std::span<const uint8_t> key) {
      states.push_back(crypto::CreateCipherState(key));
      return std::vector<uint8_t>{static_cast<uint8_t>(states.size() - 1)};
    };
    hooks.EncryptBlock = [this](std::span<uint8_t> context,
                                std::span<uint8_t, crypto::kCipherBlockSize> block) {
      if (blocks++ == fail_at_block) throw std::runtime_error("block failed");
      StateOf(context).EncryptBlock(block);
    };
    hooks.DecryptBlock = [this](std::span<uint8_t> context,
                                std::span<uint8_t, crypto::kCipherBlockSize> block) {
      StateOf(context).DecryptBlock(block);
    };
    hooks.Reset = [this](std::span<uint8_t> context) {
      ++resets;
      StateOf(context).ResetChain();
    };
    return hooks;
  }
};

TEST(CipherContext, WithoutCompleteHooksUsesTheBuiltInCipher) {
  WrappedCipher wrapped;
  TCipherHooks partial = wrapped.Hooks();
  partial.DecryptBlock = nullptr;
  for (const TCipherHooks& hooks : {TCipherHooks{}, partial}) {
    auto context = TCipherContext::Create(hooks, kKey);
    EXPECT_FALSE(context->IsApplicationCipher());
    EXPECT_EQ(context->Size(), crypto::kCipherStateSize);
  }
  EXPECT_TRUE(wrapped.states.empty());
}

TEST(CipherContext, HooksWrappingTheBuiltInCipherGiveTheSameBytes) {
  WrappedCipher wrapped;
  auto through_hooks = TCipherContext::Create(wrapped.Hooks(), kKey);
  auto built_in = TCipherContext::Create({}, kKey);
  ASSERT_TRUE(through_hooks->IsApplicationCipher());
  for (size_t size : {0u, 7u, 8u, 20u, 512u}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> a = Pattern(size), b = Pattern(size);
    through_hooks->EncryptBuffer(a);
    built_in->EncryptBuffer(b);
    EXPECT_EQ(a, b);
    through_hooks->DecryptBuffer(a);
    EXPECT_EQ(a, Pattern(size));
  }
  EXPECT_EQ(wrapped.resets, 10);  // once per buffer, also for buffers without a whole block
}

TEST(CipherContext, ResetRunsWhenABlockHookThrows) {
  WrappedCipher wrapped;
  wrapped.fail_at_block = 1;
  auto context = TCipherContext::Create(wrapped.Hooks(), kKey);
  std::vector<uint8_t> area = Pattern(32);
  EXPECT_THROW(context->EncryptBuffer(area), std::runtime_error);
  EXPECT_EQ(wrapped.resets, 1);
  // Blocks after the failing one are untouched.
  EXPECT_TRUE(std::equal(area.begin() + 16, area.end(), Pattern(32).begin() + 16));
}

TEST(CipherContext, KeepsTheHooksItWasMadeWith) {
  WrappedCipher wrapped;
  TCipherHooks hooks = wrapped.Hooks();
  auto context = TCipherContext::Create(hooks, kKey);
  hooks = {};  // the application clears its events later
  std::vector<uint8_t> area = Pattern(16), expected = Pattern(16);
  context->EncryptBuffer(area);
  TCipherContext::Create({}, kKey)->EncryptBuffer(expected);
  EXPECT_EQ(area, expected);
}

TEST(Zlib, RoundTripsAtEveryLevel) {
  const std::vector<uint8_t> input = Pattern(100'000);
  for (uint8_t level = 0; level <= kMaxCompressionLevel; ++level) {
    SCOPED_TRACE(int{level});
    std::vector<uint8_t> compressed = ZlibCompress(input, level);
    EXPECT_LE(compressed.size(), ZlibCompressBound(input.size()));
    EXPECT_EQ(ZlibDecompress(compressed, input.size()), input);
  }
  EXPECT_TRUE(ZlibDecompress(ZlibCompress({}, 6), 0).empty());
}

TEST(Zlib, ALevelAboveNineIsACompressionError) {
  try {
    ZlibCompress(Pattern(10), 10);
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.EngineCode(), kErrCompress);
  }
}

TEST(Zlib, BadStreamsAreUncompressErrors) {
  const std::vector<uint8_t> input = Pattern(70'000);
  const std::vector<uint8_t> good = ZlibCompress(input, 6);
  std::vector<uint8_t> flipped = good;
  flipped[flipped.size() / 2] ^= 0x55;
  flipped[flipped.size() - 1] ^= 0x55;  // the checksum, in case the middle still inflates
  std::vector<uint8_t> trailing = good;
  trailing.push_back(0);
  struct Case {
    const char* what;
    std::vector<uint8_t> stream;
    size_t max_output;
  };
  const Case cases[] = {
      {"damaged", flipped, input.size()},
      {"truncated", std::vector<uint8_t>(good.begin(), good.end() - 10), input.size()},
      {"not zlib", Pattern(100), input.size()},
      {"empty", {}, input.size()},
      {"trailing bytes", trailing, input.size()},
      {"longer than allowed", good, input.size() - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      ZlibDecompress(c.stream, c.max_output);
      ADD_FAILURE() << "no error";
    } catch (const EVELTRAEngineError& error) {
      EXPECT_EQ(error.EngineCode(), kErrUncompress);
    }
  }
}

TEST(Zlib, ABombStopsAtTheBoundWithoutInflatingEverything) {
  // 64 MiB of zeros compress to about 64 KiB; asking for at most 1 MiB must fail quickly and
  // never hold the whole result.
  std::vector<uint8_t> zeros(64u << 20);
  const std::vector<uint8_t> bomb = ZlibCompress(zeros, 9);
  zeros = {};
  try {
    ZlibDecompress(bomb, 1u << 20);
    FAIL() << "no error";
  } catch (const EVELTRAEngineError& error) {
    EXPECT_EQ(error.EngineCode(), kErrUncompress);
  }
}

}  // namespace
}  // namespace veltra
