// The process as a whole on Windows: its standard streams, its faults, its
// threads, its locale and what the C runtime's text mode does to what it
// reads.

#include <windows.h>

#include <atomic>
#include <csignal>
#include <exception>

#include "platform/platform.h"

namespace platform {

const bool kTextKeepsCarriageReturns = false;

void prepareProcess() {
  // No signal comes from a closed pipe here: a failed console write simply
  // fails. A process started without standard handles has its writes fail too.
}

unsigned long processId() { return ::GetCurrentProcessId(); }

namespace {

const char* gFaultLine = "";
const char* gFaultLineAfterVerdict = "";
// Lock-free, so the handler can read it on a thread whose heap or locks a
// fault left broken.
std::atomic<bool> gVerdictPrinted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler takes no lock");

// Codes of our own for the faults that are no exception: abort (SIGABRT)
// and std::terminate. A Windows exception code has its top bits set.
constexpr DWORD kAbortCode = 3;
constexpr DWORD kTerminateCode = 4;

// Writes the fault line and ends the process, taking nothing from the heap
// (which may be what is broken) and running nothing of the process's own.
[[noreturn]] void endProcess(DWORD code) {
  char text[512];
  std::size_t length = 0;
  const char* line = gVerdictPrinted.load() ? gFaultLineAfterVerdict : gFaultLine;
  for (const char* c = line; *c != '\0' && length < 480; ++c) text[length++] = *c;
  const char kHex[] = "0123456789ABCDEF";
  for (const char c : {' ', '(', '0', 'x'}) text[length++] = c;
  for (int shift = 28; shift >= 0; shift -= 4) text[length++] = kHex[(code >> shift) & 0xF];
  for (const char c : {')', '\r', '\n'}) text[length++] = c;
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(length), &written,
              nullptr);
  ::TerminateProcess(::GetCurrentProcess(), kFaultStatus);
  ::ExitProcess(kFaultStatus);  // not reached
}

LONG WINAPI endOnUnhandledException(EXCEPTION_POINTERS* exception) {
  endProcess(exception->ExceptionRecord->ExceptionCode);
}

void endOnAbort(int) { endProcess(kAbortCode); }

void endOnTerminate() { endProcess(kTerminateCode); }

}  // namespace

void endOnFault(const char* line, const char* lineAfterVerdict) {
  gFaultLine = line;
  gFaultLineAfterVerdict = lineAfterVerdict;
  // No dialog box waits for a click that never comes in a script.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::SetUnhandledExceptionFilter(endOnUnhandledException);
  std::signal(SIGABRT, endOnAbort);
  std::set_terminate(endOnTerminate);
}

void noteVerdictPrinted() { gVerdictPrinted.store(true); }

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
