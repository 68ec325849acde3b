// The requests the executor gave up after their wait. The executor keeps
// them until their layer has finished and frees them itself before each new
// request, whichever thread runs it; tests and end-of-run checks look at
// them here.
#pragma once

#include <cstddef>

// Frees the given-up requests whose layer has written a final status, and
// closes their events.
void ReapAbandonedRequests();

// How many given-up requests are kept, finished ones not yet reaped
// included. Changes nothing.
std::size_t AbandonedRequestCount();
