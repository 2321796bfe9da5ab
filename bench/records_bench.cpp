// Record machinery on a large base (default: the 1 000 000-product demo base; set
// LODEX_BENCH_BASE to its folder): sequential and paged fetches, a full recount, AND of
// two slot files, sorting every hit, and record decoding beside zlib's inflate of the
// same records compressed one by one.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base.h"
#include "lodex32.h"
#include "registry.h"
#include "session.h"

namespace {

struct Bench {
  std::string temp;
  int32_t base = -1;
  int32_t session = -1;
  int32_t total = 0;
};

Bench& Open() {
  static Bench* b = [] {
    auto* bench = new Bench;
    const char* dir = std::getenv("LODEX_BENCH_BASE");
    const std::string base_dir = dir ? dir : "demo/base";
    bench->temp = (std::filesystem::temp_directory_path() / "lodex-records-bench").string();
    std::filesystem::create_directories(bench->temp);
    bench->base = APIOpenBaseEx(base_dir.c_str(), nullptr, bench->temp.c_str(), 0);
    if (bench->base < 0) {
      std::fprintf(stderr, "cannot open %s (%d); set LODEX_BENCH_BASE\n", base_dir.c_str(), bench->base);
      std::exit(1);
    }
    bench->session = APICreateSession(bench->base);
    bench->total = APIRecordCount(bench->base);
    return bench;
  }();
  return *b;
}

void BM_FetchSequential(benchmark::State& state) {
  Bench& b = Open();
  APICancelSort(b.session);
  APIFillBitmap(b.session, 0);
  int32_t h = 0;
  for (auto _ : state) {
    APIFetchRecord(b.session, h);
    benchmark::DoNotOptimize(APIGetFieldData(b.session, 100));
    if (++h == b.total) h = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FetchSequential);

void BM_FetchRandomPage(benchmark::State& state) {
  Bench& b = Open();
  APICancelSort(b.session);
  APIFillBitmap(b.session, 0);
  APIMappingCachePolitics(b.session, 0, 15);
  std::mt19937 rng(1);
  for (auto _ : state) {
    const int32_t first = static_cast<int32_t>(rng() % (b.total - 15));
    for (int32_t h = first; h < first + 15; ++h) {
      APIFetchRecordOptimized(b.session, h);
      benchmark::DoNotOptimize(APIGetFieldData(b.session, 100));
    }
  }
  state.SetItemsProcessed(state.iterations() * 15);
}
BENCHMARK(BM_FetchRandomPage);

void BM_RecountFullBitmap(benchmark::State& state) {
  Bench& b = Open();
  APIFillBitmap(b.session, 0);
  lodex::SessionRef ref = lodex::FindSession(b.session);
  for (auto _ : state) {
    lodex::Recount(*ref.session);
    benchmark::DoNotOptimize(ref.session->bitmaps.hit_total);
  }
}
BENCHMARK(BM_RecountFullBitmap);

void BM_AndTwoSlotFiles(benchmark::State& state) {
  Bench& b = Open();
  std::mt19937 rng(2);
  for (int32_t slot : {1, 2}) {
    APIClearBitmap(b.session, 0);
    for (int k = 0; k < b.total / 3; ++k) APISetBit(b.session, 0, 0, static_cast<int32_t>(rng() % APITableRecordCount(b.base, 0)));
    APIStoreBitmap(b.session, slot);
  }
  for (auto _ : state) benchmark::DoNotOptimize(APIAndBitmaps(b.session, 0, 1, 2));
}
BENCHMARK(BM_AndTwoSlotFiles)->Unit(benchmark::kMicrosecond);

void BM_SortAllHits(benchmark::State& state) {
  Bench& b = Open();
  APIFillBitmap(b.session, 0);
  for (auto _ : state) benchmark::DoNotOptimize(APISort(b.session));
  APICancelSort(b.session);
  state.SetItemsProcessed(state.iterations() * b.total);
}
BENCHMARK(BM_SortAllHits)->Unit(benchmark::kMillisecond);

// Decoding alone: the stored forms of the first records, decoded from memory, beside the
// same decoded records deflated one by one and inflated.
struct Corpus {
  std::vector<std::vector<uint8_t>> stored;    // recordReadBytes each
  std::vector<std::vector<uint8_t>> deflated;  // zlib level 6 of the decoded record
  std::vector<size_t> decoded_size;
  size_t decoded_bytes = 0;
};

Corpus& Records() {
  static Corpus* c = [] {
    auto* corpus = new Corpus;
    Bench& b = Open();
    lodex::SessionRef ref = lodex::FindSession(b.session);
    lodex::Base& base = *ref.base;
    lodex::RecordState& r = ref.session->records;
    APICancelSort(b.session);
    APIFillBitmap(b.session, 0);
    const int n = std::min(b.total, 100000);
    for (int h = 0; h < n; ++h) {
      APIFetchRecord(b.session, h);
      // The decoded record: all field texts up to the last field's NUL.
      const char* last = APIGetFieldData(b.session, APIDatafieldNo(b.base, APIDatafieldCount(b.base) - 1));
      const size_t size = last + std::strlen(last) + 1 - reinterpret_cast<const char*>(r.buffer1.data());
      std::vector<uint8_t> stored(r.read_bytes);
      std::fseek(base.files.data.get(), APIGetCurrentRecordPtr(b.session), SEEK_SET);
      stored.resize(std::fread(stored.data(), 1, stored.size(), base.files.data.get()));
      stored.resize(r.read_bytes, 0);
      uLongf len = compressBound(size);
      std::vector<uint8_t> z(len);
      compress2(z.data(), &len, r.buffer1.data(), size, 6);
      z.resize(len);
      corpus->stored.push_back(std::move(stored));
      corpus->deflated.push_back(std::move(z));
      corpus->decoded_size.push_back(size);
      corpus->decoded_bytes += size;
    }
    return corpus;
  }();
  return *c;
}

// Decodes the corpus's records one after another in a session's buffers with
// decode(stored bytes, record state, codec); bytes are counted up to each record's last
// field, whatever the decode does past it.
template <class Decode>
void DecodeCorpus(benchmark::State& state, Decode decode) {
  Bench& b = Open();
  Corpus& c = Records();
  lodex::SessionRef ref = lodex::FindSession(b.session);
  lodex::RecordState& r = ref.session->records;
  lodex::RecordCodec& codec = ref.base->codec;
  size_t i = 0;
  for (auto _ : state) {
    decode(c.stored[i], r, codec);
    benchmark::DoNotOptimize(r.buffer1.data());
    if (++i == c.stored.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * (c.decoded_bytes / c.stored.size()));
}

// As a fetch decodes: from the stored bytes, up to the last field.
void BM_DecodeRecords(benchmark::State& state) {
  DecodeCorpus(state, [](const std::vector<uint8_t>& stored, lodex::RecordState& r,
                         lodex::RecordCodec& codec) {
    codec.DecodeStored(stored.data(), stored.size(), r.buffer1.data(), r.buffer2.data(),
                       r.buffer1.size() - 1, r.read_bytes, r.decode_bytes,
                       static_cast<int64_t>(r.fields.size()));
  });
}
BENCHMARK(BM_DecodeRecords);

// To the end of the room, as a reader that does not stop after the last field would:
// the copy into buffer 1, then both stages over every byte of the room.
void BM_DecodeRecordsWholeRoom(benchmark::State& state) {
  DecodeCorpus(state, [](const std::vector<uint8_t>& stored, lodex::RecordState& r,
                         lodex::RecordCodec& codec) {
    std::copy(stored.begin(), stored.end(), r.buffer1.begin());
    codec.DecodeRecord(r.buffer1.data(), r.buffer2.data(), r.buffer1.size() - 1, r.read_bytes,
                       r.decode_bytes);
  });
}
BENCHMARK(BM_DecodeRecordsWholeRoom);

void BM_InflateRecords(benchmark::State& state) {
  Corpus& c = Records();
  std::vector<uint8_t> out(4096);
  size_t i = 0;
  for (auto _ : state) {
    uLongf len = out.size();
    uncompress(out.data(), &len, c.deflated[i].data(), c.deflated[i].size());
    benchmark::DoNotOptimize(out.data());
    if (++i == c.deflated.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * (c.decoded_bytes / c.deflated.size()));
}
BENCHMARK(BM_InflateRecords);

void BM_CompressedSizes(benchmark::State& state) {
  Corpus& c = Records();
  size_t stored = 0, deflated = 0;
  for (size_t k = 0; k < c.stored.size(); ++k) deflated += c.deflated[k].size();
  for (auto _ : state) benchmark::DoNotOptimize(stored);
  for (const auto& s : c.stored) stored += s.size();
  state.counters["decoded_B_per_record"] = double(c.decoded_bytes) / c.stored.size();
  state.counters["deflate_B_per_record"] = double(deflated) / c.stored.size();
}
BENCHMARK(BM_CompressedSizes)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
