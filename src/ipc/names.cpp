#include "ipc/names.h"

#include <cstddef>
#include <initializer_list>

#include "win/number_text.h"
#include "win/scrambled.h"

namespace ipc {

namespace {

// Unscrambled once into storage without a destructor: a hand-over given up at its bound may
// still build names on its thread while the runtime destroys its statics at exit.
constexpr size_t kLongestText = 24;
char plainTexts[9][kLongestText];
size_t plainLengths[9];

template <size_t N>
bool Unscramble(FixedText which, const win::Hidden<N>& hidden) {
  static_assert(N - 1 <= kLongestText, "a fixed text longer than its storage");
  const auto index = static_cast<size_t>(which);
  win::RevealInto(hidden, plainTexts[index]);
  plainLengths[index] = N - 1;
  return true;
}

// The one place where the nine values are chosen.
constexpr auto kPortPrefix = win::Hide("\\RPC Control\\TW6Ipc_");
constexpr auto kQueueTag = win::Hide("_TW6IpcQueue");
constexpr auto kMutexTag = win::Hide("_Mutex");
constexpr auto kMapTag = win::Hide("_Map");
constexpr auto kCounterTag = win::Hide("_Counter");
constexpr auto kAnswerTag = win::Hide("_TW6IpcAnswer");
constexpr auto kEventTag = win::Hide("_Event");
constexpr auto kNamespacePrefix = win::Hide("Global\\");
constexpr auto kSessionPrefix = win::Hide("Session\\");

bool UnscrambleAll() {
  return Unscramble(FixedText::PortPrefix, kPortPrefix) &&
         Unscramble(FixedText::QueueTag, kQueueTag) && Unscramble(FixedText::MutexTag, kMutexTag) &&
         Unscramble(FixedText::MapTag, kMapTag) && Unscramble(FixedText::CounterTag, kCounterTag) &&
         Unscramble(FixedText::AnswerTag, kAnswerTag) &&
         Unscramble(FixedText::EventTag, kEventTag) &&
         Unscramble(FixedText::NamespacePrefix, kNamespacePrefix) &&
         Unscramble(FixedText::SessionPrefix, kSessionPrefix);
}

std::string Join(std::initializer_list<std::string_view> parts) {
  size_t length = 0;
  for (std::string_view part : parts) length += part.size();
  std::string out;
  out.reserve(length);
  for (std::string_view part : parts) out.append(part);
  return out;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string_view Text(FixedText which) {
  static const bool unscrambled = UnscrambleAll();
  (void)unscrambled;
  const auto index = static_cast<size_t>(which);
  return std::string_view(plainTexts[index], plainLengths[index]);
}

std::string HexProcessId(uint32_t processId) { return "$" + win::HexText(processId); }

std::string PortName(std::string_view channel) {
  return Join({Text(FixedText::PortPrefix), channel});
}

std::string QueueMutexName(std::string_view channel) {
  return Join({channel, Text(FixedText::QueueTag), Text(FixedText::MutexTag)});
}

std::string QueueMapName(std::string_view channel) {
  return Join({channel, Text(FixedText::QueueTag), Text(FixedText::MapTag)});
}

std::string CounterMapName(uint32_t processId) {
  return Join({Text(FixedText::QueueTag), Text(FixedText::CounterTag), HexProcessId(processId)});
}

std::string AnswerBasePrefix(std::string_view channel) {
  return Join({channel, Text(FixedText::AnswerTag)});
}

std::string AnswerBaseName(std::string_view channel, uint32_t counter) {
  return AnswerBasePrefix(channel) + win::NumberText(counter);
}

std::string AnswerBaseName(std::string_view channel, uint32_t counter, uint32_t processId) {
  return AnswerBaseName(channel, counter) + HexProcessId(processId);
}

std::string AnswerMapName(std::string_view baseName) {
  return Join({baseName, Text(FixedText::MapTag)});
}

std::string AnswerEventName(std::string_view baseName, int which) {
  return Join({baseName, Text(FixedText::EventTag), which == 1 ? "1" : "2"});
}

std::string WithNamespacePrefix(std::string_view name) {
  return Join({Text(FixedText::NamespacePrefix), name});
}

std::string InSession(uint32_t sessionId, std::string_view name) {
  return Join({Text(FixedText::SessionPrefix), win::NumberText(sessionId), "\\", name});
}

std::wstring WidenBytes(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (char c : text) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}

std::string NarrowUserName(std::wstring_view userName) {
  std::string out;
  out.reserve(userName.size());
  for (size_t i = 0; i < userName.size(); ++i) {
    const uint32_t unit = static_cast<uint32_t>(userName[i]);
    if (unit > 0xFFFF) {  // a 32-bit wchar_t (native builds) already holds the code point
      AppendUtf8(out, unit <= 0x10FFFF ? unit : 0xFFFD);
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < userName.size() &&
               static_cast<uint32_t>(userName[i + 1]) >= 0xDC00 &&
               static_cast<uint32_t>(userName[i + 1]) <= 0xDFFF) {
      const uint32_t low = static_cast<uint32_t>(userName[++i]);
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace ipc
