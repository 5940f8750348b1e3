#include "page/page_file.h"

#include <array>

#include "checks/check_pass.h"
#include "platform/platform.h"

bool writePageFile(const std::string& path, PageInput input,
                   const std::array<bool, kCheckCount>& ran) {
  std::array<CheckOutcome, kCheckCount> outcomes;
  if (input.facts != nullptr) {
    outcomes = outcomesOf(ran, *input.facts);
    for (std::size_t i = 0; i < kCheckCount; ++i) {
      if (ran[i]) input.outcomes[i] = &outcomes[i];
    }
  }
  return platform::replaceFileByPieces(
      path, [&input](const platform::TextPieceWriter& write) { return writePage(input, write); });
}
