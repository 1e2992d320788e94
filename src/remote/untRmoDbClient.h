// TRmoClient: the connection to the database service. It opens the link with the handshake,
// keeps it alive with a heartbeat every 3000 ms, reconnects in the background (one TConnthread
// at a time, counted by the timer's Tag), and runs statements (ExecSQL) and queries (OpenSQL)
// whose results it loads into datasets, hooking them so that their edits go back as SQL.
//
// Threads: requests, the timer and the write-back handlers run on the owner's (GUI) thread; a
// reconnect runs ConnectTo on its own thread. RequestLock serialises a request, a heartbeat
// and a reconnect's handshake, so that no reply is ever read by the wrong party. Texts are
// UTF-8 here and in the wire code page on the wire. Errors are exceptions: the server's
// message as an Exception, or an empty message when the link was lost.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "common/WireCodePage.h"
#include "data/DataSet.h"
#include "platform/Timer.h"
#include "transport/UntsocketDxBaseClient.h"

class TRmoClient;

// The text of the last OpenSQL that loaded a dataset.
struct TSelectitems {
  std::string SelectText;
};

// One reconnect attempt on its own thread; joined by the client.
class TConnthread {
 public:
  explicit TConnthread(TRmoClient* client);
  ~TConnthread();
  bool Finished() const { return FFinished; }

  TRmoClient* const Client;

 private:
  void Execute();

  std::atomic<bool> FFinished{false};
  std::thread FThread;
};

class TRmoClient : public TSocketClient {
 public:
  static constexpr uint32_t kTimerInterval = 3000;

  // Opens the link if needed and runs the handshake; true when the link is usable. Never raises.
  bool ConnectTo(const std::string& host, int32_t port);
  // ConnectTo for a dotted IPv4 address only; port -1 keeps the current Port.
  bool ConnectAddress(const std::string& address, int32_t port);
  void CloseSession();
  void KeepAlive();
  // Runs a statement; answers the server's status or raises its error.
  int32_t ExecSQL(const std::string& sql);
  // Runs a query and loads the result into the dataset, which is hooked for write-back.
  bool OpenSQL(const std::string& sql, TCustomADODataSet& dataSet);
  void HookDataset(TCustomADODataSet& dataSet);
  void TimerTick(TTimer& timer);
  // Loads plain bytes into the dataset through InnerQuery; false for an empty stream.
  bool LoadDataset(TCustomADODataSet& dataSet, TMemoryStream& stream);
  // The payload of a result reply, decompressed into the stream or saved to a file.
  void ReceiveStream(TMemoryStream& stream);
  int64_t ReceiveToFile(const std::string& fileName);
  // The compressed payload as it arrives: its length, checked, then its bytes.
  void ReceivePayload(TMemoryStream& stream);

  const TSelectitems* SelectItems(const TDataSet& dataSet) const;
  // Where OpenSQL's file route puts results; the program's folder unless set.
  std::string ResultFolder;

  std::unordered_map<const TDataSet*, TSelectitems> Registry;
  std::string InsertColumns;
  std::string InsertValues;
  int32_t OpenCount = 0;
  std::unique_ptr<TADOQuery> KeyQuery;
  std::atomic<bool> Closed{false};
  std::unique_ptr<TTimer> Timer;
  std::atomic<bool> Ready{false};
  TWireCodePage CodePage = TWireCodePage::GBK;
  std::recursive_mutex RequestLock;

 protected:
  TRmoClient() = default;
  void DoCreate() override;
  void DoDestroy() override;
  friend class TSocketClient;

 private:
  friend class TConnthread;
  // Reconnects to the current Host and Port (the reconnect thread's attempt).
  bool Reconnect();
  bool ConnectLocked(const std::string& host, int32_t port);
  // A request frame with a text: L, L, command, n, text.
  void SendTextFrame(int32_t command, const std::string& wireText, int32_t extraLength);
  // The status of a reply; raises the server's error for -1.
  int32_t ReadStatus();
  [[noreturn]] void LinkLost();
  void PostHandler(TDataSet& dataSet);
  void DeleteHandler(TDataSet& dataSet);
  void SendBlobUpdate(const std::string& table, const TField& blob, const TDataSet& dataSet);
  std::string TableOf(const TDataSet& dataSet) const;

  std::unique_ptr<TConnthread> FReconnect;
};
