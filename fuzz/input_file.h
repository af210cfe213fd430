// The fuzz input as a file, for the readers under test that take a path.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The path of the file `name` in this process's own temporary folder.
std::string TempPath(const char *name);

// Writes the bytes to the file `name` of that folder and returns its path.
std::string InputFile(const uint8_t *data, size_t size, const char *name = "input");

// The bytes of a file, empty when it cannot be read.
std::string FileBytes(const std::string &path);

// Ends the process with a message when a property of the code under test does not hold: the
// fuzzer keeps the input as a finding, the corpus replay fails.
[[noreturn]] void PropertyFailed(const char *what);
