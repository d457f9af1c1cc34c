#pragma once

#include <functional>

// How the controls run an event handler, such as a button's OnClick. A failure
// must not leave a handler into Qt's event loop, so the dispatcher decides what
// becomes of it: the application object installs one that shows it to the user.
// Until one is installed, a failure is written to standard error.
using EventDispatcher = std::function<void(const std::function<void()>& handler)>;

void SetEventDispatcher(EventDispatcher dispatcher);

// Runs the handler through the installed dispatcher.
void DispatchEvent(const std::function<void()>& handler);
