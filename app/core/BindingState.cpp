#include "app/core/BindingState.h"

#include "app/core/StoreKeys.h"
#include "platform/foundation/UserDefaults.h"

namespace binding {

BindingState stored() {
    return BindingState(foundation::UserDefaults::standard().integerForKey(StoreKeys::korvxboundstate));
}

BindingState storedLast() {
    return BindingState(foundation::UserDefaults::standard().integerForKey(StoreKeys::laststate));
}

void store(BindingState state) {
    foundation::UserDefaults::standard().setInteger(StoreKeys::korvxboundstate, static_cast<long long>(state));
}

void storeBoth(BindingState state) {
    store(state);
    foundation::UserDefaults::standard().setInteger(StoreKeys::laststate, static_cast<long long>(state));
}

}  // namespace binding
