// The parts of the module ktav, each defined by its own file and put together by module.cpp.
// A new function of the module is one more part here and one call there.
#pragma once
#include <pybind11/pybind11.h>

class Pair;

void DefineErrors(pybind11::module_ &m);  // errors.cpp: the exceptions
void DefinePair(pybind11::module_ &m);    // pair.cpp: ktav.Pair, its commands and sets
void DefineLive(pybind11::module_ &m,
                pybind11::class_<Pair> &pair);  // live.cpp: run, video, record
void DefineRecordings(pybind11::module_ &m);    // recordings.cpp: read_recording
void DefineStatistics(pybind11::module_ &m);    // statistics.cpp: capability
