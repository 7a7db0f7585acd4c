// The buffer steps.
#include "cli/steps.h"

namespace vexo::cli {

void AddBufferSteps(std::vector<StepDef>& table) { static_cast<void>(table); }

}  // namespace vexo::cli
