#include "core/engine/DataSource.h"
