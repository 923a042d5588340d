#pragma once
// The questions and answers of the lock area's help panels.

#include <string>
#include <vector>

namespace pinhelp {

struct Help {
    std::vector<std::string> questions;
    std::vector<std::string> answers;
};

Help startPin();      // the start-PIN screen (five questions)
Help setPin();        // setting the start PIN (six questions)
Help remoteDelete();  // remote de-registration (six questions)
Help forgetPin();     // the forgotten-PIN screen (four questions)

}  // namespace pinhelp
