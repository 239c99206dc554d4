#pragma once
// The configuration document unit: the node classes, their name index and the parser.

#include "QxBalTree.h"
#include "QxJSONNodes.h"
#include "QxJSONParser.h"
#include "ScalarValue.h"
