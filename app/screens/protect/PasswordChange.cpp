#include "app/screens/protect/PasswordChange.h"

#include "platform/foundation/Encoding.h"

namespace passwordchange {

std::string escapePassword(const std::string& password) {
    std::string wide;
    for (char c : password) {
        if (c == ';')
            wide += "；";
        else if (c == ',')
            wide += "，";
        else
            wide += c;
    }
    return foundation::percentEscapeAllBut(wide, "0123456789");
}

std::string refusalNotice(const std::string& message) {
    if (message == "您的密码长度必须密码由6-16位字符(字母、数字、符号)组合而成，请重新输入")
        return "密码须由6-16位字符(字母、数字、符号)组成";
    return message;
}

}  // namespace passwordchange
