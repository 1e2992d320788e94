#include "RequestHandler.h"

#include <algorithm>

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

TOutcome Query(const std::string& sql, TSqlBackend& backend, const THandlerOptions& options) {
  const auto recordset = backend.Query(sql);
  std::string xml;
  WriteRowsetXml(*recordset, xml);
  TMemoryStream payload;
  CompressBytes(xml.data(), static_cast<int64_t>(xml.size()), payload, options.CompressionLevel);
  xml = std::string();
  const int32_t status = payload.Size() > options.FileRouteThreshold ? 2 : proto::kStatusInMemory;
  TOutcome outcome;
  outcome.Rows = recordset->RowCount();
  outcome.Payload = payload.Size();
  outcome.Reply.reserve(static_cast<size_t>(payload.Size()) + 8);
  outcome.Reply = EncodeInt(status) + EncodeInt(static_cast<int32_t>(payload.Size()));
  outcome.Reply.append(reinterpret_cast<const char*>(payload.Memory()), static_cast<size_t>(payload.Size()));
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
