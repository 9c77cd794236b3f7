#pragma once

#include "RegistryApi.h"

#include <string>

// Reads the value `SubKeyRef` of the key `KeyName` under `KeyRoot` into
// `KeyVal` as text: a text value as it is stored (less one terminating zero),
// a 32-bit number as its decimal text, any other type leaves `KeyVal` as it
// was. Returns true when the key opened and the value was read; false, with
// `KeyVal` emptied, when either failed (a value longer than the 1024-byte
// buffer counts as missing).
//
// Registry failures are answers, not errors. Errors (std::exception) come only
// from reading the data: a value of size 0, a number wider than 32 bits. The
// key is closed on every way out.
bool GetKeyValue(RegistryApi &registry, RegistryApi::Handle KeyRoot, const std::string &KeyName,
                 const std::string &SubKeyRef, std::string &KeyVal);
