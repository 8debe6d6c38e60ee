#include "support/test_guard.h"

#include "env/apptools2.h"
#include "ipc/IPCClient.h"
#include "ipc/deliver.h"
#include "ipc/named_objects.h"
#include "ipc/names.h"

#include <algorithm>

namespace testenv {

namespace {

std::vector<DWORD>& RunningTestGuards() {
  static std::vector<DWORD> ids;
  return ids;
}

}  // namespace

TestGuard::TestGuard(bool answers, const std::wstring& userName)
    : folder_(L"guard"), log_(folder_ / L"guard.log") {
  const std::wstring user = userName.empty() ? apptools2::GetCurrentUserName() : userName;
  channel_ = IPCClient::GuardChannelName(user);
  const std::wstring program = folder_ / L"TW6Guard.exe";
  if (!CopyTo(BuiltProgram(L"tw6-test-guard.exe"), program)) return;
  std::wstring command = Quoted(program) + L" " + Quoted(log_);
  if (!userName.empty()) command += L" --user " + Quoted(userName);
  if (!answers) command += L" --no-answer";
  process_ = ChildProcess::Start(command);
  if (process_.started()) RunningTestGuards().push_back(process_.id());
  // The guard fills the queue header under the queue mutex before a sender can read it, so
  // the channel is usable as soon as its queue map can be opened.
  const std::string map = ipc::QueueMapName(channel_);
  for (int i = 0; i < 1000 && process_.running(); ++i) {
    if (ipc::OpenNamedMap(map, FILE_MAP_READ)) {
      ready_ = true;
      return;
    }
    ::WaitForSingleObject(process_.handle(), 20);
  }
}

TestGuard::~TestGuard() {
  process_.Kill();
  auto& ids = RunningTestGuards();
  ids.erase(std::remove(ids.begin(), ids.end(), process_.id()), ids.end());
}

bool IsTestGuard(DWORD processId) {
  const auto& ids = RunningTestGuards();
  return std::find(ids.begin(), ids.end(), processId) != ids.end();
}

std::vector<std::string> TestGuard::Lines() const {
  std::vector<std::string> lines;
  const std::string text = ReadFileText(log_);
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

bool TestGuard::Sync() const {
  char answer[4] = {};
  return ipc::DeliverBy(ipc::Carrier::Pipe, channel_, "sync", 4, answer, 4, 30000, false) &&
         std::string(answer, 4) == "sync";
}

}  // namespace testenv
