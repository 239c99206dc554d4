#pragma once
// The engine the window creates and binds. For now the stand-in; the real engine replaces it by
// including engine/OEUnitVolumeFixer.h here instead and linking tm_engine into tm_app.

#include "app/EngineStandIn.h"

using engine_standin::TOEVolumeFixer;
using engine_standin::TSCANRESULT;
