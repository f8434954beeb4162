#include "ProgramValues.h"

namespace {
ProgramValues values;
}

ProgramValues &Program()
{
    return values;
}

void ResetProgramValues()
{
    values = ProgramValues{};
}
