// The session's diagnosis actions.
#include "session/session.h"

namespace vexo {

}  // namespace vexo
