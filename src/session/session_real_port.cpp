// The session's real port actions.
#include "session/session.h"

namespace vexo {

}  // namespace vexo
