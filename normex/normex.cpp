#include "normex/normex.h"

#include "normex/command_text.h"
#include "normex/lp_solution.h"

#include <new>

// The library's only exported symbol (see normex.map). No exception may
// leave it: the caller is C.
extern "C" __attribute__((visibility("default"))) int LP(char* command, int length)
{
    try {
        LpCommand fields;
        if (!ParseCommandText(command, length, fields))
            return NORMEX_BAD_COMMAND;
        LpRequest request;
        request.inputFile = fields.inputFile;
        request.outputFile = fields.outputFile;
        request.observations = fields.observations;
        request.unknowns = fields.unknowns;
        request.normFactor = fields.normFactor;
        request.maxPasses = fields.maxPasses;
        return RunLpSolution(request).result;
    } catch (const std::bad_alloc&) {
        return NORMEX_OUT_OF_MEMORY;
    } catch (...) {
        return NORMEX_OUTPUT_FAILED;
    }
}
