#include "ipc/names.h"

#include <array>
#include <cstddef>

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

template <size_t N>
std::string Unscramble(const Scrambled<N>& s) {
  std::string plain(s.bytes.size(), '\0');
  for (size_t i = 0; i < s.bytes.size(); ++i) {
    plain[i] = static_cast<char>(s.bytes[i] ^ KeyAt(s.text, i));
  }
  return plain;
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

const std::array<std::string, 9>& Texts() {
  static const std::array<std::string, 9> texts = {
      Unscramble(kPortPrefix), Unscramble(kQueueTag),        Unscramble(kMutexTag),
      Unscramble(kMapTag),     Unscramble(kCounterTag),      Unscramble(kAnswerTag),
      Unscramble(kEventTag),   Unscramble(kNamespacePrefix), Unscramble(kSessionPrefix)};
  return texts;
}

std::string Join(std::string_view a, std::string_view b) {
  std::string out;
  out.reserve(a.size() + b.size());
  out.append(a);
  out.append(b);
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

const std::string& Text(FixedText which) { return Texts()[static_cast<size_t>(which)]; }

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
  return Join(Text(FixedText::PortPrefix), channel);
}

std::string QueueMutexName(std::string_view channel) {
  return Join(channel, Text(FixedText::QueueTag)) + Text(FixedText::MutexTag);
}

std::string QueueMapName(std::string_view channel) {
  return Join(channel, Text(FixedText::QueueTag)) + Text(FixedText::MapTag);
}

std::string CounterMapName(uint32_t processId) {
  return Text(FixedText::QueueTag) + Text(FixedText::CounterTag) + HexProcessId(processId);
}

std::string AnswerBaseName(std::string_view channel, uint32_t counter) {
  return Join(channel, Text(FixedText::AnswerTag)) + Decimal(counter);
}

std::string AnswerBaseName(std::string_view channel, uint32_t counter, uint32_t processId) {
  return AnswerBaseName(channel, counter) + HexProcessId(processId);
}

std::string AnswerMapName(std::string_view baseName) {
  return Join(baseName, Text(FixedText::MapTag));
}

std::string AnswerEventName(std::string_view baseName, int which) {
  return Join(baseName, Text(FixedText::EventTag)) + (which == 1 ? "1" : "2");
}

std::string WithNamespacePrefix(std::string_view name) {
  return Join(Text(FixedText::NamespacePrefix), name);
}

std::string InSession(uint32_t sessionId, std::string_view name) {
  return Text(FixedText::SessionPrefix) + Decimal(sessionId) + "\\" + std::string(name);
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
