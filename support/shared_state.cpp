#include "support/shared_state.h"

namespace vantrell {

std::int32_t ErrorLogSize = 0;
std::int16_t ErrorLogLevel = 0;

}  // namespace vantrell
