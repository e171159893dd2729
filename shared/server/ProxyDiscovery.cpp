#include "shared/server/ProxyDiscovery.h"

ProxyDiscovery::~ProxyDiscovery() = default;
