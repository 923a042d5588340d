#pragma once
// Helpers shared by the tests.

#include <string>

namespace testsupport {

// Every test case runs with its own empty $QUENTA_HOME (made by the test
// main before each case and removed after it); this returns it.
std::string home();

// A fresh empty folder under the case's home.
std::string tempDir(const std::string& name);

// Path of a file under the source tree.
std::string sourcePath(const std::string& relative);

// A free TCP port on 127.0.0.1 (bound and released; racy but fine for tests).
int freePort();

}  // namespace testsupport
