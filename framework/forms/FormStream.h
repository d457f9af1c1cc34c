#pragma once

#include "framework/forms/FormModel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The binary stream that is embedded in the program:
//   stream   := "TPF0" object                  (nothing may follow)
//   object   := 'O' name name {property} 0x00 {object} 0x00
//   property := 'P' name value
//   value    := 'I' int32 | 'S' text | 'N' name | 'F' | 'T' | '[' uint16 {name}
//   name     := uint8 length (1 to 255), the bytes of an identifier
//   text     := uint32 length, UTF-8 bytes
// Integers are little-endian.
std::vector<std::uint8_t> WriteFormStream(const FormObject& root);

// Reads a stream, checking the signature, every tag and every length; never reads
// past the end. A damaged stream raises Exception naming resourceName and what is wrong.
FormObject ReadFormStream(const std::uint8_t* data, std::size_t size, const std::string& resourceName);
