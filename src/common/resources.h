// Resources compiled into the executable (scripts for the script engine, pictures).
#pragma once

#include "text/text.h"

namespace ql {

// The RCDATA resource `id` of the running module as text, without the line
// break that ends the file; empty when it is missing.
Text loadTextResource(int id);

// The RCDATA resource `id` of the running module exactly as stored; empty when missing.
Bytes loadBinaryResource(int id);

}  // namespace ql
