#include "page/page_file.h"

#include <cstdint>
#include <vector>

#include "checks/check_pass.h"
#include "platform/platform.h"

bool writePageFile(const std::string& path, PageInput input,
                   const std::array<bool, kCheckCount>& ran) {
  std::vector<CheckOutcome> outcomes(kCheckCount);
  for (std::size_t i = 0; i < kCheckCount; ++i) {
    if (!ran[i] || input.facts == nullptr) continue;
    outcomes[i] = outcomeOf(kCheckRows[i], static_cast<std::uint8_t>(1u << i), *input.facts);
    input.outcomes[i] = &outcomes[i];
  }
  return platform::replaceFileByPieces(
      path, [&input](const platform::TextPieceWriter& write) { return writePage(input, write); });
}
