// Parameter-file reader: a file is applied to a block whose master and slave sets differ; the
// block is written to a parameter file and read into a copy of itself, which must then equal it.
#include <cstdint>
#include <cstring>

#include "core/params/paramfile.h"
#include "input_file.h"

namespace {

ParaBlock startBlock() {
    ParaBlock block;
    std::memset(&block, 0, sizeof block);
    block.ge.evalMode = 3;
    block.ge.umLowerTolerance = -250;
    block.ge.umUpperTolerance = 400;
    block.ma.power = 500;
    block.ma.umTeachValue = 55000;
    block.sl.power = 310;
    block.sl.umTeachValue = 47000;
    return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ParaBlock block = startBlock();
    if (ReadParaFromIniFile(block, InputFile(data, size).c_str()) != 1)
        PropertyFailed("an existing parameter file does not read");
    const std::string written = TempPath("written.ini");
    if (WriteParaToIniFile(block, written.c_str()) != 1)
        PropertyFailed("the parameter file does not write");
    ParaBlock back = block;
    if (ReadParaFromIniFile(back, written.c_str()) != 1 ||
        std::memcmp(&back, &block, sizeof block) != 0)
        PropertyFailed("the block written does not read back equal");
    return 0;
}
