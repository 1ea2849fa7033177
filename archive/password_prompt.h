// password_prompt.h - asks for the password of a protected archive and checks it against the stored marker.
#pragma once

#include <optional>
#include <string>

#include "archive/operation_context.h"

namespace zor {

// The password that opens `header`'s archive. Nothing when the person
// cancelled (silently) or the password does not fit ("Password is not
// correct!" has been reported). `cancelled` tells the two apart; a prompt
// that an interrupt ended (Ctrl+C) is cancelled too, with the interface's
// abort request raised, and callers then end as an abort.
std::optional<std::string> askArchivePassword(OperationContext& context, const ArchiveHeader& header, bool& cancelled);

}  // namespace zor
