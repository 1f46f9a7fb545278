// Moved to io/; this name stays until every include says io/OutputFile.h.
#pragma once
#include "io/OutputFile.h"
