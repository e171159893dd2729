#include "shared/framework/SimpleTimer.h"

SimpleTimer::SimpleTimer() = default;
SimpleTimer::~SimpleTimer() = default;
