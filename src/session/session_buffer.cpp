// The session's buffer actions.
#include "session/session.h"

namespace vexo {

}  // namespace vexo
