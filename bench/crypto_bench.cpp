// Throughput of the engine's MD5 and Blowfish-CBC beside libcrypto's, in the same run, over the
// units the engine hashes and encrypts: 512-byte records and 4 KiB index pages. Each CBC call is
// one buffer from a zero start vector, as the engine encrypts every unit.
//
// After the usual table it prints one line per pair with both throughputs and the ratio
// ours / libcrypto; the target is a ratio of at least kTargetRatio.
#define OPENSSL_SUPPRESS_DEPRECATED 1
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>
#include <openssl/md5.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "crypto/cipher_state.h"
#include "crypto/md5.h"

namespace {

using veltra::crypto::CipherState;
using veltra::crypto::DigestOfBytes;
using veltra::crypto::TDigest;

constexpr double kTargetRatio = 0.8;
constexpr int64_t kRecordSize = 512;
constexpr int64_t kPageSize = 4096;

std::vector<uint8_t> Pattern(int64_t size) {
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 17);
  return bytes;
}

// The key the engine uses: a 16-byte password digest.
const TDigest& BenchKey() {
  static const TDigest key = veltra::crypto::DigestOfText("quintaberry");
  return key;
}

void SetThroughput(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Md5_Ours(benchmark::State& state) {
  const std::vector<uint8_t> data = Pattern(state.range(0));
  for (auto _ : state) {
    TDigest digest = DigestOfBytes(data);
    benchmark::DoNotOptimize(digest);
  }
  SetThroughput(state);
}

void BM_Md5_Libcrypto(benchmark::State& state) {
  const std::vector<uint8_t> data = Pattern(state.range(0));
  for (auto _ : state) {
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5(data.data(), data.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  SetThroughput(state);
}

void BM_BlowfishCbcEncrypt_Ours(benchmark::State& state) {
  std::vector<uint8_t> data = Pattern(state.range(0));
  CipherState cipher(BenchKey());
  for (auto _ : state) {
    veltra::crypto::EncryptBuffer(cipher, data);
    benchmark::ClobberMemory();
  }
  SetThroughput(state);
}

void BM_BlowfishCbcEncrypt_Libcrypto(benchmark::State& state) {
  std::vector<uint8_t> data = Pattern(state.range(0));
  BF_KEY key;
  BF_set_key(&key, static_cast<int>(BenchKey().size()), BenchKey().data());
  for (auto _ : state) {
    unsigned char iv[BF_BLOCK] = {};
    BF_cbc_encrypt(data.data(), data.data(), static_cast<long>(data.size()), &key, iv, BF_ENCRYPT);
    benchmark::ClobberMemory();
  }
  SetThroughput(state);
}

void BM_BlowfishCbcDecrypt_Ours(benchmark::State& state) {
  std::vector<uint8_t> data = Pattern(state.range(0));
  CipherState cipher(BenchKey());
  for (auto _ : state) {
    veltra::crypto::DecryptBuffer(cipher, data);
    benchmark::ClobberMemory();
  }
  SetThroughput(state);
}

void BM_BlowfishCbcDecrypt_Libcrypto(benchmark::State& state) {
  std::vector<uint8_t> data = Pattern(state.range(0));
  BF_KEY key;
  BF_set_key(&key, static_cast<int>(BenchKey().size()), BenchKey().data());
  for (auto _ : state) {
    unsigned char iv[BF_BLOCK] = {};
    BF_cbc_encrypt(data.data(), data.data(), static_cast<long>(data.size()), &key, iv, BF_DECRYPT);
    benchmark::ClobberMemory();
  }
  SetThroughput(state);
}

BENCHMARK(BM_Md5_Ours)->Arg(kRecordSize)->Arg(kPageSize);
BENCHMARK(BM_Md5_Libcrypto)->Arg(kRecordSize)->Arg(kPageSize);
BENCHMARK(BM_BlowfishCbcEncrypt_Ours)->Arg(kRecordSize)->Arg(kPageSize);
BENCHMARK(BM_BlowfishCbcEncrypt_Libcrypto)->Arg(kRecordSize)->Arg(kPageSize);
BENCHMARK(BM_BlowfishCbcDecrypt_Ours)->Arg(kRecordSize)->Arg(kPageSize);
BENCHMARK(BM_BlowfishCbcDecrypt_Libcrypto)->Arg(kRecordSize)->Arg(kPageSize);

// Prints the usual table and keeps each benchmark's bytes per second for the summary: the
// median when the run was repeated (--benchmark_repetitions), else the last measurement.
class RateCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end()) continue;
      const std::string name = run.run_name.str();
      if (median) {
        rates_[name] = rate->second.value;
        medians_.insert(name);
      } else if (!medians_.contains(name)) {
        rates_[name] = rate->second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The rate of `name`, or 0 when it did not run (filtered out).
  double RateOf(const std::string& name) const {
    auto it = rates_.find(name);
    return it == rates_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> rates_;
  std::set<std::string> medians_;
};

// One line per pair; returns false when a ratio that was measured misses the target.
bool PrintSummary(const RateCollector& rates) {
  struct Pair {
    const char* label;
    const char* ours;
    const char* theirs;
  };
  static constexpr Pair kPairs[] = {
      {"MD5, 512-byte records", "BM_Md5_Ours/512", "BM_Md5_Libcrypto/512"},
      {"MD5, 4 KiB pages", "BM_Md5_Ours/4096", "BM_Md5_Libcrypto/4096"},
      {"Blowfish-CBC encrypt, 512-byte records", "BM_BlowfishCbcEncrypt_Ours/512",
       "BM_BlowfishCbcEncrypt_Libcrypto/512"},
      {"Blowfish-CBC encrypt, 4 KiB pages", "BM_BlowfishCbcEncrypt_Ours/4096",
       "BM_BlowfishCbcEncrypt_Libcrypto/4096"},
      {"Blowfish-CBC decrypt, 512-byte records", "BM_BlowfishCbcDecrypt_Ours/512",
       "BM_BlowfishCbcDecrypt_Libcrypto/512"},
      {"Blowfish-CBC decrypt, 4 KiB pages", "BM_BlowfishCbcDecrypt_Ours/4096",
       "BM_BlowfishCbcDecrypt_Libcrypto/4096"},
  };
  constexpr double kMiB = 1024.0 * 1024.0;
  bool all_met = true;
  std::printf("\nours / libcrypto (target >= %.2f)\n", kTargetRatio);
  for (const Pair& pair : kPairs) {
    const double ours = rates.RateOf(pair.ours);
    const double theirs = rates.RateOf(pair.theirs);
    if (ours <= 0 || theirs <= 0) continue;
    const double ratio = ours / theirs;
    const bool met = ratio >= kTargetRatio;
    all_met = all_met && met;
    std::printf("  %-40s ours %8.1f MiB/s  libcrypto %8.1f MiB/s  ratio %.2f  %s\n", pair.label,
                ours / kMiB, theirs / kMiB, ratio, met ? "ok" : "BELOW TARGET");
  }
  return all_met;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateCollector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // A missed target is reported, not failed: the machine may be shared with other work.
  PrintSummary(reporter);
  return 0;
}
