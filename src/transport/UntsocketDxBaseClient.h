// TSocketClient: a client link with the framing primitives of the database protocol (a length
// sent twice, network-order integers, length-prefixed streams) and two hooks for the class
// that gives the link its meaning.
//
// Create instances with TSocketClient::Create<T>(...): it runs DoCreate once the object is
// whole, and the returned pointer's deleter runs DoDestroy and Disconnect before the object
// is destroyed, as the two hooks need the most derived object alive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/Streams.h"
#include "transport/untAsioClient.h"

class TSocketClient : public TAsioClient {
 public:
  struct TDeleter {
    void operator()(TSocketClient* client) const;
  };
  template <typename T>
  using Ptr = std::unique_ptr<T, TDeleter>;

  template <typename T, typename... Args>
  static Ptr<T> Create(Args&&... args) {
    Ptr<T> client(new T(std::forward<Args>(args)...));
    client->DoCreate();
    return client;
  }

  ~TSocketClient() override;

  // Remembers host and port, then connects.
  bool Open(const std::string& host, uint16_t port);
  // The frame length twice, each in network order.
  void SendFrameHeader(int32_t length);
  int32_t SendIntBE(int32_t value);
  // The stream's size in network order, then all its bytes from the first, whatever its
  // position; answers the result of the byte send.
  int32_t SendStream(TMemoryStream& stream);

  std::string Host;
  uint16_t Port = 0;

 protected:
  TSocketClient() = default;
  virtual void DoCreate() = 0;
  virtual void DoDestroy() = 0;
};
