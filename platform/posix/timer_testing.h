// Test hooks of the portable timer layer. Only the posix build has them.
#pragma once

#include <functional>

namespace glimmerfen::platform {

// The portable stand-in for the messages other threads send to a user-interface thread: while this
// thread waits in WaitServingSentMessages, handler is called between the checks of done(). An empty
// handler removes it. Applies to the calling thread only.
void SetSentMessageHandlerForTesting(std::function<void()> handler);

// With true, SetOneShotTimer called on any thread but the service's own returns only after the
// service has started the new timer's callback (or after a second), so that a test sees what happens
// when a timer expires before its caller has recorded the identifier.
void SetArmWaitsForExpiryForTesting(bool wait);

} // namespace glimmerfen::platform
