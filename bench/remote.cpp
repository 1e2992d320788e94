// OpenSQL of a 1 000 000-row ReportType result from a scripted service into a dataset, end to
// end, against decompressing and loading the same payload alone; and the round trip of a small
// ExecSQL.
#include <benchmark/benchmark.h>

#include <string>

#include "ResultXml.h"
#include "ScriptedPeer.h"
#include "common/PayloadCodec.h"
#include "data/DataSet.h"
#include "remote/UntBaseProctol.h"
#include "remote/untRmoDbClient.h"

namespace {

const std::string& Reply() {
  static const std::string reply =
      test::TScriptedPeer::Result(proto::kStatusInMemory, bench::ReportTypeXmlRows(1000000));
  return reply;
}

void BM_OpenSQLEndToEnd(benchmark::State& state) {
  Reply();  // made (and compressed) before the timing starts
  test::TScriptedPeer peer;
  peer.SetScript([](const test::TFrame&, bool&) { return Reply(); });
  auto client = TSocketClient::Create<TRmoClient>();
  if (!client->ConnectTo("127.0.0.1", peer.Port())) state.SkipWithError("no connection");
  TADOQuery query;
  for (auto _ : state) {
    client->OpenSQL("Select * from ReportType ", query);
    if (query.RecordCount() != 1000000) state.SkipWithError("wrong row count");
  }
  state.counters["payload_MB"] = static_cast<double>(Reply().size()) / 1e6;
}

void BM_DecompressAndLoadOnly(benchmark::State& state) {
  const std::string payload = Reply().substr(8);  // after the status and the length
  TMemoryStream stream;
  TADOQuery query;
  for (auto _ : state) {
    state.PauseTiming();
    stream.Clear();
    stream.WriteBuffer(payload.data(), static_cast<int64_t>(payload.size()));
    state.ResumeTiming();
    DecompressStream(stream);
    query.LoadFromXml(
        std::string_view(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size())));
  }
}

void BM_ExecSQLRoundTrip(benchmark::State& state) {
  test::TScriptedPeer peer;
  peer.SetScript([](const test::TFrame&, bool&) { return test::TScriptedPeer::Int(1); });
  auto client = TSocketClient::Create<TRmoClient>();
  if (!client->ConnectTo("127.0.0.1", peer.Port())) state.SkipWithError("no connection");
  for (auto _ : state) client->ExecSQL("update t set a=1 where ID=5");
}

}  // namespace

BENCHMARK(BM_OpenSQLEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_DecompressAndLoadOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ExecSQLRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
