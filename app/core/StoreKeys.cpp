#include "app/core/StoreKeys.h"

#include "app/core/Deployment.h"

namespace StoreKeys {

// One place decides the address: the deployment values.
std::string serverBaseAddress() { return Deployment::serverBaseAddress(); }

}  // namespace StoreKeys
