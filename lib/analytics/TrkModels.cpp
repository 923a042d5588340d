#include "lib/analytics/TrkModels.h"

bool TrkCustomVariableBuffer::addCustomVariable(const TrkCustomVariable& variable) {
    if (variable.index() == 0 || variable.index() > kTrkMaxCustomVariables) return false;
    dictionary_.insert_or_assign(variable.index(), variable);
    return true;
}

const TrkCustomVariable* TrkCustomVariableBuffer::customVariableAtIndex(unsigned index) const {
    if (index == 0 || index > kTrkMaxCustomVariables) return nullptr;
    auto it = dictionary_.find(index);
    return it == dictionary_.end() ? nullptr : &it->second;
}
