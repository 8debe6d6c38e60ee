#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "ipc/IPCClient.h"
#include "ipc/names.h"

namespace {

// The guard's authors build the same names from docs/guard-channel.md: these are that contract.
TEST(ChannelNamesTest, ObjectNamesAreTheDocumentedOnes) {
  const std::string channel = "TW6_GuardChannel_Anna";
  EXPECT_EQ(ipc::PortName(channel), "\\RPC Control\\TW6Ipc_TW6_GuardChannel_Anna");
  EXPECT_EQ(ipc::QueueMutexName(channel), "TW6_GuardChannel_Anna_TW6IpcQueue_Mutex");
  EXPECT_EQ(ipc::QueueMapName(channel), "TW6_GuardChannel_Anna_TW6IpcQueue_Map");
  EXPECT_EQ(ipc::CounterMapName(4660), "_TW6IpcQueue_Counter$1234");
  EXPECT_EQ(ipc::AnswerBaseName(channel, 42), "TW6_GuardChannel_Anna_TW6IpcAnswer42");
  EXPECT_EQ(ipc::AnswerBaseName(channel, 0, 47), "TW6_GuardChannel_Anna_TW6IpcAnswer0$2f");
  EXPECT_EQ(ipc::AnswerMapName("B"), "B_Map");
  EXPECT_EQ(ipc::AnswerEventName("B", 1), "B_Event1");
  EXPECT_EQ(ipc::AnswerEventName("B", 2), "B_Event2");
  EXPECT_EQ(ipc::WithNamespacePrefix("B_Map"), "Global\\B_Map");
  EXPECT_EQ(ipc::InSession(3, "B_Map"), "Session\\3\\B_Map");
}

TEST(ChannelNamesTest, ProcessIdsAreLowerCaseHexWithoutLeadingZeros) {
  EXPECT_EQ(ipc::HexProcessId(0), "$0");
  EXPECT_EQ(ipc::HexProcessId(0xFFFFFFFF), "$ffffffff");
}

TEST(ChannelNamesTest, WideningKeepsEachByteAsOneUnit) {
  const std::string bytes = "A\x7f\x80\xc3\xb6\xff";
  EXPECT_EQ(ipc::WidenBytes(bytes), std::wstring(L"A\x7f\x80\xc3\xb6\xff"));
  EXPECT_EQ(ipc::WidenBytes(std::string("a\0b", 3)).size(), 3u);
}

struct Narrowing {
  const char* label;
  std::wstring user;
  std::string channel;
};

// Names the case in test listings (gtest would print the raw bytes).
void PrintTo(const Narrowing& c, std::ostream* os) { *os << c.label; }

class GuardChannelNameTest : public ::testing::TestWithParam<Narrowing> {};

TEST_P(GuardChannelNameTest, IsThePrefixAndTheUserNameInUtf8) {
  EXPECT_EQ(IPCClient::GuardChannelName(GetParam().user), GetParam().channel);
}

INSTANTIATE_TEST_SUITE_P(
    Users, GuardChannelNameTest,
    ::testing::Values(
        Narrowing{"Ascii", L"Anna", "TW6_GuardChannel_Anna"},
        Narrowing{"Empty", L"", "TW6_GuardChannel_"},
        Narrowing{"Latin", L"J\u00f6rg", "TW6_GuardChannel_J\xc3\xb6rg"},
        Narrowing{"Greek", L"\u03a9", "TW6_GuardChannel_\xce\xa9"},
        Narrowing{"Cjk", L"\u65e5\u672c", "TW6_GuardChannel_\xe6\x97\xa5\xe6\x9c\xac"},
        Narrowing{"SurrogatePair", L"\xd83d\xde00", "TW6_GuardChannel_\xf0\x9f\x98\x80"},
        Narrowing{"LoneHighSurrogate",
                  L"a\xd83d"
                  L"b",
                  "TW6_GuardChannel_a\xef\xbf\xbd"
                  "b"},
        Narrowing{"LoneLowSurrogate", L"\xde00", "TW6_GuardChannel_\xef\xbf\xbd"}),
    [](const ::testing::TestParamInfo<Narrowing>& info) { return info.param.label; });

}  // namespace
