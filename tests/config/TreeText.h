#pragma once
// A compact, unambiguous text form of a parsed tree, so a test can state a whole expected tree
// in one string: {"a":1,"b":["x",true,null]}. Numbers in their shortest double form, strings
// with every unit outside printable ASCII as \uXXXX, every member shown (repeats included),
// "none" for no tree.

#include "OEUnitQxJSON.h"

#include <string>

std::string TreeText(const TqxJSONbase* node);
