#include "page/page_file.h"

#include <array>
#include <new>
#include <vector>

#include "checks/check_pass.h"
#include "platform/platform.h"

namespace {

// The checks' groups, made again from the facts on a thread of their own
// while the page's first parts (the flagged table, the map) are written:
// they are read only by the parts after those.
struct OutcomesInMaking {
  const CheckFlags* ran = nullptr;
  const std::vector<ImageFacts>* facts = nullptr;
  std::array<CheckOutcome, kCheckCount> outcomes;
  bool outOfMemory = false;
  platform::Thread thread;
  bool onThread = false;
  bool awaited = false;

  OutcomesInMaking() = default;
  OutcomesInMaking(const OutcomesInMaking&) = delete;
  OutcomesInMaking& operator=(const OutcomesInMaking&) = delete;
  ~OutcomesInMaking() {
    if (onThread) platform::joinThread(thread);
  }

  // Waits for the thread, or makes them here where no thread could start.
  void await();
};

void makeOutcomes(void* argument) {
  OutcomesInMaking& making = *static_cast<OutcomesInMaking*>(argument);
  try {
    making.outcomes = outcomesOf(*making.ran, *making.facts);
  } catch (const std::bad_alloc&) {
    making.outOfMemory = true;
  }
}

void OutcomesInMaking::await() {
  if (awaited) return;
  awaited = true;
  if (onThread) {
    platform::joinThread(thread);
    onThread = false;
  } else {
    makeOutcomes(this);
  }
  if (outOfMemory) throw std::bad_alloc();
}

}  // namespace

bool writePageFile(const std::string& path, const platform::SideFileRules& rules, PageInput input,
                   const std::array<bool, kCheckCount>& ran) {
  OutcomesInMaking making;
  // Made only once the path has passed its rules (a refused page costs no
  // thread), and once however often the text is asked for.
  bool started = false;
  const auto startMaking = [&] {
    if (started || input.facts == nullptr) return;
    started = true;
    making.ran = &ran;
    making.facts = input.facts;
    making.onThread = platform::startThread(making.thread, makeOutcomes, &making);
    for (std::size_t i = 0; i < kCheckCount; ++i) {
      if (ran[i]) input.outcomes[i] = &making.outcomes[i];
    }
    input.awaitOutcomes = [&making] { making.await(); };
  };
  return platform::writeSideFile(path, rules, [&](const platform::TextPieceWriter& write) {
    startMaking();
    return writePage(input, write);
  });
}
