#pragma once
// The password change without its views: how the new password travels and
// how the server's verdict is worded.
#include <string>

namespace passwordchange {

// ";" and "," made full-width ("；", "，"), then every byte but the ASCII
// digits written as "%" and two upper-case hexadecimal digits.
std::string escapePassword(const std::string& password);

// The notice for a refusal: the long password-rule message is shortened,
// any other message is shown as it came.
std::string refusalNotice(const std::string& message);

}  // namespace passwordchange
