// Any bytes: the wire records read back what was written, and the names a guard must rebuild
// come out the same for the same input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ipc/names.h"
#include "ipc/records.h"

namespace {

bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    }
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= ipc::kFrameHeaderSize) {
    const ipc::FrameHeader header = ipc::FrameHeader::Parse(data);
    const auto packed = header.Pack();
    for (size_t i = 0; i < packed.size(); ++i) {
      if (packed[i] != data[i]) abort();
    }
  }
  ipc::ConnectionInfo info;
  const uint32_t length = static_cast<uint32_t>(size);
  if (info.setInlineData(data, length) != (length <= ipc::kInlineLimit)) abort();
  info.setMessageLen(length);
  info.setCounter(length * 7u);
  if (info.messageLen() != length || info.counter() != length * 7u) abort();
  if (length > ipc::kInlineLimit) {
    for (size_t i = 0; i < ipc::kInlineLimit; ++i) {
      if (info.data()[i] != 0) abort();
    }
  }

  std::wstring user;
  for (size_t i = 0; i + 1 < size; i += 2) user += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  const std::string narrow = ipc::NarrowUserName(user);
  if (!ValidUtf8(narrow) || narrow != ipc::NarrowUserName(user)) abort();
  const std::string channel = "TW6_GuardChannel_" + narrow;
  if (ipc::WidenBytes(channel).size() != channel.size()) abort();
  if (ipc::AnswerBaseName(channel, length) == ipc::AnswerBaseName(channel, length + 1)) abort();
  return 0;
}
