// The 32-byte name field of every name in a file: up to 31 bytes of 8-bit
// text, a 0, then bytes that mean nothing.
#pragma once

#include "bytes/ByteReader.h"
#include "bytes/ByteWriter.h"

#include <string>

namespace qwz {

constexpr size_t kNameFieldSize = 32;

// The bytes up to the first 0; all 32 when the field holds no 0.
std::string ReadNameField(ByteReader& in, const char* field);
// The name cut to 31 bytes, its terminator, and zeros to fill the field.
void WriteNameField(ByteWriter& out, const std::string& name);

}  // namespace qwz
