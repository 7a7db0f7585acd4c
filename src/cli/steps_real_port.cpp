// The real port steps.
#include "cli/steps.h"

namespace vexo::cli {

void AddRealPortSteps(std::vector<StepDef>& table) { static_cast<void>(table); }

}  // namespace vexo::cli
