#include "shell/setup_state.h"

namespace vx {

SetupState setupState = {{'\0'}, 1, 0};

}  // namespace vx
