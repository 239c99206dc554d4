#pragma once
// The engine the window creates and binds.

#include "engine/OEUnitVolumeFixer.h"
#include "engine/ProblemCatalogue.h"
