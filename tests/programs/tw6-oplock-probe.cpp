// Tells what the system does with oplocks, one line a question: whether it grants the classic
// and the Windows 7 oplock requests on a file and a folder, whether an open with
// FILE_COMPLETE_IF_OPLOCKED is accepted and what it answers while an oplock is held, and whether
// CancelSynchronousIo ends another thread's synchronous read of a pipe. Takes a scratch folder.
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kRequestLevel1 = 0x00090000;  // FSCTL_REQUEST_OPLOCK_LEVEL_1
constexpr DWORD kRequestBatch = 0x00090008;   // FSCTL_REQUEST_BATCH_OPLOCK
constexpr DWORD kRequestOplock = 0x00090240;  // FSCTL_REQUEST_OPLOCK
constexpr ULONG kCompleteIfOplocked = 0x00000100;

struct RequestInput {  // REQUEST_OPLOCK_INPUT_BUFFER
  WORD version, length;
  DWORD requestedLevel, flags;
};
struct RequestOutput {  // REQUEST_OPLOCK_OUTPUT_BUFFER
  WORD version, length;
  DWORD originalLevel, newLevel, flags;
  ACCESS_MASK access;
  WORD shareMode;
};

using NtOpenFileFn = NTSTATUS(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, IO_STATUS_BLOCK*,
                                      ULONG, ULONG);

// Sends the request on an overlapped handle; a granted oplock leaves it pending.
DWORD Request(HANDLE handle, DWORD code, DWORD level, OVERLAPPED& overlapped) {
  static RequestInput input;
  static RequestOutput output;
  input = {1, sizeof(input), level, 0x1};  // OPLOCK_LEVEL_CACHE_*; request
  output = {1, sizeof(output), 0, 0, 0, 0, 0};
  const bool withBuffers = code == kRequestOplock;
  DWORD returned = 0;
  if (::DeviceIoControl(handle, code, withBuffers ? &input : nullptr,
                        withBuffers ? sizeof(input) : 0, withBuffers ? &output : nullptr,
                        withBuffers ? sizeof(output) : 0, &returned, &overlapped)) {
    return 0;
  }
  return ::GetLastError();
}

void Ask(const char* what, const std::wstring& path, DWORD flags, DWORD code, DWORD level = 7) {
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    std::printf("%s: open failed %lu\n", what, ::GetLastError());
    return;
  }
  OVERLAPPED overlapped = {};
  overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const DWORD error = Request(handle, code, level, overlapped);
  std::printf("%s: error %lu%s\n", what, error, error == ERROR_IO_PENDING ? " (granted)" : "");

  // A second open, as the walk makes it, while the request stands.
  const auto ntOpenFile = reinterpret_cast<NtOpenFileFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll"), "NtOpenFile")));
  std::wstring native = L"\\??\\" + path;
  UNICODE_STRING name = {static_cast<USHORT>(native.size() * 2),
                         static_cast<USHORT>(native.size() * 2), &native[0]};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  IO_STATUS_BLOCK io = {};
  HANDLE second = nullptr;
  const NTSTATUS status =
      ntOpenFile(&second, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io, 7,
                 kCompleteIfOplocked | 0x20 | 0x00200000 | (flags ? 0x1 : 0x40));
  std::printf("  open with FILE_COMPLETE_IF_OPLOCKED: status 0x%08lX\n",
              static_cast<unsigned long>(status));
  if (second) ::CloseHandle(second);
  ::CancelIo(handle);
  ::CloseHandle(handle);
  ::CloseHandle(overlapped.hEvent);
}

DWORD WINAPI ReadPipe(void* parameter) {
  char byte;
  DWORD read = 0;
  const BOOL ok = ::ReadFile(static_cast<HANDLE>(parameter), &byte, 1, &read, nullptr);
  std::printf("  the blocked read returned %d, error %lu\n", ok, ok ? 0 : ::GetLastError());
  return 0;
}

void CancelRead() {
  HANDLE reader = nullptr, writer = nullptr;
  ::CreatePipe(&reader, &writer, nullptr, 0);
  HANDLE thread = ::CreateThread(nullptr, 0, ReadPipe, reader, 0, nullptr);
  ::Sleep(500);  // a probe, not a test: long enough for the read to block
  using CancelFn = BOOL(WINAPI*)(HANDLE);
  const auto cancel = reinterpret_cast<CancelFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "CancelSynchronousIo")));
  const BOOL ok = cancel ? cancel(thread) : FALSE;
  std::printf("CancelSynchronousIo: %s, returned %d, error %lu\n", cancel ? "present" : "absent",
              ok, ok ? 0 : ::GetLastError());
  const DWORD wait = ::WaitForSingleObject(thread, 2000);
  std::printf("  the reading thread %s\n", wait == WAIT_OBJECT_0 ? "ended" : "is still blocked");
  ::CloseHandle(writer);
  ::WaitForSingleObject(thread, INFINITE);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring folder = argv[1];
  const std::wstring file = folder + L"\\held.txt";
  const std::wstring sub = folder + L"\\held";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  ::CreateDirectoryW(sub.c_str(), nullptr);
  HANDLE made = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ::CloseHandle(made);
  Ask("file FSCTL_REQUEST_OPLOCK_LEVEL_1", file, 0, kRequestLevel1);
  Ask("file FSCTL_REQUEST_BATCH_OPLOCK", file, 0, kRequestBatch);
  Ask("file FSCTL_REQUEST_OPLOCK RWH", file, 0, kRequestOplock);
  Ask("folder FSCTL_REQUEST_OPLOCK RH", sub, FILE_FLAG_BACKUP_SEMANTICS, kRequestOplock, 3);
  CancelRead();
  std::fflush(stdout);
  return 0;
}
