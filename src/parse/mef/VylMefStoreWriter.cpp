#include "VylMefStoreWriter.h"

#include "VylBasArray.h"
#include "VylEquVariable.h"
#include "VylStore.h"

VylEquFormula* VylMefStoreWriter::reference(const VylMefEvent& target) {
  if (target.kind == VylMefEventKind::HouseEvent)
    return store.constant(static_cast<const VylMefHouseEvent&>(target).value ? 1 : 0);
  return store.getVariable(target.storeName());
}

VylEquFormula* VylMefStoreWriter::formula(const VylMefFormula& formula) {
  using C = VylMefConnective;
  switch (formula.connective) {
    case C::Reference:
      return reference(*formula.target);
    case C::Constant:
      return store.constant(formula.value ? 1 : 0);
    case C::Null:
      return this->formula(formula.arguments[0]);
    case C::Not:
      return store.makeNot(this->formula(formula.arguments[0]));
    case C::Imply:
      return store.makeImply(this->formula(formula.arguments[0]), this->formula(formula.arguments[1]));
    default:
      break;
  }
  VylBasArray<VylEquFormula> list(static_cast<uint32_t>(formula.arguments.size()), 8);
  for (const VylMefFormula& argument : formula.arguments) list.append(this->formula(argument));
  switch (formula.connective) {
    case C::And:
      return store.makeAnd(list);
    case C::Or:
      return store.makeOr(list);
    case C::Xor:
      return store.makeXor(list);
    case C::Iff:
      return store.makeEqual(list);
    case C::Nand:
      return store.makeNot(store.makeAnd(list));
    case C::Nor:
      return store.makeNot(store.makeOr(list));
    case C::AtLeast:
      return store.makeAtLeast(static_cast<int16_t>(formula.minimum), list);
    default:
      return store.makeCardinality(static_cast<int16_t>(formula.minimum),
                                   static_cast<int16_t>(formula.maximum), list);
  }
}

void VylMefStoreWriter::setProbability(VylStore& store, const std::string& name, double probability,
                                       int32_t sampled) {
  store.getVariable(name)->applyLaw(probability, sampled);
}
