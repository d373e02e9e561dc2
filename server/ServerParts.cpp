// server/ServerParts.cpp - the request layer's hooks into the server.
#include "ServerParts.h"

#include "Request.h"
#include "VKSAccess.h"
#include "VKSModule.h"

namespace {

class CShellNotifier final : public IRequestNotifier {
public:
  void NotifyPath(int connectionId, LONG event, const CBstr& path, short volumeCount, IObex2* obex) override {
    QueueShellNotifyPath(connectionId, event, path, volumeCount, obex);
  }
  void NotifyRoot(LONG event) override { QueueShellNotify(event, true); }
  void NotifyRename(LONG event, const CBstr& from, const CBstr& to, short volumeCount) override {
    QueueShellNotifyRename(0, event, from, to, volumeCount, nullptr);
  }
};

CShellNotifier g_shellNotifier;

void RefreshModuleRoot() { QueueShellNotify(kShcneUpdateDir, true); }

class CServerIdleWork final : public IIdleWork {
public:
  DWORD TimeToNextWork() override { return TimeToNextDispatch(); }
  void DoDueWork() override { DispatchPendingNotification(); }
  void SetIdle(bool idle) override {
    HANDLE gate = GetShellNotifyGate();
    if (!gate) return;
    if (idle)
      SetEvent(gate);
    else
      ResetEvent(gate);
  }
};

}  // namespace

IIdleWork& ServerIdleWork() {
  static CServerIdleWork work;
  return work;
}

HRESULT StartServerParts() {
  SetRequestErrorReporter(VKSModule::ReportRequestResult);
  SetRequestNotifier(&g_shellNotifier);
  SetPortChangeHook(RefreshModuleRoot);
  // Without the poster the server still serves; the shell just hears nothing.
  StartShellNotify();
  return S_OK;
}

void StopServerParts() {
  StopShellNotify();
  SetRequestNotifier(nullptr);
  SetPortChangeHook(nullptr);
}

void CloseModuleConnections() {
  RemoveAllSinks();
  CVKSAccess::CloseAllAccess();
}
