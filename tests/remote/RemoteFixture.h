// A connection to a scripted service, and result documents for it to send.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QtPump.h"
#include "ScriptedPeer.h"
#include "data/RowsetXml.h"
#include "remote/UntBaseProctol.h"
#include "remote/untRmoDbClient.h"

namespace test {

// An XML rowset of the given columns and rows (values as cell values).
inline std::string ResultXml(const std::vector<TColumnDef>& columns, const std::vector<std::vector<TCellValue>>& rows) {
  TRecordset recordset(columns);
  for (size_t i = 0; i < rows.size(); ++i) recordset.InsertRow(static_cast<int32_t>(i), rows[i]);
  std::string xml;
  WriteRowsetXml(recordset, xml);
  return xml;
}

class RemoteTest : public ::testing::Test {
 protected:
  void Connect() { ASSERT_TRUE(Client->ConnectTo("127.0.0.1", Peer.Port())); }

  TScriptedPeer Peer;
  TSocketClient::Ptr<TRmoClient> Client = TSocketClient::Create<TRmoClient>();
};

}  // namespace test
