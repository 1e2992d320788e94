#include "RequestHandler.h"

#include <algorithm>
#include <cstring>

#include "PipelinedCompressor.h"
#include "common/PayloadCodec.h"
#include "data/RowsetXml.h"
#include "remote/UntBaseProctol.h"

namespace server {

std::string ErrorReply(const std::string& utf8Message, TWireCodePage codePage) {
  std::string wire;
  try {
    wire = ToWireText(utf8Message, codePage);
  } catch (const EConvertError&) {
    wire = utf8Message;  // better the message in UTF-8 than no message
  }
  return EncodeInt(proto::kStatusError) + EncodeInt(static_cast<int32_t>(wire.size())) + wire;
}

namespace {

// From this size of rows on, the document is deflated piece by piece beside the writer; below
// it, it is written whole and deflated in line, which costs less for a few rows.
constexpr size_t kPipelineFrom = size_t{4} << 20;

TOutcome Query(const std::string& sql, TSqlBackend& backend, const THandlerOptions& options) {
  const auto recordset = backend.Query(sql);
  // The reply is built in one buffer: status and length, then the payload, compressed piece by
  // piece as the document is written, so the whole document never sits in memory.
  TMemoryStream reply;
  reply.Reserve(static_cast<int64_t>(recordset->BytesStored() / 4) + (1 << 16));
  reply.SetSizeForOverwrite(8);
  reply.SetPosition(8);
  if (recordset->BytesStored() >= kPipelineFrom) {
    TPipelinedCompressor compressor(reply, options.CompressionLevel);
    WriteRowsetXml(*recordset, [&](std::string& piece) { compressor.Write(piece); });
    compressor.Finish();
  } else {
    std::string xml;
    WriteRowsetXml(*recordset, xml);
    TPayloadCompressor compressor(reply, options.CompressionLevel);
    compressor.Write(xml.data(), static_cast<int64_t>(xml.size()));
    compressor.Finish();
  }
  const int64_t payloadSize = reply.Size() - 8;
  if (payloadSize > proto::kMaxPayloadBytes) {
    throw Exception("The result is " + std::to_string(payloadSize) +
                    " bytes compressed, more than a reply can carry (" + std::to_string(proto::kMaxPayloadBytes) + ")");
  }
  const int32_t status = payloadSize > options.FileRouteThreshold ? 2 : proto::kStatusInMemory;
  const std::string header = EncodeInt(status) + EncodeInt(static_cast<int32_t>(payloadSize));
  std::memcpy(reply.Memory(), header.data(), header.size());

  TOutcome outcome;
  outcome.Rows = recordset->RowCount();
  outcome.Payload = payloadSize;
  outcome.Reply.assign(reinterpret_cast<const char*>(reply.Memory()), static_cast<size_t>(reply.Size()));
  return outcome;
}

}  // namespace

TOutcome HandleRequest(const TRequest& request, TSqlBackend& backend, const THandlerOptions& options) {
  const bool replies = request.Command == proto::CmdExecSQL || request.Command == proto::CmdOpenSQL;
  TOutcome outcome;
  try {
    const std::string sql = FromWireText(request.Text, options.CodePage);
    switch (request.Command) {
      case proto::CmdExecSQL:
        outcome.Rows = backend.Execute(sql);
        outcome.Reply = EncodeInt(static_cast<int32_t>(std::min<int64_t>(outcome.Rows, INT32_MAX)));
        break;
      case proto::CmdOpenSQL: outcome = Query(sql, backend, options); break;
      case proto::CmdBlobUpdate: {
        TMemoryStream blob;
        blob.WriteBuffer(request.Payload.data(), static_cast<int64_t>(request.Payload.size()));
        DecompressStream(blob);
        outcome.Payload = static_cast<int64_t>(request.Payload.size());
        backend.ExecuteWithBlob(
            sql, proto::kBlobParameter,
            std::string_view(reinterpret_cast<const char*>(blob.Memory()), static_cast<size_t>(blob.Size())));
        outcome.Rows = 1;
        break;
      }
      default: break;  // a heartbeat
    }
  } catch (const Exception& e) {
    outcome.Error = e.Message;
    outcome.Reply = replies ? ErrorReply(e.Message, options.CodePage) : std::string();
  }
  return outcome;
}

}  // namespace server
