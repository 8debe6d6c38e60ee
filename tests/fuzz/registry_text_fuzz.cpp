// Any value data of any type: the text is read within the data only (the copy is sized exactly,
// so AddressSanitizer sees an over-read), has no NUL, and numbers read back as their bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "system/registry_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::uint32_t type = data[0] % 13;  // REG_NONE .. REG_QWORD and the types between
  const std::vector<std::uint8_t> bytes(data + 1, data + size);
  const std::uint8_t* value = bytes.empty() ? nullptr : bytes.data();
  const std::u16string text = REG::RegistryTextFromData(type, value, bytes.size());

  if (text.find(u'\0') != std::u16string::npos) abort();
  if (bytes.empty() && !text.empty()) abort();
  switch (type) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 7:
      if (text.size() > bytes.size() / 2) abort();
      for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != (bytes[2 * i] | bytes[2 * i + 1] << 8)) abort();
      }
      break;
    case 4:
    case 11: {
      const size_t width = type == 4 ? 4 : 8;
      if (bytes.empty() || bytes.size() > width) {
        if (!text.empty()) abort();
        break;
      }
      std::uint64_t expected = 0;
      for (size_t i = bytes.size(); i-- > 0;) expected = expected << 8 | bytes[i];
      const bool negative = !text.empty() && text[0] == u'-';
      std::uint64_t magnitude = 0;
      for (size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') abort();
        magnitude = magnitude * 10 + (text[i] - u'0');
      }
      if ((negative ? ~magnitude + 1 : magnitude) != expected) abort();
      if (negative != (type == 11 && (expected >> 63) != 0)) abort();
      break;
    }
    default:
      if (!text.empty()) abort();
  }
  return 0;
}
