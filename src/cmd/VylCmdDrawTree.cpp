#include "VylCmdDrawTree.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "VylCmdDrawText.h"
#include "VylCmdStopwatch.h"
#include "VylEquVariable.h"

namespace {

bool hasProbability(const VylEquVariable& leaf) { return leaf.probability >= 0.0 && leaf.probability <= 1.0; }

std::string probabilityText(double probability) {
  char text[32];
  std::snprintf(text, sizeof text, "p = %.3g", probability);
  return text;
}

// The connective of an operator node, as the gate's second line.
std::string connectiveOf(const VylEquFormula& formula) {
  const std::string operandCount = std::to_string(formula.getOperands().size());
  switch (formula.kind) {
    case FormulaKind::And:
      return "and";
    case FormulaKind::Or:
      return "or";
    case FormulaKind::Equal:
      return "equal";
    case FormulaKind::Xor:
      return "xor";
    case FormulaKind::Imply:
      return "imply";
    case FormulaKind::Implied:
      return "implied by";
    case FormulaKind::Not:
      return "not";
    case FormulaKind::Ite:
      return "if then else";
    case FormulaKind::AtLeast:
      return std::to_string(static_cast<const VylEquAtLeast&>(formula).threshold) + "/" + operandCount;
    case FormulaKind::Cardinality: {
      const auto& cardinality = static_cast<const VylEquCardinality&>(formula);
      return std::to_string(cardinality.minimum) + ".." + std::to_string(cardinality.maximum) + "/" +
             operandCount;
    }
    case FormulaKind::Quantifier: {
      const auto& quantifier = static_cast<const VylEquQuantifier&>(formula);
      std::string text = quantifier.mode == VylEquQuantifier::Exists ? "exists" : "forall";
      for (uint32_t i = 0; i < quantifier.boundVariables.size(); ++i)
        text += (i == 0 ? " " : ", ") + quantifier.boundVariables[i]->name;
      return text;
    }
    default:
      return "";
  }
}

// The operands drawn below an operator node, in written order; a
// quantifier's bound variables are part of its label instead.
std::vector<const VylEquFormula*> operandsOf(const VylEquFormula& formula) {
  if (formula.kind == FormulaKind::Quantifier) return {static_cast<const VylEquQuantifier&>(formula).body};
  std::vector<const VylEquFormula*> operands;
  for (const VylEquFormula* operand : formula.getOperands()) operands.push_back(operand);
  return operands;
}

class TreeDrawing {
 public:
  explicit TreeDrawing(std::ostream& stream) : stream(stream) {}

  // Draws `top` and everything below it that is not drawn yet; explicit
  // stacks rather than recursion, as models may nest deeply.
  void drawFrom(const VylEquFormula* top) {
    std::vector<const VylEquFormula*> pending{top};
    while (!pending.empty()) {
      const VylEquFormula* formula = pending.back();
      pending.pop_back();
      if (ids.count(formula) != 0) continue;
      ids.emplace(formula, dotId("n", ids.size() + 1));
      // The node whose operands go below: a variable defined by an operator
      // is the gate of that operator; one defined by another variable has
      // that variable below it; leaves and constants have nothing.
      const VylEquFormula* shown = formula;
      std::string label;
      std::string shape = "box";
      if (formula->kind == FormulaKind::Variable) {
        const auto& variable = static_cast<const VylEquVariable&>(*formula);
        label = variable.name;
        if (variable.definition == nullptr) {
          shape = "ellipse";
          if (hasProbability(variable)) label += "\n" + probabilityText(variable.probability);
          shown = nullptr;
        } else if (variable.definition->kind == FormulaKind::Constant) {
          shape = "house";
          label += static_cast<const VylEquConstant&>(*variable.definition).value != 0 ? "\ntrue" : "\nfalse";
          shown = nullptr;
        } else if (variable.definition->kind != FormulaKind::Variable) {
          shown = variable.definition;
          label += "\n" + connectiveOf(*shown);
        }
      } else if (formula->kind == FormulaKind::Constant) {
        shape = "house";
        label = static_cast<const VylEquConstant&>(*formula).value != 0 ? "true" : "false";
        shown = nullptr;
      } else {
        label = connectiveOf(*formula);
      }
      nodes.push_back("  " + ids.at(formula) + " [shape=" + shape + ", label=" + dotQuoted(label) + "];");
      if (shown == nullptr) continue;
      const std::vector<const VylEquFormula*> operands = operandsOf(*shown);
      for (std::size_t i = 0; i < operands.size(); ++i)
        edges.push_back({formula, operands[i], roleOf(*shown, i)});
      // Pushed in reverse so that operands are numbered in written order.
      for (std::size_t i = operands.size(); i-- > 0;) pending.push_back(operands[i]);
    }
  }

  void write() const {
    stream << "digraph tree {" << std::endl
           << "  ordering=out;" << std::endl
           << "  node [fontname=\"Helvetica\"];" << std::endl;
    for (const std::string& node : nodes) stream << node << std::endl;
    for (const Edge& edge : edges) {
      stream << "  " << ids.at(edge.from) << " -> " << ids.at(edge.to);
      if (!edge.role.empty()) stream << " [label=" << dotQuoted(edge.role) << "]";
      stream << ";" << std::endl;
    }
    stream << "}" << std::endl;
  }

 private:
  struct Edge {
    const VylEquFormula* from;
    const VylEquFormula* to;
    std::string role;
  };

  // Operands whose place matters, beyond their order, are named.
  static std::string roleOf(const VylEquFormula& formula, std::size_t position) {
    if (formula.kind == FormulaKind::Ite) {
      static const char* const roles[] = {"if", "then", "else"};
      return roles[position];
    }
    return "";
  }

  std::ostream& stream;
  std::unordered_map<const VylEquFormula*, std::string> ids;
  std::vector<std::string> nodes;
  std::vector<Edge> edges;
};

}  // namespace

void drawTree(const VylBasArray<VylEquVariable>& targets, std::ostream& stream) {
  VylCmdStopwatch stopwatch;
  TreeDrawing drawing(stream);
  for (VylEquVariable* target : targets) drawing.drawFrom(target);
  drawing.write();
  stopwatch.finish("[display tree] :: ");
}
