// The session's production actions.
#include "session/session.h"

namespace vexo {

}  // namespace vexo
