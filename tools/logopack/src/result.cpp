#include "logopack/result.h"

namespace logopack {

bool isUsageError(ErrorCode code) {
  switch (code) {
    case ErrorCode::UnknownOption:
    case ErrorCode::MissingValue:
    case ErrorCode::MissingOption:
    case ErrorCode::ConflictingOptions:
    case ErrorCode::InvalidValue:
    case ErrorCode::InvalidField: return true;
    default: return false;
  }
}

}  // namespace logopack
