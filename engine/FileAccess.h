// Moved to io/; this name stays until every include says io/FileAccess.h.
#pragma once
#include "io/FileAccess.h"
