#include "ipc/names.h"

#include <array>
#include <cstddef>
#include <initializer_list>

namespace ipc {

namespace {

// The texts are scrambled at compile time, so only the scrambled bytes reach the image.
constexpr uint8_t KeyAt(size_t text, size_t index) {
  return static_cast<uint8_t>(0x5C + 0x3B * text + 0x1F * index + ((index * index) >> 1));
}

template <size_t N>
struct Scrambled {
  std::array<uint8_t, N - 1> bytes{};
  size_t text = 0;
};

template <size_t N>
constexpr Scrambled<N> Scramble(size_t text, const char (&plain)[N]) {
  Scrambled<N> out;
  out.text = text;
  for (size_t i = 0; i + 1 < N; ++i) {
    out.bytes[i] = static_cast<uint8_t>(static_cast<uint8_t>(plain[i]) ^ KeyAt(text, i));
  }
  return out;
}

// Unscrambled once into storage without a destructor: a hand-over given up at its bound may
// still build names on its thread while the runtime destroys its statics at exit.
constexpr size_t kLongestText = 24;
char plainTexts[9][kLongestText];
size_t plainLengths[9];

template <size_t N>
bool Unscramble(const Scrambled<N>& s) {
  static_assert(N - 1 <= kLongestText, "a fixed text longer than its storage");
  for (size_t i = 0; i < s.bytes.size(); ++i) {
    plainTexts[s.text][i] = static_cast<char>(s.bytes[i] ^ KeyAt(s.text, i));
  }
  plainLengths[s.text] = s.bytes.size();
  return true;
}

// The one place where the nine values are chosen.
constexpr auto kPortPrefix = Scramble(0, "\\RPC Control\\TW6Ipc_");
constexpr auto kQueueTag = Scramble(1, "_TW6IpcQueue");
constexpr auto kMutexTag = Scramble(2, "_Mutex");
constexpr auto kMapTag = Scramble(3, "_Map");
constexpr auto kCounterTag = Scramble(4, "_Counter");
constexpr auto kAnswerTag = Scramble(5, "_TW6IpcAnswer");
constexpr auto kEventTag = Scramble(6, "_Event");
constexpr auto kNamespacePrefix = Scramble(7, "Global\\");
constexpr auto kSessionPrefix = Scramble(8, "Session\\");

bool UnscrambleAll() {
  return Unscramble(kPortPrefix) && Unscramble(kQueueTag) && Unscramble(kMutexTag) &&
         Unscramble(kMapTag) && Unscramble(kCounterTag) && Unscramble(kAnswerTag) &&
         Unscramble(kEventTag) && Unscramble(kNamespacePrefix) && Unscramble(kSessionPrefix);
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

std::string Decimal(uint32_t value) { return std::to_string(value); }

std::string HexProcessId(uint32_t processId) {
  static const char kDigits[] = "0123456789abcdef";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[processId & 0xF]);
    processId >>= 4;
  } while (processId != 0);
  return "$" + digits;
}

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
  return AnswerBasePrefix(channel) + Decimal(counter);
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
  return Join({Text(FixedText::SessionPrefix), Decimal(sessionId), "\\", name});
}

std::wstring Widen(std::string_view text) {
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
