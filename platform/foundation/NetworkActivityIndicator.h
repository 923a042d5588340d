#pragma once
// The app's network activity indicator: a process-wide flag that is on while
// requests use the network. The window may show it (the phone showed it in
// its status bar); tests read it.

namespace foundation {

bool networkActivityIndicatorVisible();
void setNetworkActivityIndicatorVisible(bool visible);

}  // namespace foundation
