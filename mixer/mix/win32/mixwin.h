// The program's mixer: its host over the model, the units and the message
// boxes, the current document and its file, and the element callbacks.
#pragma once

#include <string>

#include "mixer/mix/mixdoc.h"

// Installs the program's host, the automation DLL and the element
// callbacks (once).
void MixProgramSetUp();
// The current document and the path of its file ("" for none yet).
MixDoc*& MixCurrentDoc();
std::string& MixCurrentPath();
