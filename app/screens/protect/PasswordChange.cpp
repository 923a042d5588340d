#include "PasswordChange.h"

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
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : wide) {
        if (c >= '0' && c <= '9') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string refusalNotice(const std::string& message) {
    if (message == "您的密码长度必须密码由6-16位字符(字母、数字、符号)组合而成，请重新输入")
        return "密码须由6-16位字符(字母、数字、符号)组成";
    return message;
}

}  // namespace passwordchange
