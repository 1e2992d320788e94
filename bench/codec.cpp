// CompressStream and DecompressStream against zlib called directly with the same parameters
// (level 9, default method, window, memory level and strategy), on result-like XML.
#include <zlib.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "ResultXml.h"
#include "common/PayloadCodec.h"

namespace {

const std::string& Xml(int64_t megabytes) {
  static std::string oneMB = bench::ReportTypeXml(1 << 20);
  static std::string sixtyFourMB = bench::ReportTypeXml(size_t{64} << 20);
  return megabytes == 1 ? oneMB : sixtyFourMB;
}

void Fill(TMemoryStream& stream, const void* bytes, size_t size) {
  stream.Clear();
  stream.WriteBuffer(bytes, static_cast<int64_t>(size));
}

void BM_CompressStream(benchmark::State& state) {
  const std::string& xml = Xml(state.range(0));
  TMemoryStream stream;
  for (auto _ : state) {
    state.PauseTiming();
    Fill(stream, xml.data(), xml.size());
    state.ResumeTiming();
    CompressStream(stream);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(xml.size()));
  state.counters["ratio"] = static_cast<double>(xml.size()) / static_cast<double>(stream.Size());
}

void BM_RawDeflate(benchmark::State& state) {
  const std::string& xml = Xml(state.range(0));
  for (auto _ : state) {
    z_stream z{};
    deflateInit(&z, 9);
    const uLong bound = deflateBound(&z, xml.size());
    std::unique_ptr<uint8_t, decltype(&std::free)> out(static_cast<uint8_t*>(std::malloc(bound)), &std::free);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(xml.data()));
    z.avail_in = static_cast<uInt>(xml.size());
    z.next_out = out.get();
    z.avail_out = static_cast<uInt>(bound);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate failed");
    benchmark::DoNotOptimize(out.get());
    deflateEnd(&z);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(xml.size()));
}

const std::string& Payload(int64_t megabytes) {
  static std::string payloads[2];
  std::string& payload = payloads[megabytes == 1 ? 0 : 1];
  if (payload.empty()) {
    const std::string& xml = Xml(megabytes);
    TMemoryStream stream;
    Fill(stream, xml.data(), xml.size());
    CompressStream(stream);
    payload.assign(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  }
  return payload;
}

void BM_DecompressStream(benchmark::State& state) {
  const std::string& payload = Payload(state.range(0));
  const size_t plainSize = Xml(state.range(0)).size();
  TMemoryStream stream;
  for (auto _ : state) {
    state.PauseTiming();
    Fill(stream, payload.data(), payload.size());
    state.ResumeTiming();
    DecompressStream(stream);
  }
  if (static_cast<size_t>(stream.Size()) != plainSize) state.SkipWithError("wrong size");
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(plainSize));
}

// Mirrors BM_DecompressStream's allocations: the previous result is freed and the payload
// copied into fresh memory outside the timing, so both see the same allocator state.
void BM_RawInflate(benchmark::State& state) {
  const std::string& payload = Payload(state.range(0));
  const size_t plainSize = Xml(state.range(0)).size();
  using Buffer = std::unique_ptr<uint8_t, decltype(&std::free)>;
  Buffer result(nullptr, &std::free);
  for (auto _ : state) {
    state.PauseTiming();
    result.reset();
    Buffer input(static_cast<uint8_t*>(std::malloc(payload.size())), &std::free);
    std::memcpy(input.get(), payload.data(), payload.size());
    state.ResumeTiming();
    z_stream z{};
    inflateInit(&z);
    result.reset(static_cast<uint8_t*>(std::malloc(plainSize)));
    z.next_in = input.get() + 8;
    z.avail_in = static_cast<uInt>(payload.size() - 8);
    z.next_out = result.get();
    z.avail_out = static_cast<uInt>(plainSize);
    if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
    inflateEnd(&z);
    input.reset();
    benchmark::DoNotOptimize(result.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(plainSize));
}

}  // namespace

BENCHMARK(BM_CompressStream)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawDeflate)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecompressStream)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawInflate)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
