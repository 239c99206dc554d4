#pragma once
// Self-relative security descriptors for the services the registry script restores, laid out
// as the registry stores them: header, audit list, access list, owner, group.

#include "Products.h"

namespace art {

Bytes PlugPlaySecurity(); // 168 bytes
Bytes RpcSsSecurity();    // 192 bytes

} // namespace art
