// The core's records as Python objects: its JSON documents as dicts, and rows of fixed columns
// as NumPy structured arrays.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <QJsonObject>
#include <cstddef>
#include <span>
#include <string>

// A JSON object as a dict: objects as dicts, arrays as lists, whole numbers as int, other numbers
// as float, texts as str, null as None.
pybind11::dict ToDict(const QJsonObject &object);

// A column of a structured array: its name, NumPy format ("f8", "i4", "U5", ...) and offset in
// the C++ row that holds it.
struct Column {
    const char *name;
    const char *format;
    std::size_t offset;
};

// The dtype of rows of `itemSize` bytes with the given columns, laid out as the C++ row is.
pybind11::dtype DtypeOf(std::span<const Column> columns, std::size_t itemSize);

// `n` rows of `dtype`: a copy of `rows` when given, else not yet filled.
pybind11::array ArrayOf(const pybind11::dtype &dtype, std::size_t n, const void *rows = nullptr);

// Writes `text` into a NumPy unicode field of `n` characters (UCS-4, padded with zeros).
template <std::size_t n>
void PutText(char32_t (&field)[n], const char *text) {
    std::size_t i = 0;
    for (; i < n && text[i]; ++i) field[i] = static_cast<unsigned char>(text[i]);
    for (; i < n; ++i) field[i] = 0;
}

// A path given as str, bytes or os.PathLike, in the file system's encoding.
std::string FsPath(const pybind11::handle &path);
