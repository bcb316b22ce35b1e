// Files as bytes, and the little-endian numbers of the project's two file
// formats (the index and the .evt log) read and written in place.
#ifndef VELMAR_TESTS_SUPPORT_BYTES_H
#define VELMAR_TESTS_SUPPORT_BYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The number at b[at..]: 2 or 4 bytes, least significant first. The bytes
// must be there.
uint16_t Get16(const Bytes& b, size_t at);
uint32_t Get32(const Bytes& b, size_t at);

// Stores v at (*b)[at..] the same way; the bytes must be there.
void Put16(Bytes* b, size_t at, uint16_t v);
void Put32(Bytes* b, size_t at, uint32_t v);

// The whole file at path; empty when it can't be read.
Bytes ReadBytes(const std::string& path);

// Makes the file at path hold exactly bytes.
void WriteBytes(const std::string& path, const Bytes& bytes);

#endif  // VELMAR_TESTS_SUPPORT_BYTES_H
