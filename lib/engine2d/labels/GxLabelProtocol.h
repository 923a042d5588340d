#pragma once
// What every label offers the nodes that hold one (menu items): its text.

#include <string>

namespace engine2d {

class GxLabelProtocol {
public:
    virtual ~GxLabelProtocol() = default;
    virtual void setString(const std::string& text) = 0;
    virtual const std::string& string() const = 0;
};

}  // namespace engine2d
