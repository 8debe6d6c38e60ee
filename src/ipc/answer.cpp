#include "ipc/answer.h"

#include <cstring>
#include <string>

#include "ipc/named_objects.h"
#include "ipc/names.h"
#include "ipc/usable_view.h"
#include "ipc/waits.h"
#include "win/entry_points.h"

namespace ipc {

bool TIpcAnswer::SetUp(std::string_view baseName, uint32_t length) {
  Release();
  len = length;
  if (length == 0) return true;
  // The sender makes its answer map: one of that name made before is someone else's, made as
  // they chose (backed by a file, say), and is not touched.
  bool existed = false;
  map = CreateNamedMap(AnswerMapName(baseName), length, &existed);
  if (map && !existed) {
    event1 = CreateNamedEvent(AnswerEventName(baseName, 1));
    event2 = CreateNamedEvent(AnswerEventName(baseName, 2));
    buf.reset(::MapViewOfFile(map.get(), FILE_MAP_ALL_ACCESS, 0, 0, length));
  }
  if (!event1 || !event2 || !ViewIsUsable(buf.get(), length, true)) {
    Release();
    return false;
  }
  std::memset(buf.get(), 0, length);
  return true;
}

void TIpcAnswer::Release() {
  buf.reset();
  map.reset();
  event1.reset();
  event2.reset();
  len = 0;
}

bool WaitForEventOrEnd(HANDLE event, HANDLE process, DWORD timeoutMs, bool pumpMessages) {
  const HANDLE handles[2] = {event, process};
  const DWORD count = process ? 2 : 1;
  if (!pumpMessages || !win::LoadUserEntries().MessageLoop()) {
    return ::WaitForMultipleObjects(count, handles, FALSE, timeoutMs) == WAIT_OBJECT_0;
  }
  const win::UserEntries& user = win::LoadUserEntries();
  bool quit = false;
  WPARAM quitCode = 0;
  DWORD woken;
  for (;;) {
    woken = user.msgWaitForMultipleObjects(count, handles, FALSE, timeoutMs, QS_ALLINPUT);
    if (woken != WAIT_OBJECT_0 + count) break;
    MSG message;
    while (user.peekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        continue;
      }
      user.translateMessage(&message);
      user.dispatchMessage(&message);
    }
  }
  // A quit request taken from the queue here belongs to the caller's own message loop.
  if (quit) user.postQuitMessage(static_cast<int>(quitCode));
  return woken == WAIT_OBJECT_0;
}

bool AwaitAnswer(const TIpcAnswer& answer, HANDLE receiverProcess, void* answerBuf, DWORD timeoutMs,
                 bool pumpMessages) {
  if (!WaitForEventOrEnd(answer.event1.get(), receiverProcess, kFirstAnswerWaitMs, pumpMessages) ||
      !WaitForEventOrEnd(answer.event2.get(), receiverProcess, timeoutMs, pumpMessages)) {
    return false;
  }
  std::memcpy(answerBuf, answer.buf.get(), answer.len);
  return true;
}

}  // namespace ipc
