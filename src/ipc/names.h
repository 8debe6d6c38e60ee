#pragma once

// Object names of the guard channel. Pure code (no Windows headers) so that it also builds
// natively for fuzzing.

#include <cstdint>
#include <string>
#include <string_view>

namespace ipc {

// The nine fixed name parts; sender and receiver must agree on them (docs/guard-channel.md).
enum class FixedText {
  PortPrefix,
  QueueTag,
  MutexTag,
  MapTag,
  CounterTag,
  AnswerTag,
  EventTag,
  NamespacePrefix,
  SessionPrefix,
};

// Unscrambles all nine on first use; the image holds them only scrambled. The text lives until
// the process ends: nothing destroys it at exit.
std::string_view Text(FixedText which);

// "$" + lower-case hex without leading zeros: 4660 -> "$1234".
std::string HexProcessId(uint32_t processId);

std::string PortName(std::string_view channel);
std::string QueueMutexName(std::string_view channel);
std::string QueueMapName(std::string_view channel);
std::string CounterMapName(uint32_t processId);
// channel + AnswerTag: the answer base name without its counter.
std::string AnswerBasePrefix(std::string_view channel);
// Pipe carrier: channel + AnswerTag + counter.
std::string AnswerBaseName(std::string_view channel, uint32_t counter);
// Port carrier: the same followed by "$" + hex(sender's process id).
std::string AnswerBaseName(std::string_view channel, uint32_t counter, uint32_t processId);
std::string AnswerMapName(std::string_view baseName);
// which is 1 or 2.
std::string AnswerEventName(std::string_view baseName, int which);
std::string WithNamespacePrefix(std::string_view name);
// How a receiver reaches a name in the sender's session: SessionPrefix + id + "\" + name.
std::string InSession(uint32_t sessionId, std::string_view name);

// Kernel objects take UTF-16 names: each byte becomes one unit of the same value, no code page.
std::wstring WidenBytes(std::string_view text);

// User names are narrowed to UTF-8 for the channel name: lossless, independent of the code
// page, and ASCII names stay as they are. An unpaired surrogate becomes U+FFFD.
std::string NarrowUserName(std::wstring_view userName);

}  // namespace ipc
