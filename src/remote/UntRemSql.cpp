#include "remote/UntRemSql.h"

#include <netdb.h>

#include <arpa/inet.h>
#include <atomic>

#include "common/untFunctions.h"

TRmoHelper* RmoHelper = nullptr;

namespace {

bool SystemResolve(const std::string& name, std::string& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&ipv4->sin_addr);
  address = Format("%d.%d.%d.%d", {bytes[0], bytes[1], bytes[2], bytes[3]});
  ::freeaddrinfo(found);
  return true;
}

std::atomic<THostResolver> gResolver{nullptr};

}  // namespace

void SetHostResolver(THostResolver resolver) { gResolver = resolver; }

bool ResolveHost(const std::string& name, std::string& address) {
  if (name.empty() || name.size() > 255) return false;
  const THostResolver resolver = gResolver.load();
  return resolver != nullptr ? resolver(name, address) : SystemResolve(name, address);
}

TRmoHelper::TRmoHelper(uint16_t port) : Client(TSocketClient::Create<TRmoClient>()) {
  Client->Host = "127.0.0.1";
  Client->Port = port;
}

bool TRmoHelper::ConnectServer(std::string host, int32_t port) {
  if (!IsIPv4Address(host)) ResolveHost(host, host);
  return Client->ConnectAddress(host, port);
}

void TRmoHelper::OpenQuery(TCustomADODataSet& dataSet, const std::string& text) { Client->OpenSQL(text, dataSet); }

TCustomADODataSet& TRmoHelper::OpenFormat(TCustomADODataSet& dataSet, const std::string& format,
                                          std::initializer_list<TVarRec> arguments) {
  OpenQuery(dataSet, Format(format, arguments));
  return dataSet;
}

TCustomADODataSet& TRmoHelper::OpenTable(const std::string& name, TCustomADODataSet& dataSet) {
  OpenQuery(dataSet, Format("Select * from %s ", {name}));
  return dataSet;
}
