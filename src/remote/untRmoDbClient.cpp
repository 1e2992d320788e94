#include "remote/untRmoDbClient.h"

#include <cstdio>
#include <limits>

#include "common/untFunctions.h"
#include "data/RowsetXml.h"
#include "platform/Exceptions.h"
#include "remote/UntBaseProctol.h"
#include "remote/WriteBackSql.h"

namespace {

// Shared by every connection, on the GUI thread, for the life of the process.
TMemoryStream& ResultStream() {
  static TMemoryStream stream;
  return stream;
}

// The query every received recordset is opened into; callers' datasets are clones of it.
TADOQuery& InnerQuery() {
  static TADOQuery query;
  return query;
}

}  // namespace

// ---- TConnthread ----

TConnthread::TConnthread(TRmoClient* client) : Client(client), FThread([this] { Execute(); }) {}

TConnthread::~TConnthread() {
  if (FThread.joinable()) FThread.join();
}

void TConnthread::Execute() {
  try {
    if (Client->Reconnect()) Client->Ready = true;
  } catch (...) {
  }
  Client->Timer->Tag = 0;
  FFinished = true;
}

// ---- TRmoClient: life ----

void TRmoClient::DoCreate() {
  Timer = std::make_unique<TTimer>();
  Timer->OnTimer = [this](TTimer& timer) { TimerTick(timer); };
  Timer->SetInterval(kTimerInterval);
  Timer->SetEnabled(false);
  Timer->Tag = 0;
  Ready = false;
  Closed = false;
  Registry.clear();
}

void TRmoClient::DoDestroy() {
  // A reconnect still running would use this object: it ends before anything is freed.
  FReconnect.reset();
  KeyQuery.reset();
  Timer.reset();
  Registry.clear();
}

// ---- connecting ----

bool TRmoClient::ConnectTo(const std::string& host, int32_t port) {
  std::lock_guard lock(RequestLock);
  return ConnectLocked(host, port);
}

bool TRmoClient::Reconnect() {
  std::lock_guard lock(RequestLock);
  return ConnectLocked(Host, Port);
}

bool TRmoClient::ConnectLocked(const std::string& host, int32_t port) {
  const auto port16 = static_cast<uint16_t>(port);
  if (IsConnected() && host == Host && port16 == Port) return true;
  if (IsConnected()) CloseSession();
  Host = host;
  Port = port16;
  Closed = false;
  bool opened = false;
  try {
    opened = Open(Host, Port);
  } catch (...) {
    Closed = false;
  }
  if (!opened) return false;
  SendIntBE(proto::kHandshakeHello);
  SendInt(proto::kHandshakeValue, true);
  if (ReadInt(true) != proto::kHandshakeAccepted) {
    Ready = false;
    CloseSession();
    return false;
  }
  Ready = true;
  Closed = false;
  Timer->SetEnabled(true);
  return true;
}

bool TRmoClient::ConnectAddress(const std::string& address, int32_t port) {
  if (!IsIPv4Address(address)) return false;
  return ConnectTo(address, IfThenInt(port == -1, Port, port));
}

void TRmoClient::CloseSession() {
  std::lock_guard lock(RequestLock);
  if (IsConnected()) {
    try {
      Disconnect();
    } catch (...) {
    }
  }
  Closed = true;
}

void TRmoClient::KeepAlive() {
  std::lock_guard lock(RequestLock);
  try {
    if (IsConnected()) {
      SendFrameHeader(4);
      if (SendInt(proto::CmdKeepAlive, true) != 4 && !Closed) Ready = false;
    } else if (!Closed) {
      Ready = false;
    }
  } catch (...) {
    if (!Closed) Ready = false;
  }
}

void TRmoClient::TimerTick(TTimer& timer) {
  if (timer.Tag != 0) return;
  if ((IsConnected() && Ready) || Closed) {
    KeepAlive();
    return;
  }
  timer.Tag = 1;
  FReconnect.reset();  // the previous attempt has ended: Tag was 0
  FReconnect = std::make_unique<TConnthread>(this);
}

// ---- requests ----

void TRmoClient::LinkLost() { throw Exception(""); }

void TRmoClient::SendTextFrame(int32_t command, const std::string& wireText, int32_t extraLength) {
  const auto n = static_cast<int64_t>(wireText.size());
  if (n + 8 + extraLength > std::numeric_limits<int32_t>::max())
    throw Exception("The statement is too long to send (" + std::to_string(n) + " bytes)");
  SendFrameHeader(static_cast<int32_t>(n + 8 + extraLength));
  SendInt(command, true);
  SendInt(static_cast<int32_t>(n), true);
  SendString(wireText);
}

int32_t TRmoClient::ReadStatus() {
  const int32_t status = ReadInt(true);
  if (status != proto::kStatusError) return status;
  const int32_t length = ReadInt(true);
  std::string message;
  ReadString(length, message);
  try {
    message = FromWireText(message, CodePage);
  } catch (const EConvertError&) {
    // A message the code page cannot decode is shown as it came rather than lost.
  }
  throw Exception(message);
}

int32_t TRmoClient::ExecSQL(const std::string& sql) {
  const std::string wire = ToWireText(sql, CodePage);
  std::lock_guard lock(RequestLock);
  SendTextFrame(proto::CmdExecSQL, wire, 0);
  return ReadStatus();
}

const TSelectitems* TRmoClient::SelectItems(const TDataSet& dataSet) const {
  auto found = Registry.find(&dataSet);
  return found == Registry.end() ? nullptr : &found->second;
}

void TRmoClient::HookDataset(TCustomADODataSet& dataSet) {
  dataSet.BeforePost = [this](TDataSet& d) { PostHandler(d); };
  dataSet.BeforeDelete = [this](TDataSet& d) { DeleteHandler(d); };
}

bool TRmoClient::OpenSQL(const std::string& sql, TCustomADODataSet& dataSet) {
  ++OpenCount;
  const std::string wire = ToWireText(sql, CodePage);
  std::lock_guard lock(RequestLock);
  SendTextFrame(proto::CmdOpenSQL, wire, 0);
  const int32_t status = ReadStatus();
  Registry[&dataSet].SelectText = sql;
  HookDataset(dataSet);
  if (status == proto::kStatusInMemory) {
    ReceiveStream(ResultStream());
    LoadDataset(dataSet, ResultStream());
    return true;
  }
  const std::string folder = ResultFolder.empty() ? AppFolder(true) : ResultFolder;
  const std::string fileName = folder + DateStamp() + TimeStamp() + std::to_string(OpenCount);
  ReceiveToFile(fileName);
  dataSet.LoadFromFile(fileName);  // a file that does not load stays behind for inspection
  std::remove(fileName.c_str());
  return true;
}

void TRmoClient::ReceiveStream(TMemoryStream& stream) {
  ReceivePayload(stream);
  DecompressStream(stream);
}

void TRmoClient::ReceivePayload(TMemoryStream& stream) {
  const int32_t length = ReadInt(true);
  if (length == -1 && !IsConnected()) LinkLost();
  if (length < 0 || length > proto::kMaxPayloadBytes) {
    // Whatever follows cannot be read in step with the protocol any more.
    Disconnect();
    throw Exception("The server announced a result of " + std::to_string(length) +
                    " bytes; the reply is out of step and the link was closed");
  }
  stream.SetSizeForOverwrite(length);
  if (ReadBytes(stream.Memory(), length) != length) LinkLost();
}

int64_t TRmoClient::ReceiveToFile(const std::string& fileName) {
  TMemoryStream payload;
  ReceivePayload(payload);
  // Inflated straight into the file: a large result never has to fit in memory twice.
  try {
    TFileStream file(fileName, fmCreate);
    DecompressStreamTo(payload, file);
    return file.Size();
  } catch (...) {
    std::remove(fileName.c_str());
    throw;
  }
}

bool TRmoClient::LoadDataset(TCustomADODataSet& dataSet, TMemoryStream& stream) {
  if (stream.Size() == 0) return false;
  TADOQuery& inner = InnerQuery();
  inner.Close();
  inner.DestroyFields();
  try {
    inner.LoadFromXml(
        std::string_view(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size())));
  } catch (const Exception&) {
    // The caller's dataset ends closed, and the request fails with the loader's message.
    dataSet.Close();
    throw;
  }
  stream.SetPosition(0);
  dataSet.Clone(inner, ltUnspecified);
  return true;
}

// ---- write-back ----

std::string TRmoClient::TableOf(const TDataSet& dataSet) const {
  const TSelectitems* items = SelectItems(dataSet);
  return writeback::FindTable(items ? items->SelectText : std::string());
}

void TRmoClient::DeleteHandler(TDataSet& dataSet) {
  const std::string table = TableOf(dataSet);
  ExecSQL(writeback::DeleteStatement(table, dataSet));
}

void TRmoClient::PostHandler(TDataSet& dataSet) {
  const std::string table = TableOf(dataSet);
  std::string statement;
  if (dataSet.State() == dsInsert) {
    TField& key = dataSet.Field(0);
    key.ReadOnly = false;
    if (!KeyQuery) KeyQuery = std::make_unique<TADOQuery>();
    OpenSQL(writeback::NewKeyQuery(table, dataSet), *KeyQuery);
    key.SetAsInteger(KeyQuery->FieldByName("myid").AsInteger() + 1);
    statement = writeback::InsertStatement(table, dataSet);
    const size_t split = statement.find(") values (");
    InsertColumns = statement.substr(0, split);
    InsertValues = statement.substr(split + 10, statement.size() - split - 11);
  } else {
    statement = writeback::UpdateStatement(table, dataSet);
  }
  // An edit of blob fields alone has no statement: its blob updates carry it.
  if (!statement.empty()) ExecSQL(statement);
  for (const TField* blob : writeback::BlobFields(dataSet)) SendBlobUpdate(table, *blob, dataSet);
}

void TRmoClient::SendBlobUpdate(const std::string& table, const TField& blob, const TDataSet& dataSet) {
  TMemoryStream content;
  blob.SaveToStream(content);
  CompressStream(content);
  const std::string wire = ToWireText(writeback::BlobUpdateStatement(table, blob, dataSet), CodePage);
  if (content.Size() > proto::kMaxPayloadBytes)
    throw Exception("The blob of field '" + blob.FieldName + "' is too large to send");
  std::lock_guard lock(RequestLock);
  SendTextFrame(proto::CmdBlobUpdate, wire, static_cast<int32_t>(content.Size()) + 4);
  SendStream(content);
}
