#pragma once
// The run-wide slots are made in the operating-system layer, the lowest one, so that its own
// process-wide state (the message-pump hook) can be a slot too.
#include "sys/run_state.h"
