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

// How much longer than on a quiet machine a test waits before it gives up:
// QUENTA_TEST_TIME_SCALE when set (a number above 0), else 1, or 3 in the
// sanitizer builds. Waits end as soon as what they wait for happens; the
// limit only decides how long a failure takes to show.
double timeScale();
// A limit of `seconds` on a quiet machine, scaled by timeScale().
double patience(double seconds);

}  // namespace testsupport
