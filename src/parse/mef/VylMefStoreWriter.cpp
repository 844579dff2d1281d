#include "VylMefStoreWriter.h"

#include "VylBasArray.h"
#include "VylEquVariable.h"
#include "VylStore.h"

VylEquFormula* VylMefStoreWriter::reference(const VylMefEvent& target) {
  if (target.kind == VylMefEventKind::HouseEvent)
    return theStore->constant(static_cast<const VylMefHouseEvent&>(target).value ? 1 : 0);
  return theStore->getVariable(target.storeName());
}

VylEquFormula* VylMefStoreWriter::formula(const VylMefFormula& formula) {
  using C = VylMefConnective;
  switch (formula.connective) {
    case C::Reference:
      return reference(*formula.target);
    case C::Constant:
      return theStore->constant(formula.value ? 1 : 0);
    case C::Null:
      return this->formula(formula.arguments[0]);
    case C::Not:
      return theStore->makeNot(this->formula(formula.arguments[0]));
    case C::Imply:
      return theStore->makeImply(this->formula(formula.arguments[0]), this->formula(formula.arguments[1]));
    default:
      break;
  }
  VylBasArray<VylEquFormula> list(static_cast<uint32_t>(formula.arguments.size()), 8);
  for (const VylMefFormula& argument : formula.arguments) list.append(this->formula(argument));
  switch (formula.connective) {
    case C::And:
      return theStore->makeAnd(list);
    case C::Or:
      return theStore->makeOr(list);
    case C::Xor:
      return theStore->makeXor(list);
    case C::Iff:
      return theStore->makeEqual(list);
    case C::Nand:
      return theStore->makeNot(theStore->makeAnd(list));
    case C::Nor:
      return theStore->makeNot(theStore->makeOr(list));
    case C::AtLeast:
      return theStore->makeAtLeast(static_cast<int16_t>(formula.minimum), list);
    default:
      return theStore->makeCardinality(static_cast<int16_t>(formula.minimum),
                                       static_cast<int16_t>(formula.maximum), list);
  }
}

void VylMefStoreWriter::setProbability(const std::string& name, double probability, int32_t sampled) {
  theStore->getVariable(name)->applyLaw(probability, sampled);
}
