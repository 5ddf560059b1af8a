// Worker threads. Each runs its procedure once; the framework keeps track of
// them so that it can wait for every one before the process ends.
#include <pthread.h>

#include <atomic>
#include <list>
#include <mutex>

#include "platform/afx.h"
#include "platform/afx/internal.h"
#include "platform/testing.h"

namespace {

struct Worker {
  pthread_t thread{};
  std::atomic<bool> finished{false};
  CWinThread* object = nullptr;
  AFX_THREADPROC proc = nullptr;
  LPVOID param = nullptr;
};

struct Workers {
  std::mutex mutex;
  std::list<Worker> running;
  std::atomic<bool> failStart{false};
  std::atomic<DWORD> nextId{1};
};

Workers& TheWorkers() {
  static Workers workers;
  return workers;
}

void* RunWorker(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  worker->proc(worker->param);
  if (worker->object->m_bAutoDelete) delete worker->object;
  worker->finished = true;
  return nullptr;
}

// Joins the workers that have ended; all of them when wait is set.
void Reap(bool wait) {
  Workers& workers = TheWorkers();
  std::list<Worker> done;
  {
    std::lock_guard<std::mutex> lock(workers.mutex);
    for (auto it = workers.running.begin(); it != workers.running.end();) {
      auto next = std::next(it);
      if (wait || it->finished) done.splice(done.end(), workers.running, it);
      it = next;
    }
  }
  for (Worker& worker : done) pthread_join(worker.thread, nullptr);
}

}  // namespace

CWinThread::CWinThread() = default;
BOOL CWinThread::InitInstance() { return FALSE; }
int CWinThread::ExitInstance() { return 0; }
int CWinThread::Run() { return ExitInstance(); }

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int /*nPriority*/, UINT nStackSize,
                           DWORD /*dwCreateFlags*/, LPSECURITY_ATTRIBUTES /*lpSecurityAttrs*/) {
  Workers& workers = TheWorkers();
  Reap(false);
  if (pfnThreadProc == nullptr || workers.failStart) return nullptr;
  auto* object = new CWinThread();
  object->m_nThreadID = workers.nextId++;
  object->m_hThread = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(object->m_nThreadID * 4 + 0x60000));
  std::lock_guard<std::mutex> lock(workers.mutex);
  Worker& worker = workers.running.emplace_back();
  worker.object = object;
  worker.proc = pfnThreadProc;
  worker.param = pParam;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  if (nStackSize != 0) pthread_attr_setstacksize(&attributes, std::max<size_t>(nStackSize, 65536));
  const int started = pthread_create(&worker.thread, &attributes, &RunWorker, &worker);
  pthread_attr_destroy(&attributes);
  if (started != 0) {
    workers.running.pop_back();
    delete object;
    return nullptr;
  }
  return object;
}

void AfxJoinWorkerThreads() { Reap(true); }

namespace platform::testing {

void SetThreadStartFailure(bool fail) { TheWorkers().failStart = fail; }

size_t LiveWorkerThreads() {
  Reap(false);
  Workers& workers = TheWorkers();
  std::lock_guard<std::mutex> lock(workers.mutex);
  return workers.running.size();
}

}  // namespace platform::testing
