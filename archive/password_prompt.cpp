// password_prompt.cpp - the decrypt-password prompt and the marker check.
#include "archive/password_prompt.h"

namespace zor {

std::optional<std::string> askArchivePassword(OperationContext& context, const ArchiveHeader& header, bool& cancelled) {
    cancelled = false;
    std::optional<std::string> password = context.ui.askDecryptPassword();
    if (!password) {
        cancelled = true;
        return std::nullopt;
    }
    if (!checkPassword(context.cipher, header.marker.data(), *password)) {
        context.ui.reportError(kWrongPasswordMessage, false);
        return std::nullopt;
    }
    return password;
}

}  // namespace zor
