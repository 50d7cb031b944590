#include "update_payload.h"

#include <cmath>
#include <limits>

#include "text_functions.h"

namespace UpdatePayload {

int32_t IdFromText(std::string_view text) {
  const double value = std::trunc(fw::Val(text));
  if (std::isnan(value)) return 0;
  if (value <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (value >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

}  // namespace UpdatePayload
