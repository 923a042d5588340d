// The registry of process-wide resetters: phases first, then registration
// order; a name registered again is replaced, not doubled.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/Resetters.h"

namespace {

TEST(Resetters, RunByPhaseThenRegistrationAndReplaceByName) {
    std::vector<std::string> ran;
    using foundation::ResetPhase;
    foundation::registerResetter("test.cache", ResetPhase::Cache, [&] { ran.push_back("cache"); });
    foundation::registerResetter("test.object", ResetPhase::SharedObject, [&] { ran.push_back("object"); });
    foundation::registerResetter("test.alert", ResetPhase::Presentation, [&] { ran.push_back("alert"); });
    foundation::registerResetter("test.object2", ResetPhase::SharedObject, [&] { ran.push_back("object2"); });
    // Registered again: the new function and phase hold, in the old place.
    foundation::registerResetter("test.object", ResetPhase::SharedObject, [&] { ran.push_back("object'"); });

    foundation::resetProcessWideObjects();
    EXPECT_EQ(ran, (std::vector<std::string>{"alert", "object'", "object2", "cache"}));

    std::vector<std::string> names = foundation::registeredResetters();
    std::vector<std::string> ours;
    for (const auto& n : names)
        if (n.rfind("test.", 0) == 0) ours.push_back(n);
    EXPECT_EQ(ours, (std::vector<std::string>{"test.alert", "test.object", "test.object2", "test.cache"}));

    // A resetter that registers another while the registry runs does not
    // deadlock; the new one waits for the next run.
    ran.clear();
    foundation::registerResetter("test.alert", ResetPhase::Presentation, [&] {
        ran.push_back("alert");
        foundation::registerResetter("test.late", ResetPhase::Presentation, [&] { ran.push_back("late"); });
    });
    foundation::resetProcessWideObjects();
    EXPECT_EQ(std::count(ran.begin(), ran.end(), "late"), 0);
    ran.clear();
    foundation::resetProcessWideObjects();
    EXPECT_EQ(std::count(ran.begin(), ran.end(), "late"), 1);
    // Leave nothing behind that points at this case's locals.
    for (const char* n : {"test.cache", "test.object", "test.alert", "test.object2", "test.late"})
        foundation::registerResetter(n, ResetPhase::Cache, nullptr);
}

}  // namespace
