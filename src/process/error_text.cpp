#include "process/error_text.h"

#include <windows.h>

#include <string>

#include "win/entry_points.h"
#include "win/number_text.h"
#include "win/scrambled.h"
#include "win/unique_handle.h"

namespace process {

namespace {

// The message module's name and the fixed prefix stand in the image only scrambled, as the
// conversion routine's names do in the entry table.
constexpr auto kMessageModule = win::Hide("\\netmsg.dll");
constexpr auto kUnknownPrefix = win::Hide("Unknown error");

uint32_t StatusToErrorNumber(uint32_t status) {
  const auto toDos = win::Entries().rtlNtStatusToDosError;
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
  const std::wstring path = std::wstring(folder, length) + win::RevealWide(kMessageModule);
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
    text = win::Reveal(kUnknownPrefix) + " $" + win::HexText(static_cast<unsigned>(number));
  }
  return text;
}

}  // namespace process
