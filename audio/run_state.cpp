#include "audio/run_state.h"

RunState runState;
