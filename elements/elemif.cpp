#include "elements/elemif.h"

const char* const kElemExportNames[kElemExportCount] = {
    "_QVInitElemModule@12",      "_QVGetElemType@4",        "_QVGetElemTypeProperties@8",
    "_QVGetElemTypeKnobProperties@12", "_QVCreateElement@8", "_QVCreateElementWindows@16",
    "_QVLoadElement@12",         "_QVSetElement@12",        "_QVGetElement@12",
    "_QVDeleteElement@4",
};
