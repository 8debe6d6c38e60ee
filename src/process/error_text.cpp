#include "process/error_text.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "win/entry_points.h"
#include "win/unique_handle.h"

namespace process {

namespace {

// The names of the conversion routine, its library, the message module and the fixed prefix
// stand in the image XOR-scrambled with one byte, and are unscrambled when used.
constexpr char kKey = 0x5A;

template <size_t N>
struct Hidden {
  char bytes[N - 1];
};

template <size_t N>
constexpr Hidden<N> Hide(const char (&plain)[N]) {
  Hidden<N> hidden{};
  for (size_t i = 0; i + 1 < N; ++i) hidden.bytes[i] = static_cast<char>(plain[i] ^ kKey);
  return hidden;
}

template <size_t N>
std::string Reveal(const Hidden<N>& hidden) {
  std::string plain(hidden.bytes, N - 1);
  for (char& c : plain) c = static_cast<char>(c ^ kKey);
  return plain;
}

template <size_t N>
std::wstring RevealWide(const Hidden<N>& hidden) {
  const std::string plain = Reveal(hidden);
  return std::wstring(plain.begin(), plain.end());
}

constexpr auto kConversionRoutine = Hide("RtlNtStatusToDosError");
constexpr auto kConversionLibrary = Hide("ntdll");
constexpr auto kMessageModule = Hide("\\netmsg.dll");
constexpr auto kUnknownPrefix = Hide("Unknown error");

uint32_t StatusToErrorNumber(uint32_t status) {
  using ToDos = ULONG(WINAPI*)(LONG);
  static const ToDos toDos = win::FindEntry<ToDos>(RevealWide(kConversionLibrary).c_str(),
                                                   Reveal(kConversionRoutine).c_str());
  if (!toDos) return status;
  const ULONG mapped = toDos(static_cast<LONG>(status));
  // Codes the routine does not know (an HRESULT such as E_NOINTERFACE) keep their own text.
  return mapped == ERROR_MR_MID_NOT_FOUND ? status : mapped;
}

// From the system folder only: this program runs elevated from the product's folder.
win::UniqueModule LoadNetworkMessages() {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return win::UniqueModule();
  const std::wstring path = std::wstring(folder, length) + RevealWide(kMessageModule);
  return win::UniqueModule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

}  // namespace

std::string ErrorText(uint32_t number) {
  if (number > 0x3FFFFFFF) number = StatusToErrorNumber(number);

  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                FORMAT_MESSAGE_FROM_SYSTEM;  // 0x1300
  win::UniqueModule messages;
  // The network messages live in a module of their own.
  if (number >= 2100 && number <= 2999) {
    messages = LoadNetworkMessages();
    if (messages) flags |= FORMAT_MESSAGE_FROM_HMODULE;  // 0x1B00
  }
  char* buffer = nullptr;
  const DWORD length = ::FormatMessageA(flags, messages.get(), number, 0x400,
                                        reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer) {
    text.reserve(length);
    for (DWORD i = 0; i < length; ++i) {
      if (buffer[i] == '\r') {
        text += ' ';
      } else if (buffer[i] != '\n') {
        text += buffer[i];
      }
    }
  }
  if (buffer) ::LocalFree(buffer);
  if (text.empty()) {
    char hex[16];
    std::snprintf(hex, sizeof(hex), "$%x", static_cast<unsigned>(number));
    text = Reveal(kUnknownPrefix) + " " + hex;
  }
  return text;
}

}  // namespace process
