// The process as a whole on Windows: its standard streams, its locale, its
// threads and what the C runtime's text mode does to what it reads.

#include <windows.h>

#include "platform/platform.h"

namespace platform {

const bool kTextKeepsCarriageReturns = false;

void prepareProcess() {
  // No signal comes from a closed pipe here: a failed console write simply
  // fails. A process started without standard handles has its writes fail too.
}

int runWithRoomyStack(int (*run)(int, char**), int argc, char** argv) {
  // The main thread's stack is the executable's own reserve (1 MiB), which no
  // user limit shrinks.
  return run(argc, argv);
}

namespace {

DWORD WINAPI runThreadBody(void* started) {
  const Thread& thread = *static_cast<const Thread*>(started);
  thread.body(thread.argument);
  return 0;
}

}  // namespace

bool startThread(Thread& thread, void (*body)(void*), void* argument) {
  thread = Thread{};
  thread.body = body;
  thread.argument = argument;
  // The size is what the thread reserves of the address space; its pages
  // are committed as the stack grows, and all of it goes with the thread.
  const HANDLE handle = ::CreateThread(nullptr, kThreadStackBytes, runThreadBody, &thread,
                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (handle == nullptr) return false;
  thread.handle = reinterpret_cast<std::uintptr_t>(handle);
  return true;
}

void joinThread(Thread& thread) {
  if (thread.handle == 0) return;
  const auto handle = reinterpret_cast<HANDLE>(thread.handle);
  ::WaitForSingleObject(handle, INFINITE);
  ::CloseHandle(handle);
  thread.handle = 0;
}

}  // namespace platform
