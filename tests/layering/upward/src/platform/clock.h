// A deliberate upward include: the platform layer must not see the engine's errors.
#pragma once
#include "core/engine_error.h"
