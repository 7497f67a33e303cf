// Lets the thread's queued window messages through in the middle of a long
// blocking operation, so that timer ticks and user actions are not held up.
#pragma once

#include <windows.h>

namespace ql {

// Dispatches every message that is waiting in the calling thread's queue, in
// order, and returns when the queue is empty. A WM_QUIT is never taken: it
// stays queued (with whatever follows it) for the thread's message loop.
void processPendingMessages();

// Applied to each message before it is translated and dispatched, here and in
// the program's message loops; returns true when it consumed the message.
using MessageFilter = bool (*)(MSG& msg);
void setMessageFilter(MessageFilter filter);
// Runs the filter, then translates and dispatches what it left.
void dispatchMessage(MSG& msg);

}  // namespace ql
