#include "shared/monitoring/Desktop.h"

Desktop::~Desktop() = default;
