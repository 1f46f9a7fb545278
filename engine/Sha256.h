// Moved to io/; this name stays until every include says io/Sha256.h.
#pragma once
#include "io/Sha256.h"
