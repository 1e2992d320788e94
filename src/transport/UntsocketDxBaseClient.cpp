#include "transport/UntsocketDxBaseClient.h"

void TSocketClient::TDeleter::operator()(TSocketClient* client) const {
  client->DoDestroy();
  client->Disconnect();
  delete client;
}

// The deleter has closed the link already; this covers objects destroyed some other way.
TSocketClient::~TSocketClient() { Disconnect(); }

bool TSocketClient::Open(const std::string& host, uint16_t port) {
  Host = host;
  Port = port;
  return Connect(host, port);
}

void TSocketClient::SendFrameHeader(int32_t length) {
  SendInt(length, true);
  SendInt(length, true);
}

int32_t TSocketClient::SendIntBE(int32_t value) { return SendInt(value, true); }

int32_t TSocketClient::SendStream(TMemoryStream& stream) {
  const auto size = static_cast<int32_t>(stream.Size());
  SendInt(size, true);
  return SendBuffer(stream.Memory(), size);
}
